// Showing tips: record views and the title list, the counter, the navigation buttons and the
// highlighting of a found word.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

QString categoryView(const QString& category) {
    return "SELECT * FROM TipsTable WHERE [Categoria]='" + category + "'ORDER BY[Titolo]ASC";
}

// The five field boxes and whether the mark is shown, e.g. "Titolo|proc|Cat|key|note|*".
QString fields(const ArchiveWindow& w) {
    QStringList out;
    for (int i = 0; i < frmTips::FieldCount; ++i)
        out << w.boxText(i);
    return out.join('|') + (w.win->imgBookmark->isHidden() ? "|" : "|*");
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void navigation_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("steps"); // the cmdSposta index, then the tip shown after it
        QTest::newRow("three tips, to both ends and beyond")
            << QStringList{"Tre", "Uno", "Due"}
            << QStringList{"1Due 1  di  3", "0Due 1  di  3", "2Tre 2  di  3",
                           "2Uno 3  di  3", "2Uno 3  di  3", "3Uno 3  di  3",
                           "1Tre 2  di  3", "0Due 1  di  3", "3Uno 3  di  3"};
        QTest::newRow("one tip") << QStringList{"Solo"}
                                 << QStringList{"0Solo 1  di  1", "1Solo 1  di  1", "2Solo 1  di  1",
                                                "3Solo 1  di  1"};
        QTest::newRow("no tip") << QStringList()
                                << QStringList{"0 0  di  0", "1 0  di  0", "2 0  di  0", "3 0  di  0"};
    }
    void navigation() {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, steps);
        ArchiveWindow w;
        QVERIFY(w.open(QList<Tip>(titles.begin(), titles.end()), Answers(titles.isEmpty(), QMessageBox::Ok)));
        for (const QString& step : steps) {
            w.click(QString("cmdSposta(%1)").arg(step.at(0)));
            QCOMPARE(w.tip(), step.mid(1));
            // At either end the set is moved back onto the tip shown.
            if (!titles.isEmpty())
                QCOMPARE(GenericBas::TipsRecordset->Fields("Titolo").Value().toString(), w.boxText(0));
        }
        QCOMPARE(w.win->cboTitoli->currentText(), w.boxText(0));
    }

    void nullFieldsLeaveTheirBoxesEmpty() {
        ArchiveWindow w;
        QVERIFY(w.open({{"A senza", "proc", "Cat"},
                        {"B piena", "p2", "Cat", "chiave", "nota", 1},
                        {"C zero", QVariant(), QVariant(), "k", QVariant(), 0}}));
        QCOMPARE(fields(w), "A senza|proc|Cat|||");
        w.click("cmdSposta(2)");
        QCOMPARE(fields(w), "B piena|p2|Cat|chiave|nota|*");
        // Null boxes of the next tip do not keep the previous tip's values.
        w.click("cmdSposta(2)");
        QCOMPARE(fields(w), "C zero|||k||");
    }

    void foundWordIsSelected() {
        QString body;
        for (int i = 0; i < 80; ++i)
            body += QString("riga %1 di riempimento\r\n").arg(i);
        ArchiveWindow w;
        QVERIFY(
            w.open({{"Aprire un file", "niente"}, {"Chiudere il File di log", body + "usa QString::Split"}}));
        w.win->SuppressArrowAnimation = true;
        w.pick("cboSelectResearch", "Titolo");
        QTest::keyClicks(w.win->txtFindTxt, "  FILE ");
        w.click("cmdSposta(2)");
        QCOMPARE(w.win->txtLine[0]->selectedText(), "File");
        QCOMPARE(w.win->txtLine[0]->selectionStart(), 12);
        QCOMPARE(QApplication::focusWidget(), w.win->txtLine[0]);
        w.pick("cboSelectResearch", "Procedura");
        QTest::keyClicks(w.win->txtFindTxt, "split");
        w.click("cmdSposta(3)");
        QCOMPARE(w.win->txtProcedura->textCursor().selectedText(), "Split");
        QCOMPARE(QApplication::focusWidget(), w.win->txtProcedura);
        // A tip without the word leaves its box unselected.
        w.click("cmdSposta(1)");
        QVERIFY(!w.win->txtProcedura->textCursor().hasSelection());
        // The other search types highlight nothing.
        w.pick("cboSelectResearch", "Categoria");
        w.win->txtFindTxt->setText("Aprire");
        w.win->HighlightSearchText();
        QVERIFY(!w.win->txtLine[0]->hasSelectedText());
    }

    // An untitled tip is left out of the list, so the list is searched by title, not by position.
    void titleListInViewOrder() {
        ArchiveWindow w;
        QVERIFY(w.open({{"ciao"}, {"Època"}, {QVariant()}, {"beta"}, {"Alfa"}, {"epoca"}}));
        const QStringList titles = w.items("cboTitoli");
        QCOMPARE(titles.mid(0, 3), QStringList({"Alfa", "beta", "ciao"}));
        // Both spellings of "epoca" sort together, after "ciao".
        QCOMPARE(QSet<QString>(titles.begin() + 3, titles.end()), QSet<QString>({"Època", "epoca"}));
        QCOMPARE(w.tip(), " 1  di  6"); // the untitled tip sorts first
        QCOMPARE(w.win->cboTitoli->currentIndex(), -1);
        w.click("cmdSposta(2)");
        QCOMPARE(w.win->cboTitoli->currentText(), "Alfa");
    }

    void categoryViews() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Uno", "p", "A"}, {"Due", "p", "B"}, {"Tre", "p", "B"}}));
        // One record: its title is listed, but the list offers no choice.
        w.win->LoadView(categoryView("A"));
        QCOMPARE(w.items("cboTitoli"), QStringList{"Uno"});
        QVERIFY(!w.win->cboTitoli->isEnabled());
        QCOMPARE(w.tip(), "Uno 1  di  1");
        w.win->LoadView(categoryView("B"));
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre"}));
        QVERIFY(w.win->cboTitoli->isEnabled());
        // SQL the engine refuses keeps the view, silently.
        w.win->LoadView("SELECT * FROM TabellaCheNonCe");
        QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 2L);
        // FillTitleList lists every title of the table and keeps the position in the view.
        w.click("cmdSposta(2)");
        const QByteArray before = GenericBas::TipsRecordset->Bookmark();
        w.win->FillTitleList();
        QCOMPARE(GenericBas::TipsRecordset->Bookmark(), before);
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre", "Uno"}));
        QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 2L);
        // While the program sets the lists, a view leaves the title list empty.
        w.win->SuppressListEvents = true;
        w.win->LoadView(categoryView("B"));
        w.win->SuppressListEvents = false;
        QCOMPARE(w.items("cboTitoli"), QStringList());
        QVERIFY(!w.win->cboTitoli->isEnabled());
        QCOMPARE(w.tip(), "Due 1  di  2");
        // A view without records: the message; the boxes and the list still show the former view,
        // but navigation runs on the whole table.
        w.win->LoadView(categoryView("B"));
        w.boxes.arm(QMessageBox::Ok);
        w.win->LoadView(categoryView("Nessuna"));
        QCOMPARE(w.said(), QStringList{Box("Nessun record trovato.", QMessageBox::Information)});
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre"}));
        QCOMPARE(w.tip(), "Due 1  di  2");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Tre 2  di  3");
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
