// libFuzzer target over the opening path: each input is written as an archive file and goes
// through what the main window does with it (ArchiveProbe). Besides crashes, hangs and leaks,
// the sanitizers and libFuzzer find these, it stops on:
// - a refused or unopenable file whose bytes changed,
// - an engine error without an Italian description of its own.
//
// Built with -DQN_FUZZ=ON by clang (scripts/fuzz.sh); not part of the normal builds.

#include "ArchiveProbe.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchFile() {
    // On a memory file system when there is one: the target writes a file per input.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString folder = base + QStringLiteral("/quillnote-fuzz-%1").arg(::getpid());
    QDir().mkpath(folder);
    return folder + QStringLiteral("/input.mdb");
}

void removeAll(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

[[noreturn]] void stop(const char* what, long number = 0) {
    std::fprintf(stderr, "quillnote_fuzz_open: %s %ld\n", what, number);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = scratchFile();
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    removeAll(path);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(input) != input.size()) stop("cannot write the input");
    }
    const probe::Outcome out = probe::probeArchive(path);
    for (long number : out.errors)
        if (!probe::isExplained(number)) stop("unexplained engine error", number);
    if (!out.accepted) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.readAll() != input) stop("a refused file was changed");
    }
    removeAll(path);
    return 0;
}
