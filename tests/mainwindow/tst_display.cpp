// Showing tips, the counter, the navigation buttons and the highlighting of a found word.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using TestArchive::Tip;

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void navigationStopsAtBothEnds();
    void oneRecordNeverMoves();
    void emptyViewShowsTheZeroCounter();
    void nullFieldsLeaveTheirBoxesEmpty();
    void foundWordIsSelectedInTheTitle();
    void foundWordIsSelectedInTheProcedure();
    void otherSearchTypesHighlightNothing();
};

namespace {

QLineEdit* line(const ArchiveWindow& w, int i) {
    return w.child<QLineEdit>(QStringLiteral("txtdb(%1)").arg(i));
}

// Moves with cmdSposta(index) and returns "title counter".
QString move(const ArchiveWindow& w, int index) {
    w.click(QStringLiteral("cmdSposta(%1)").arg(index));
    return w.boxText(0) + QLatin1Char(' ') + w.counter();
}

} // namespace

void TestDisplay::navigationStopsAtBothEnds() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(
        w.path, {Tip(QStringLiteral("Tre")), Tip(QStringLiteral("Uno")), Tip(QStringLiteral("Due"))}));
    w.load();
    QCOMPARE(w.boxText(0) + QLatin1Char(' ') + w.counter(), QStringLiteral("Due 1  di  3"));
    QCOMPARE(move(w, 1), QStringLiteral("Due 1  di  3"));
    QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 0L); // moved back onto the first
    QCOMPARE(move(w, 0), QStringLiteral("Due 1  di  3"));
    QCOMPARE(move(w, 2), QStringLiteral("Tre 2  di  3"));
    QCOMPARE(move(w, 2), QStringLiteral("Uno 3  di  3"));
    QCOMPARE(move(w, 2), QStringLiteral("Uno 3  di  3"));
    QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 2L);
    QCOMPARE(move(w, 3), QStringLiteral("Uno 3  di  3"));
    QCOMPARE(move(w, 1), QStringLiteral("Tre 2  di  3"));
    QCOMPARE(move(w, 0), QStringLiteral("Due 1  di  3"));
    QCOMPARE(move(w, 3), QStringLiteral("Uno 3  di  3"));
    QCOMPARE(w.combo(QStringLiteral("cboTitoli"))->currentText(), QStringLiteral("Uno"));
}

void TestDisplay::oneRecordNeverMoves() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Solo"))}));
    w.load();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(move(w, i), QStringLiteral("Solo 1  di  1"));
    QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 0L);
}

void TestDisplay::emptyViewShowsTheZeroCounter() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path));
    w.load({}, {QMessageBox::Ok});
    QCOMPARE(w.counter(), QStringLiteral("0  di  0"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(move(w, i), QStringLiteral(" 0  di  0"));
    QCOMPARE(w.boxes.count(), 1); // only the load's message
    for (int i = 0; i < frmTips::FieldCount; ++i)
        QCOMPARE(w.boxText(i), QString());
    QVERIFY(w.child<QLabel>(QStringLiteral("imgBookmark"))->isHidden());
}

void TestDisplay::nullFieldsLeaveTheirBoxesEmpty() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(
        w.path,
        {Tip(QStringLiteral("A senza"), QStringLiteral("Cat"), QVariant(), QStringLiteral("proc")),
         Tip(QStringLiteral("B piena"), QStringLiteral("Cat"), QStringLiteral("chiave"), QStringLiteral("p2"))
             .withNote(QStringLiteral("nota"))
             .marked(),
         Tip(QStringLiteral("C zero"), QVariant(), QStringLiteral("k"), QVariant()).marked(0)}));
    w.load();
    const auto* mark = w.child<QLabel>(QStringLiteral("imgBookmark"));
    QCOMPARE(w.boxText(0), QStringLiteral("A senza"));
    QCOMPARE(w.boxText(1), QStringLiteral("proc"));
    QCOMPARE(w.boxText(2), QStringLiteral("Cat"));
    QCOMPARE(w.boxText(3), QString());
    QCOMPARE(w.boxText(4), QString());
    QVERIFY(mark->isHidden());

    move(w, 2);
    QCOMPARE(w.boxText(3), QStringLiteral("chiave"));
    QCOMPARE(w.boxText(4), QStringLiteral("nota"));
    QVERIFY(!mark->isHidden());

    // Null boxes of the next tip do not keep the previous tip's values.
    move(w, 2);
    QCOMPARE(w.boxText(0), QStringLiteral("C zero"));
    QCOMPARE(w.boxText(1), QString());
    QCOMPARE(w.boxText(2), QString());
    QCOMPARE(w.boxText(4), QString());
    QVERIFY(mark->isHidden());
}

void TestDisplay::foundWordIsSelectedInTheTitle() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(
        w.path, {Tip(QStringLiteral("Aprire un file")), Tip(QStringLiteral("Chiudere il File di log"))}));
    w.load();
    w.window->SuppressArrowAnimation = true;
    w.pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Titolo"));
    QTest::keyClicks(w.child<QLineEdit>(QStringLiteral("txtFindTxt")), QStringLiteral("  FILE "));
    move(w, 2);
    QCOMPARE(w.boxText(0), QStringLiteral("Chiudere il File di log"));
    QCOMPARE(line(w, 0)->selectedText(), QStringLiteral("File"));
    QCOMPARE(line(w, 0)->selectionStart(), 12);
    QCOMPARE(QApplication::focusWidget(), line(w, 0));
}

void TestDisplay::foundWordIsSelectedInTheProcedure() {
    ArchiveWindow w;
    QString body;
    for (int i = 0; i < 80; ++i)
        body += QStringLiteral("riga %1 di riempimento\r\n").arg(i);
    body += QStringLiteral("qui si usa QString::Split davvero");
    QVERIFY(TestArchive::CreateTips(
        w.path, {Tip(QStringLiteral("A"), QStringLiteral("C"), QVariant(), QStringLiteral("niente")),
                 Tip(QStringLiteral("B"), QStringLiteral("C"), QVariant(), body)}));
    w.load();
    w.window->SuppressArrowAnimation = true;
    w.pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Procedura"));
    QTest::keyClicks(w.child<QLineEdit>(QStringLiteral("txtFindTxt")), QStringLiteral("split"));
    move(w, 2);
    auto* proc = w.child<QPlainTextEdit>(QStringLiteral("txtdb(1)"));
    QCOMPARE(proc->textCursor().selectedText(), QStringLiteral("Split"));
    QCOMPARE(QApplication::focusWidget(), proc);
    // Moving on to a tip without the word leaves its box unselected.
    move(w, 1);
    QVERIFY(!proc->textCursor().hasSelection());
}

void TestDisplay::otherSearchTypesHighlightNothing() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path,
                                    {Tip(QStringLiteral("Alfa Varie")), Tip(QStringLiteral("Beta Varie"))}));
    w.load();
    auto* find = w.child<QLineEdit>(QStringLiteral("txtFindTxt"));
    find->setText(QStringLiteral("Varie"));
    w.window->HighlightSearchText(); // type "Categoria"
    QVERIFY(!line(w, 0)->hasSelectedText());

    // A word that is not there changes nothing.
    w.window->HighlightText(line(w, 0), QStringLiteral("Gamma"));
    QVERIFY(!line(w, 0)->hasSelectedText());
    w.window->HighlightText(line(w, 0), QStringLiteral("varie"));
    QCOMPARE(line(w, 0)->selectedText(), QStringLiteral("Varie"));
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
