#pragma once
// Runs the conversion helper (quillnote-import) as a separate process, so that a damaged old
// archive can crash or hang the helper but never the window. The window waits with the
// hourglass, its input blocked, the event loop turning; a progress dialog (which can cancel)
// follows the helper's "progresso N M" lines. A time limit ends a helper that does not finish;
// what it prints is kept only up to a bound.

#include <QString>
#include <QStringList>

class QWidget;

namespace qn::ui {

struct HelperRun {
    QString program;
    QStringList arguments;
    int timeLimitMs = 10000;
    int progressDelayMs = 0;         // when the progress dialog appears; < 0: never
    qsizetype maxReport = 64 * 1024; // bytes of standard error kept
};

struct HelperOutcome {
    enum Kind { Finished, Crashed, TimedOut, FailedToStart, Cancelled };
    Kind kind = FailedToStart;
    int exitCode = -1;
    qint64 pid = 0;
    QString report;           // what the helper printed on standard error (up to maxReport)
    bool reportCut = false;   // more was printed than kept
    long done = 0, total = 0; // the last progress line
};

HelperOutcome RunHelper(QWidget* window, const HelperRun& run);

} // namespace qn::ui
