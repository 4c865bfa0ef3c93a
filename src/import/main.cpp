// quillnote-import OLD.mdb NEW.mdb: converts an archive of Access 97 or Access 2000 into a new
// archive of ours. The report goes to standard error, progress lines ("progresso N M") to
// standard output. Exit status: 0 every tip converted, 3 the new archive was written but not every
// tip is exact, 2 nothing was written; anything else means the process was stopped (libmdb
// itself ends the process on some damaged files).
//
// The window runs this as a separate process because libmdb may crash or loop on a damaged
// file; here the limits of time and memory keep a batch conversion from running away too.

#include "import/ArchiveWriter.h"
#include "import/Conversion.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

int g_report = STDERR_FILENO; // the real standard error while libmdb's goes through the pipe
std::atomic<bool> g_finished{false};

void writeLine(int fd, const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) return;
        done += n;
    }
}

// libmdb ends the process with exit() on some damaged files: no half-written archive may stay.
void onExit() {
    if (g_finished) return;
    if (const char* temp = qnimport::PendingTempFile()) {
        ::unlink(temp);
        ::unlink((QByteArray(temp) + "-journal").constData());
    }
    writeLine(g_report,
              QStringLiteral("Conversione non riuscita: la libreria mdbtools ha interrotto la lettura del "
                             "file, che è probabilmente danneggiato."));
}

// Turns what libmdb prints into lines of the report, at most a few hundred of them.
class WarningPipe {
public:
    WarningPipe() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        g_report = ::dup(STDERR_FILENO);
        ::dup2(fds[1], STDERR_FILENO);
        ::close(fds[1]);
        m_thread = std::thread([fd = fds[0]] {
            FILE* in = ::fdopen(fd, "r");
            char* line = nullptr;
            size_t capacity = 0;
            int lines = 0;
            for (ssize_t n; (n = ::getline(&line, &capacity, in)) > 0;) {
                if (++lines > 300) continue; // drained, not shown
                writeLine(g_report, QStringLiteral("Avviso di mdbtools: ") +
                                        QString::fromLocal8Bit(line, n).trimmed().left(500));
            }
            if (lines > 300)
                writeLine(g_report, QStringLiteral("... e altri %1 avvisi di mdbtools.").arg(lines - 300));
            ::free(line);
            ::fclose(in);
        });
    }
    // Gives standard error back; every warning is out before the report's last lines.
    void close() {
        if (!m_thread.joinable()) return;
        std::fflush(stderr);
        ::dup2(g_report, STDERR_FILENO);
        m_thread.join();
    }

private:
    std::thread m_thread;
};

void limitResources(qint64 fileSize) {
    rlimit cpu{};
    cpu.rlim_cur = rlim_t(tipsdb::ConversionTimeLimit(fileSize));
    cpu.rlim_max = cpu.rlim_cur + 5;
    ::setrlimit(RLIMIT_CPU, &cpu);
#ifndef __SANITIZE_ADDRESS__ // the sanitizer reserves far more address space than it uses
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = rlim_t(2LL * 1024 * 1024 * 1024 + 4 * fileSize);
    ::setrlimit(RLIMIT_AS, &memory);
#endif
}

} // namespace

#ifdef __SANITIZE_ADDRESS__
// The sanitizer build cannot take a limit on its address space; one on resident memory stands in,
// so that a file on which libmdb allocates without end stops the helper in the tests too.
extern "C" const char* __asan_default_options() {
    return "hard_rss_limit_mb=1024";
}
#endif

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "uso: quillnote-import VECCHIO.mdb NUOVO.mdb\n"
                     "Converte un archivio di Access 97 o Access 2000 in un nuovo archivio di Quillnote.\n");
        return tipsdb::Refused;
    }
    const QString oldPath = QFile::decodeName(argv[1]);
    const QString newPath = QFile::decodeName(argv[2]);
    limitResources(QFileInfo(oldPath).size());
    std::atexit(onExit);
    WarningPipe warnings;
    long shown = -1;
    const qnimport::ConversionResult result = qnimport::Convert(oldPath, newPath, [&](long done, long total) {
        // About a hundred lines for the whole table, and the last one.
        const long step = std::max(1L, total / 100);
        if (done / step == shown && done != total) return;
        shown = done / step;
        std::printf("progresso %ld %ld\n", done, total);
        std::fflush(stdout);
    });
    warnings.close();
    g_finished = true;
    for (const QString& line : result.report)
        writeLine(STDERR_FILENO, line);
    return result.status;
}
