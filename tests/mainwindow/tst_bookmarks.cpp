// Setting and clearing a tip's bookmark from the toolbar: the questions, the stored value, the
// mark image and the focus afterwards.
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

const QList<Tip> tips = {{"Alfa", "uno", "Grafica"},
                         {"Bravo", "due", "Database", {}, {}, 0},
                         {"Charlie", "tre", "Grafica", {}, {}, 1}};
const QString Add = Box("Vuoi aggiungere un segnalibro al record corrente?", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
const QString Remove = Box("Vuoi eliminare il segnalibro associato al record corrente?",
                           QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);

// The Bookmark column of the stored rows, by key.
QStringList marks(const QStringList& rows) {
    QStringList out;
    for (const QString& r : rows)
        out << r.section('|', 6, 6);
    return out;
}

// Clicks cmdBookmark, answers the question; the question and whether the mark is shown afterwards.
QString toggle(ArchiveWindow& w, QMessageBox::StandardButton answer) {
    if (!w.click("cmdBookmark", {answer})) return "no question";
    return w.said().last() + (w.win->imgBookmark->isVisible() ? " -> *" : " -> -");
}

} // namespace

class TestBookmarks : public QObject {
    Q_OBJECT

private slots:
    void addAndRemoveAMark() {
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QVERIFY(!w.win->imgBookmark->isVisible());
        QCOMPARE(toggle(w, QMessageBox::No), Add + " -> -"); // a Null mark: No leaves it Null
        QCOMPARE(w.boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(toggle(w, QMessageBox::Yes), Add + " -> *");
        QCOMPARE(w.win->focusWidget(), w.win->cmdSposta[2]);
        // The mark is there on the next visit; the stored 1 asks the removal.
        w.click("cmdSposta(2)");
        w.click("cmdSposta(1)");
        QVERIFY(w.win->imgBookmark->isVisible());
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -> -");
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        w.click("cmdSposta(3)");
        QCOMPARE(toggle(w, QMessageBox::No), Remove + " -> *");
        QCOMPARE(w.boxes.unexpected(), 0);
        QCOMPARE(marks(w.stored()), QStringList({"0", "0", "1"}));
    }

    void aValueWrittenByAnotherProgramCountsAsSet() {
        ArchiveWindow w;
        QVERIFY(TestArchive::CreateTips(w.path, tips));
        QCOMPARE(EngineFixture::rawExec(w.path, "UPDATE TipsTable SET Bookmark = 7 WHERE KeyPrimary = 1"), 0);
        w.load();
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QVERIFY(!w.win->imgBookmark->isVisible()); // shown only for 1
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -> -");
        QCOMPARE(marks(w.stored()), QStringList({"0", "0", "1"}));
    }

    void togglingUnderAFilterKeepsIt() {
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        w.pick("cboFindCategoria", "Grafica");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Charlie 2  di  2");
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -> -");
        QCOMPARE(w.tip(), "Charlie 2  di  2");
        w.click("cmdSposta(1)");
        QCOMPARE(w.tip(), "Alfa 1  di  2"); // still the filtered view
        QCOMPARE(toggle(w, QMessageBox::Yes), Add + " -> *");
        QCOMPARE(marks(w.stored()), QStringList({"1", "0", "0"}));
    }

    void emptyArchiveSaysSo() {
        ArchiveWindow w;
        QVERIFY(w.open({}, {QMessageBox::Ok}));
        QVERIFY(w.click("cmdBookmark", {QMessageBox::Ok}));
        QCOMPARE(w.said().mid(1), QStringList{Box("Database vuoto!", QMessageBox::Warning)});
        QCOMPARE(w.stored(), QStringList());
    }

    // The engine refuses the change (at Edit on a read-only archive, at Update when the file
    // itself rejects it): neither the record nor the image change, and no edit is left pending.
    void aRefusedChangeLeavesRecordAndImage_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only archive") << true;
        QTest::newRow("update rejected by the file") << false;
    }
    void aRefusedChangeLeavesRecordAndImage() {
        QFETCH(bool, readOnly);
        ArchiveWindow w;
        QVERIFY(TestArchive::CreateTips(w.path, tips));
        if (readOnly)
            QVERIFY(TestArchive::MakeReadOnly(w.path));
        else
            QCOMPARE(EngineFixture::rawExec(w.path, "CREATE TRIGGER refuse BEFORE UPDATE ON TipsTable "
                                                    "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"),
                     0);
        w.load(Answers(readOnly ? 1 : 0, QMessageBox::Ok));
        const int loadBoxes = w.boxes.count();
        w.click("cmdSposta(3)");
        w.boxes.arm(QMessageBox::Yes);
        w.win->cmdBookmark_Click(); // the button is disabled on a read-only archive
        QVERIFY(w.boxes.waitForCount(loadBoxes + 1));
        QCOMPARE(w.said().last(), Remove);
        QVERIFY(w.win->imgBookmark->isVisible());
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(GenericBas::TipsRecordset->Fields("Bookmark").Value().toInt(), 1);
        w.click("cmdSposta(0)");
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QCOMPARE(w.boxes.count(), loadBoxes + 1);
        QCOMPARE(marks(w.stored()), QStringList({"<null>", "0", "1"}));
    }
};

QTEST_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
