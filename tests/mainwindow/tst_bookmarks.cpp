// Setting and clearing a tip's bookmark from the toolbar: the questions, the stored value, the
// mark image and the focus afterwards.
#include "EditingFixture.h"

namespace {

const QList<Tip> tips = {
    {QStringLiteral("Alfa"), QStringLiteral("uno"), QStringLiteral("Grafica")},
    {QStringLiteral("Bravo"), QStringLiteral("due"), QStringLiteral("Database"), QString(), QString(), 0},
    {QStringLiteral("Charlie"), QStringLiteral("tre"), QStringLiteral("Grafica"), QString(), QString(), 1},
};

const QString addQuestion = QStringLiteral("Vuoi aggiungere un segnalibro al record corrente?");
const QString removeQuestion = QStringLiteral("Vuoi eliminare il segnalibro associato al record corrente?");

// The Bookmark column of every row, by key.
QStringList marks(const QStringList& rows) {
    QStringList out;
    for (const QString& r : rows)
        out << r.section(QLatin1Char('|'), 6, 6);
    return out;
}

} // namespace

class TestBookmarks : public QObject {
    Q_OBJECT

private slots:
    void addAndRemoveAMark() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        f.open();
        QLabel* mark = f.child<QLabel>("imgBookmark");
        QPushButton* toggle = f.button("cmdBookmark");
        QCOMPARE(f.boxText(0), QString("Alfa"));
        QVERIFY(!mark->isVisible());

        // A Null mark: No changes nothing, not even into 0.
        QVERIFY(f.clickAnswering(toggle, QMessageBox::No));
        QCOMPARE(f.boxes.last().text, addQuestion);
        QCOMPARE(f.boxes.last().icon, QMessageBox::Question);
        QCOMPARE(f.boxes.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(f.boxes.last().defaultButton, QMessageBox::Yes);
        QVERIFY(!mark->isVisible());

        QVERIFY(f.clickAnswering(toggle, QMessageBox::Yes));
        QCOMPARE(f.boxes.last().text, addQuestion);
        QVERIFY(mark->isVisible());
        QCOMPARE(f.focused(), f.button("cmdSposta(2)"));

        // The marked tip on the next visit; the stored 1 asks the removal.
        f.click(f.button("cmdSposta(2)"));
        f.click(f.button("cmdSposta(1)"));
        QVERIFY(mark->isVisible());
        QVERIFY(f.clickAnswering(toggle, QMessageBox::Yes));
        QCOMPARE(f.boxes.last().text, removeQuestion);
        QVERIFY(!mark->isVisible());
        QCOMPARE(f.boxText(0), QString("Alfa"));

        // Charlie is marked: No keeps it.
        f.click(f.button("cmdSposta(3)"));
        QVERIFY(mark->isVisible());
        QVERIFY(f.clickAnswering(toggle, QMessageBox::No));
        QCOMPARE(f.boxes.last().text, removeQuestion);
        QVERIFY(mark->isVisible());
        QCOMPARE(f.boxes.unexpected(), 0);
        QCOMPARE(marks(f.rowsAfterClose()), QStringList({"0", "0", "1"}));
    }

    void aValueWrittenByAnotherProgramCountsAsSet() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        QVERIFY(f.rawExec("UPDATE TipsTable SET Bookmark = 7 WHERE KeyPrimary = 1"));
        f.open();
        QCOMPARE(f.boxText(0), QString("Alfa"));
        QVERIFY(!f.child<QLabel>("imgBookmark")->isVisible()); // shown only for 1
        QVERIFY(f.clickAnswering(f.button("cmdBookmark"), QMessageBox::Yes));
        QCOMPARE(f.boxes.last().text, removeQuestion);
        QVERIFY(!f.child<QLabel>("imgBookmark")->isVisible());
        QCOMPARE(marks(f.rowsAfterClose()), QStringList({"0", "0", "1"}));
    }

    void togglingUnderAFilterKeepsIt() {
        EditingFixture f;
        QVERIFY(f.create(tips));
        f.open();
        f.pick(f.combo("cboFindCategoria"), "Grafica");
        QCOMPARE(f.counter(), QString("1  di  2"));
        f.click(f.button("cmdSposta(2)"));
        QCOMPARE(f.boxText(0), QString("Charlie"));
        QVERIFY(f.clickAnswering(f.button("cmdBookmark"), QMessageBox::Yes));
        QVERIFY(!f.child<QLabel>("imgBookmark")->isVisible());
        QCOMPARE(f.boxText(0), QString("Charlie"));
        QCOMPARE(f.counter(), QString("2  di  2"));
        f.click(f.button("cmdSposta(1)"));
        QCOMPARE(f.boxText(0), QString("Alfa"));
        QCOMPARE(f.counter(), QString("1  di  2")); // still the filtered view
        QVERIFY(f.clickAnswering(f.button("cmdBookmark"), QMessageBox::Yes));
        QVERIFY(f.child<QLabel>("imgBookmark")->isVisible());
        QCOMPARE(marks(f.rowsAfterClose()), QStringList({"1", "0", "0"}));
    }

    void emptyArchiveSaysSo() {
        EditingFixture f;
        QVERIFY(f.create({}));
        f.open({QMessageBox::Ok});
        QVERIFY(f.clickAnswering(f.button("cmdBookmark"), QMessageBox::Ok));
        QCOMPARE(f.boxes.last().text, QString("Database vuoto!"));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(f.boxes.count(), 2);
        QCOMPARE(f.rowsAfterClose(), QStringList());
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
        EditingFixture f;
        QVERIFY(f.create(tips));
        if (readOnly)
            QVERIFY(QFile::setPermissions(f.path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        else
            QVERIFY(f.rawExec("CREATE TRIGGER refuse BEFORE UPDATE ON TipsTable "
                              "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"));
        f.open(readOnly ? QList<QMessageBox::StandardButton>{QMessageBox::Ok}
                        : QList<QMessageBox::StandardButton>{});
        const int loadBoxes = f.boxes.count();
        f.click(f.button("cmdSposta(3)"));
        QVERIFY(f.child<QLabel>("imgBookmark")->isVisible());

        f.boxes.arm(QMessageBox::Yes);
        f.window->cmdBookmark_Click(); // the button is disabled on a read-only archive
        QVERIFY(f.boxes.waitForCount(loadBoxes + 1));
        QCOMPARE(f.boxes.last().text, removeQuestion);
        QVERIFY(f.child<QLabel>("imgBookmark")->isVisible());
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(GenericBas::TipsRecordset->Fields(QStringLiteral("Bookmark")).Value().toInt(), 1);
        f.click(f.button("cmdSposta(0)"));
        QCOMPARE(f.boxText(0), QString("Alfa"));
        QCOMPARE(f.boxes.count(), loadBoxes + 1);
        QCOMPARE(marks(f.rowsAfterClose()), QStringList({"<null>", "0", "1"}));
    }
};

QTEST_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
