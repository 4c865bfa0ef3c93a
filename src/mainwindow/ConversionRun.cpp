#include "mainwindow/ConversionRun.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

namespace qn::ui {
namespace {

// Restores the cursor and the window's input however the run ends.
class Waiting {
public:
    explicit Waiting(QWidget* window) : m_window(window) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (m_window) m_window->setEnabled(false);
    }
    ~Waiting() {
        if (m_window) m_window->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    QPointer<QWidget> m_window;
};

// Progress lines "progresso N M": the last complete one counts. A line that never ends is dropped
// once it is longer than any progress line can be.
void readProgress(QByteArray& pending, const QByteArray& more, HelperOutcome& out, QProgressDialog* dialog) {
    pending += more;
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
        const QList<QByteArray> words = pending.left(end).trimmed().split(' ');
        pending.remove(0, end + 1);
        if (words.size() != 3 || words[0] != "progresso") continue;
        out.done = words[1].toLong();
        out.total = words[2].toLong();
        if (dialog && out.total > 0) {
            dialog->setMaximum(int(qMin<long>(out.total, 1 << 30)));
            dialog->setValue(int(qMin(out.done, out.total)));
        }
    }
    if (pending.size() > 256) pending.clear();
}

std::unique_ptr<QProgressDialog> progressDialog(QWidget* window, int delayMs) {
    if (delayMs < 0) return nullptr;
    // Its own top-level window: the main window is disabled meanwhile and stays on top.
    auto dialog = std::make_unique<QProgressDialog>(QStringLiteral("Conversione dell'archivio in corso..."),
                                                    QStringLiteral("Annulla"), 0, 0);
    dialog->setObjectName(QStringLiteral("ConversionProgress"));
    dialog->setWindowTitle(QStringLiteral("Quillnote"));
    dialog->setWindowModality(Qt::ApplicationModal);
    if (window && (window->window()->windowFlags() & Qt::WindowStaysOnTopHint))
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    // At its minimum first: only then does the delay restart the timer that shows the dialog even
    // when no progress comes (a helper that hangs).
    dialog->setValue(0);
    dialog->setMinimumDuration(delayMs);
    return dialog;
}

} // namespace

HelperOutcome RunHelper(QWidget* window, const HelperRun& run) {
    HelperOutcome out;
    Waiting waiting(window);
    QProcess process;
    process.setProgram(run.program);
    process.setArguments(run.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    std::unique_ptr<QProgressDialog> dialog = progressDialog(window, run.progressDelayMs);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false, cancelled = false;
    QByteArray report, pendingLine;

    QObject::connect(&process, &QProcess::readyReadStandardError, &loop, [&] {
        const QByteArray more = process.readAllStandardError(); // always drained, so the helper never blocks
        const qsizetype room = run.maxReport - report.size();
        if (more.size() > room) out.reportCut = true;
        report += more.left(qMax<qsizetype>(room, 0));
    });
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop,
                     [&] { readProgress(pendingLine, process.readAllStandardOutput(), out, dialog.get()); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        process.kill();
    });
    if (dialog)
        QObject::connect(dialog.get(), &QProgressDialog::canceled, &loop, [&] {
            cancelled = true;
            process.kill();
        });

    process.start();
    if (!process.waitForStarted(qMin(run.timeLimitMs, 30000))) {
        out.kind = HelperOutcome::FailedToStart;
        return out;
    }
    out.pid = process.processId();
    deadline.start(run.timeLimitMs);
    if (process.state() != QProcess::NotRunning) loop.exec();
    process.waitForFinished(5000); // after a kill: reaped before anyone looks at its files
    deadline.stop();
    report += process.readAllStandardError().left(qMax<qsizetype>(run.maxReport - report.size(), 0));
    readProgress(pendingLine, process.readAllStandardOutput(), out, dialog.get());
    out.report = QString::fromUtf8(report);
    out.exitCode = process.exitCode();
    out.kind = timedOut                                      ? HelperOutcome::TimedOut
               : cancelled                                   ? HelperOutcome::Cancelled
               : process.exitStatus() == QProcess::CrashExit ? HelperOutcome::Crashed
                                                             : HelperOutcome::Finished;
    return out;
}

} // namespace qn::ui
