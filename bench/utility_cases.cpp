// Maintenance-window cases on the generated archive, the real windows offscreen:
//
//   compact_window  CompactDB from the answer Yes until its report shows (closing the archive,
//                   the copy to Temp.mdb, its flush, the rename over the archive, the folder's
//                   flush, the sizes), vs the engine's CompactDatabase alone on the same archive
//   utility_close   leaving the maintenance window after it closed the archive (reopening it,
//                   rebuilding the category list and showing the whole table) until the main
//                   window's command returns, vs the main window's own start (Form_Load)
//
// Each side is the best of a few runs, taken in turns, so that the busy machine weighs on both.

#include "BenchReport.h"
#include "BenchWindow.h"
#include "engine/Database.h"
#include "maintenance/frmUtility.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kRepeats = 3;

// Answers the compaction's question with Yes as soon as it shows, and notes when: the clock
// runs from that answer until the report shows, which is then closed.
class CompactionClock : public QObject {
public:
    CompactionClock() { qApp->installEventFilter(this); }
    ~CompactionClock() override { qApp->removeEventFilter(this); }
    double ms() const { return m_ms; }
    QString report() const { return m_report; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box || event->type() != QEvent::Show) return false;
        if (box->button(QMessageBox::Yes)) {
            QTimer::singleShot(0, box, [this, box] {
                m_clock.start();
                box->button(QMessageBox::Yes)->click();
            });
        } else {
            m_ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
            m_report = box->text();
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    double m_ms = 0;
    QString m_report;
};

void compactWindow(const QString& path) {
    const QString copy = path + QStringLiteral(".copia");
    double ours = 0, engine = 0;
    bool reported = true;
    auto w = startWindow(path);
    for (int i = 0; i < kRepeats; ++i) {
        {
            CompactionClock clock;
            frmUtility utility(w.get());
            utility.show();
            utility.CompactDB();
            reported =
                reported && clock.report().startsWith(QStringLiteral("Il DataBase è stato compresso."));
            ours = i == 0 ? clock.ms() : std::min(ours, clock.ms());
            // The engine alone, while the window keeps the archive closed.
            const double ms = timeMs([&] { qn::DBEngine::CompactDatabase(path, copy); }, 1);
            engine = i == 0 ? ms : std::min(engine, ms);
            QFile::remove(copy);
            utility.cmdEsci_Click();
        }
    }
    closeWindow(w);
    if (!reported) std::fprintf(stderr, "compact_window: the compaction did not report its sizes\n");
    std::printf("case=compact_window ours_ms=%.1f engine_ms=%.1f ratio=%.2f\n", ours, engine, ours / engine);
    std::fflush(stdout);
}

void utilityClose(const QString& path, int tips) {
    double ours = 0, start = 0;
    bool refreshed = true;
    for (int i = 0; i < kRepeats + 2; ++i) { // cheap enough for two more turns
        QElapsedTimer t;
        t.start();
        auto w = startWindow(path);
        const double startMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
        start = i == 0 ? startMs : std::min(start, startMs);
        w->cboFindCategoria->setCurrentIndex(1); // a filter in force, which leaving must lift
        emit w->cboFindCategoria->activated(1);
        QElapsedTimer leaving;
        QTimer::singleShot(0, w.get(), [&] {
            auto* utility = qobject_cast<frmUtility*>(QApplication::activeModalWidget());
            if (!utility) return;
            utility->CloseDatabase();
            leaving.start();
            utility->cmdEsci->click();
        });
        w->cmdUtility_Click();
        const double ms = leaving.isValid() ? static_cast<double>(leaving.nsecsElapsed()) / 1e6 : 0;
        refreshed = refreshed && leaving.isValid() && w->cboTitoli->count() == tips &&
                    w->lblNumRecord->text() == QStringLiteral("1  di  %1").arg(tips);
        ours = i == 0 ? ms : std::min(ours, ms);
        closeWindow(w);
    }
    if (!refreshed) std::fprintf(stderr, "utility_close: the main window was not refreshed\n");
    std::printf("case=utility_close ours_ms=%.1f start_ms=%.1f ratio=%.2f\n", ours, start, ours / start);
    std::fflush(stdout);
}

void runUtilityCases(const BenchOptions& options) {
    const QString path = options.workFolder + QStringLiteral("/UtilityQuillnote.mdb");
    if (!generateBenchArchive(path, options.tips)) {
        std::fprintf(stderr, "utility: generation failed\n");
        return;
    }
    compactWindow(path);
    utilityClose(path, options.tips);
}

BenchGroup utilityGroup("utility", runUtilityCases);

} // namespace
