// Loading record views and the title list.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {
QString categoryView(const QString& category) {
    return "SELECT * FROM TipsTable WHERE [Categoria]='" + category + "'ORDER BY[Titolo]ASC";
}
} // namespace

class TestViews : public QObject {
    Q_OBJECT

private slots:
    void titlesFollowTheViewOrder() {
        ArchiveWindow w;
        QVERIFY(w.open({{"ciao"}, {"Època"}, {"beta"}, {"Alfa"}, {"epoca"}}));
        const QStringList titles = w.items("cboTitoli");
        QCOMPARE(titles.mid(0, 3), QStringList({"Alfa", "beta", "ciao"}));
        // Both spellings of "epoca" sort together, after "ciao".
        QCOMPARE(QSet<QString>(titles.begin() + 3, titles.end()), QSet<QString>({"Època", "epoca"}));
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
        QCOMPARE(w.tip(), "Due 1  di  2");
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
        QCOMPARE(w.said(), QStringList());
    }

    void emptyResultFallsBackToTheWholeTable() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Uno", "p", "A"}, {"Due", "p", "B"}, {"Tre", "p", "B"}}));
        w.win->LoadView(categoryView("B"));
        w.boxes.arm(QMessageBox::Ok);
        w.win->LoadView(categoryView("Nessuna"));
        QCOMPARE(w.said(), QStringList{Box("Nessun record trovato.", QMessageBox::Information)});
        // The list and the boxes still show the filtered view, but navigation runs on the whole table.
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre"}));
        QCOMPARE(w.tip(), "Due 1  di  2");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Tre 2  di  3");
    }

    // An untitled tip is left out of the list, so the list is found by title, not by position.
    void nullTitlesAreLeftOut() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Uno"}, {QVariant()}, {"Due"}}));
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Uno"}));
        QCOMPARE(w.tip(), " 1  di  3"); // the untitled tip sorts first
        QCOMPARE(w.win->cboTitoli->currentIndex(), -1);
        w.click("cmdSposta(2)");
        QCOMPARE(w.win->cboTitoli->currentText(), "Due");
        w.click("cmdSposta(2)");
        QCOMPARE(w.win->cboTitoli->currentText(), "Uno");
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"
