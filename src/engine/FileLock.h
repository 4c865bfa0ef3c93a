#pragma once
// Private to the engine: the advisory lock that makes an opening exclusive or shared.
//
// flock() on a descriptor kept open for the lifetime of the opening conflicts across processes
// and across two descriptors in one process. Closing ANY descriptor of a file drops the POSIX
// (fcntl) locks that SQLite holds on it, so within one process every opening of the same file
// shares one descriptor, and a refused opening never opens (and closes) one of its own.

#include <QByteArray>
#include <QString>
#include <memory>

namespace qn {

class FileLock {
public:
    // Takes the lock (throws err::FileInUse naming the file when it is refused) and reads the
    // first bytes of the file into `header`.
    static std::shared_ptr<FileLock> acquire(const QString& path, bool exclusive, QByteArray* header);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Reads up to `size` bytes from the start of the file.
    QByteArray readHeader(int size) const;
    // Reads up to `size` bytes at `offset` through the lock's own descriptor (no other
    // descriptor is opened, so no lock of this process is dropped); -1 on an error (errno set).
    long long readAt(char* buffer, long long size, long long offset) const;
    // The file's current length in bytes; -1 on an error.
    long long length() const;

private:
    FileLock(int fd, bool exclusive, unsigned long long dev, unsigned long long ino);
    int m_fd;
    bool m_exclusive;
    unsigned long long m_dev;
    unsigned long long m_ino;
};

} // namespace qn
