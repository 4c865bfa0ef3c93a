// Switching the main window between view mode and edit mode, by the option buttons and by a
// double-click on the record counter.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

const QList<Tip> tips = {{"Alfa", "uno", "Grafica"},
                         {"Bravo", "due", "Database"},
                         {"Charlie", "tre", "Grafica"},
                         {"Delta", "quattro", "Database"},
                         {"Echo", "cinque", "Grafica"}};

// "edit" or "view" when the option buttons and both panels agree on it.
QString mode(const ArchiveWindow& w) {
    const bool edit = w.win->picWorkButton->isVisible();
    if (edit == w.win->picSearch->isVisible() || edit != w.win->optWork[1]->isChecked()) return "mixed";
    return edit ? "edit" : "view";
}

// Counts the frames the search panel's arrow shows.
struct ArrowFrames : QObject {
    explicit ArrowFrames(QLabel* arrow) { arrow->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::DynamicPropertyChange &&
                 static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == "arrowFrame";
        return false;
    }
    int count = 0;
};

} // namespace

class TestModes : public QObject {
    Q_OBJECT

private slots:
    void editModeDuringAFilterStaysOnTheTip() {
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        QCOMPARE(mode(w), "view");
        w.pick("cboFindCategoria", "Grafica");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Charlie 2  di  3");
        w.click("optWork(1)");
        QCOMPARE(mode(w), "edit");
        QCOMPARE(w.tip(), "Charlie 3  di  5"); // all tips again, on the same one
        QCOMPARE(w.items("cboTitoli").size(), 5);
        QCOMPARE(w.win->focusWidget(), w.win->cmdTool[0]);
        // Back to view mode: the search type is reset to "Categoria" without the arrow playing.
        w.click("cmdSposta(2)");
        ArrowFrames frames(w.win->imgFreccia);
        w.click("optWork(0)");
        QCOMPARE(frames.count, 0);
        QVERIFY(!w.win->SuppressArrowAnimation);
        QCOMPARE(mode(w), "view");
        QCOMPARE(w.win->lblSearchDescription->text(), "Seleziona la categoria da ricercare");
        QVERIFY(w.win->cboFindCategoria->isVisible());
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        // A user's choice of search type still plays it.
        w.pick("cboSelectResearch", "Titolo");
        QVERIFY(frames.count > 0);
        QCOMPARE(w.said(), QStringList());
    }

    void counterDoubleClickToggles() {
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(w), "edit");
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(w), "view");
        // Not while a tip is being added; the option button then discards it without asking.
        w.click("optWork(1)");
        w.click("cmdSposta(3)");
        w.click("cmdTool(0)");
        w.fill({"Mai salvato", "corpo", "Nuova"});
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(w), "edit");
        QVERIFY(w.win->cmdTool[1]->isEnabled());
        w.click("optWork(0)");
        QCOMPARE(mode(w), "view");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QVERIFY(!w.win->cboInsertCategoria->isVisible() && w.win->cmdSposta[0]->isEnabled());
        QCOMPARE(w.tip(), "Alfa 1  di  5"); // the search type reset reloads all tips
        w.click("optWork(1)");              // and edit mode finds the panel browsing
        QVERIFY(w.win->cmdTool[0]->isEnabled() && !w.win->cmdTool[1]->isEnabled());
        QCOMPARE(w.said(), QStringList());
        QCOMPARE(w.stored().size(), tips.size());
    }

    void counterRefusesOnAReadOnlyArchive() {
        ArchiveWindow w;
        QVERIFY(w.open(tips, {QMessageBox::Ok}, true));
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(w), "view");
        QCOMPARE(w.boxes.count(), 1);
    }

    void emptyArchiveTakesAFirstTip() {
        ArchiveWindow w;
        QVERIFY(w.open({}, {QMessageBox::Ok}));
        QCOMPARE(mode(w), "edit");
        w.click("cmdTool(0)");
        QCOMPARE(w.win->cboInsertCategoria->count(), 0);
        w.fill({"Primo", "corpo", "Inizio"});
        w.click("cmdTool(1)");
        QCOMPARE(w.tip(), "Primo 1  di  1");
        QVERIFY(!w.win->cboTitoli->isEnabled()); // one title offers no choice
        QCOMPARE(w.boxes.count(), 1);
        QCOMPARE(w.stored(), QStringList({"1|Primo|corpo|Inizio|||<null>"}));
    }
};

QTEST_MAIN(TestModes)
#include "tst_modes.moc"
