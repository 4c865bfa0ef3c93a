#include "engine/DurableFile.h"

#include "engine/EngineError.h"
#include "engine/FileLock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qn::durable {

namespace {

constexpr long long ChunkBytes = 1 << 20;

[[noreturn]] void failWith(int error, const QString& path) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        throw EngineError::fromNumber(err::DiskFull);
    case ENOENT:
        throw EngineError::fromNumber(err::FileNotFound, path);
    case EACCES:
    case EPERM:
    case EROFS:
        throw EngineError::fromNumber(err::FileLocked, path);
    default:
        throw EngineError::fromNumber(err::DiskIo);
    }
}

// A descriptor that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; close() reports a failed delayed write (NFS, quota) that fsync did not.
    int close() {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

void syncDescriptor(int fd, const QString& path) {
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) failWith(errno, path);
}

void writeAll(int fd, const char* data, long long size, const QString& path) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, static_cast<size_t>(size));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) failWith(put < 0 ? errno : ENOSPC, path);
        data += put;
        size -= put;
    }
}

long long readFull(int fd, char* buffer, long long size, long long offset) {
    long long got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, buffer + got, static_cast<size_t>(size - got), offset + got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? -1 : got;
        got += n;
    }
    return got;
}

// A new file beside `destination` under a name nobody uses; the caller removes it on failure.
int createBeside(const QString& destination, QString* created) {
    const QFileInfo info(destination);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".copia-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd =
            ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *created = name;
            return fd;
        }
        if (errno != EEXIST) failWith(errno, destination);
    }
    failWith(EEXIST, destination);
}

// Reads `size` bytes at `offset` of the locked source; a short read is an error.
void readSource(const FileLock& source, char* buffer, long long size, long long offset, const QString& path) {
    long long got = 0;
    while (got < size) {
        const long long n = source.readAt(buffer + got, size - got, offset + got);
        if (n <= 0) failWith(n < 0 ? errno : EIO, path);
        got += n;
    }
}

// Writes the whole source into `fd`, then reads both back and compares them: what lands under
// the destination's name is the archive exactly, or nothing.
void copyInto(const FileLock& source, int fd, const QString& path) {
    const long long size = source.length();
    if (size < 0) failWith(errno, path);
    QByteArray chunk(static_cast<int>(ChunkBytes), '\0'), check(static_cast<int>(ChunkBytes), '\0');
    for (long long at = 0; at < size; at += ChunkBytes) {
        const long long want = std::min(ChunkBytes, size - at);
        readSource(source, chunk.data(), want, at, path);
        writeAll(fd, chunk.constData(), want, path);
    }
    syncDescriptor(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size != size || source.length() != size) failWith(EIO, path);
    for (long long at = 0; at < size; at += ChunkBytes) {
        const long long want = std::min(ChunkBytes, size - at);
        readSource(source, chunk.data(), want, at, path);
        if (readFull(fd, check.data(), want, at) != want ||
            std::memcmp(chunk.constData(), check.constData(), static_cast<size_t>(want)) != 0)
            failWith(EIO, path);
    }
}

} // namespace

void SyncFile(const QString& path) {
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) failWith(errno, path);
    syncDescriptor(fd.get(), path);
}

void SyncFolder(const QString& folder) {
    Descriptor fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) failWith(errno, folder);
    // Some file systems cannot flush a folder; the rename is as durable as they make it.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) failWith(errno, folder);
}

void Replace(const QString& from, const QString& to) {
    SyncFile(from);
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        failWith(errno, to);
    SyncFolder(QFileInfo(to).absolutePath());
}

bool SameFile(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void Copy(const QString& source, const QString& destination) {
    if (SameFile(source, destination))
        throw EngineError::fromNumber(err::FileInUse, QFileInfo(destination).absoluteFilePath());
    if (!QFileInfo(QFileInfo(destination).absolutePath()).isDir())
        throw EngineError::fromNumber(err::InvalidPath, destination);
    // A shared lock: no exclusive opening can change the file while it is read.
    const auto lock = FileLock::acquire(source, false, nullptr);
    QString temporary;
    Descriptor fd(createBeside(destination, &temporary));
    try {
        copyInto(*lock, fd.get(), source);
        if (fd.close() != 0) failWith(errno, destination);
        if (std::rename(QFile::encodeName(temporary).constData(),
                        QFile::encodeName(destination).constData()) != 0)
            failWith(errno, destination);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    SyncFolder(QFileInfo(destination).absolutePath());
}

} // namespace qn::durable
