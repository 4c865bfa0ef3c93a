#include "engine/FileLock.h"

#include "engine/EngineError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qn {

namespace {

struct Key {
    unsigned long long dev;
    unsigned long long ino;
    bool operator<(const Key& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct Entry {
    std::weak_ptr<FileLock> lock;
    bool exclusive;
};

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::map<Key, Entry>& registry() {
    static std::map<Key, Entry> r;
    return r;
}

QString displayName(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

FileLock::FileLock(int fd, bool exclusive, unsigned long long dev, unsigned long long ino)
    : m_fd(fd), m_exclusive(exclusive), m_dev(dev), m_ino(ino) {}

FileLock::~FileLock() {
    std::lock_guard<std::mutex> guard(registryMutex());
    auto it = registry().find(Key{m_dev, m_ino});
    if (it != registry().end() && it->second.lock.expired()) registry().erase(it);
    ::close(m_fd); // also releases the flock
}

std::shared_ptr<FileLock> FileLock::acquire(const QString& path, bool exclusive, QByteArray* header) {
    const QByteArray native = QFile::encodeName(path);
    std::lock_guard<std::mutex> guard(registryMutex());
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        throw EngineError::fromNumber(errno == ENOENT ? err::FileNotFound : err::InvalidPath, path);
    if (S_ISDIR(st.st_mode)) throw EngineError::fromNumber(err::InvalidPath, path);

    const Key key{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    auto it = registry().find(key);
    if (it != registry().end()) {
        if (auto existing = it->second.lock.lock()) {
            if (exclusive || it->second.exclusive)
                throw EngineError::fromNumber(err::FileInUse, displayName(path));
            if (header) *header = existing->readHeader(100);
            return existing;
        }
        registry().erase(it);
    }

    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        throw EngineError::fromNumber(e == EACCES || e == EPERM ? err::FileLocked
                                      : e == ENOENT             ? err::FileNotFound
                                                                : err::InvalidPath,
                                      displayName(path));
    }
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        // No SQLite connection of this process has the file open (it is not in the registry),
        // so closing this descriptor drops nobody's locks.
        ::close(fd);
        throw EngineError::fromNumber(err::FileInUse, displayName(path));
    }
    std::shared_ptr<FileLock> lock(new FileLock(fd, exclusive, key.dev, key.ino));
    registry()[key] = Entry{lock, exclusive};
    if (header) *header = lock->readHeader(100);
    return lock;
}

QByteArray FileLock::readHeader(int size) const {
    QByteArray bytes(size, '\0');
    ssize_t got = ::pread(m_fd, bytes.data(), static_cast<size_t>(size), 0);
    bytes.resize(got > 0 ? static_cast<int>(got) : 0);
    return bytes;
}

long long FileLock::readAt(char* buffer, long long size, long long offset) const {
    ssize_t got;
    do {
        got = ::pread(m_fd, buffer, static_cast<size_t>(size), static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

long long FileLock::length() const {
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

} // namespace qn
