// Loading record views and the title list.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QComboBox>
#include <QtTest>

using TestArchive::Tip;

namespace {
const QString DefaultView = QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
QString categoryView(const QString& category) {
    return QStringLiteral("SELECT * FROM TipsTable WHERE [Categoria]='") + category +
           QStringLiteral("'ORDER BY[Titolo]ASC");
}
} // namespace

class TestViews : public QObject {
    Q_OBJECT

private slots:
    void titlesFollowTheViewOrder();
    void oneRecordLeavesTheListDisabled();
    void emptyResultFallsBackToTheWholeTable();
    void rejectedSqlKeepsTheView();
    void suppressedListStaysEmpty();
    void nullTitlesAreLeftOut();
    void fillTitleListKeepsThePosition();
};

void TestViews::titlesFollowTheViewOrder() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("ciao")), Tip(QStringLiteral("Època")),
                                             Tip(QStringLiteral("beta")), Tip(QStringLiteral("Alfa")),
                                             Tip(QStringLiteral("epoca"))}));
    w.load();
    const QStringList titles = w.items(QStringLiteral("cboTitoli"));
    QCOMPARE(titles.size(), 5);
    QCOMPARE(titles.mid(0, 3),
             (QStringList{QStringLiteral("Alfa"), QStringLiteral("beta"), QStringLiteral("ciao")}));
    // Both spellings of "epoca" sort together, after "ciao".
    QVERIFY(titles.mid(3).contains(QStringLiteral("Època")));
    QVERIFY(titles.mid(3).contains(QStringLiteral("epoca")));
    QVERIFY(w.combo(QStringLiteral("cboTitoli"))->isEnabled());
}

void TestViews::oneRecordLeavesTheListDisabled() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Uno"), QStringLiteral("A")),
                                             Tip(QStringLiteral("Due"), QStringLiteral("B")),
                                             Tip(QStringLiteral("Tre"), QStringLiteral("B"))}));
    w.load();
    w.window->LoadView(categoryView(QStringLiteral("A")));
    QCOMPARE(w.items(QStringLiteral("cboTitoli")), QStringList{QStringLiteral("Uno")});
    QVERIFY(!w.combo(QStringLiteral("cboTitoli"))->isEnabled());
    QCOMPARE(w.counter(), QStringLiteral("1  di  1"));
    QCOMPARE(w.boxText(0), QStringLiteral("Uno"));

    w.window->LoadView(categoryView(QStringLiteral("B")));
    QCOMPARE(w.items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Due"), QStringLiteral("Tre")}));
    QVERIFY(w.combo(QStringLiteral("cboTitoli"))->isEnabled());
    QCOMPARE(w.counter(), QStringLiteral("1  di  2"));
}

void TestViews::emptyResultFallsBackToTheWholeTable() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Uno"), QStringLiteral("A")),
                                             Tip(QStringLiteral("Due"), QStringLiteral("B")),
                                             Tip(QStringLiteral("Tre"), QStringLiteral("B"))}));
    w.load();
    w.window->LoadView(categoryView(QStringLiteral("B")));
    w.boxes.arm(QMessageBox::Ok);
    w.window->LoadView(categoryView(QStringLiteral("Nessuna")));
    QCOMPARE(w.boxes.count(), 1);
    QCOMPARE(w.boxes.last().title, QStringLiteral("Quillnote"));
    QCOMPARE(w.boxes.last().text, QStringLiteral("Nessun record trovato."));
    QCOMPARE(w.boxes.last().icon, QMessageBox::Information);
    // The list and the boxes still show the filtered view...
    QCOMPARE(w.items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Due"), QStringLiteral("Tre")}));
    QCOMPARE(w.counter(), QStringLiteral("1  di  2"));
    // ...but navigation works on the whole table in title order.
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 3L);
    w.click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w.boxText(0), QStringLiteral("Tre"));
    QCOMPARE(w.counter(), QStringLiteral("2  di  3"));
}

void TestViews::rejectedSqlKeepsTheView() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Uno"), QStringLiteral("A")),
                                             Tip(QStringLiteral("Due"), QStringLiteral("B")),
                                             Tip(QStringLiteral("Tre"), QStringLiteral("B"))}));
    w.load();
    w.window->LoadView(categoryView(QStringLiteral("B")));
    w.window->LoadView(QStringLiteral("SELECT * FROM TabellaCheNonCe"));
    QCOMPARE(w.boxes.count(), 0);
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 2L);
    QCOMPARE(w.counter(), QStringLiteral("1  di  2"));
}

void TestViews::suppressedListStaysEmpty() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Uno"), QStringLiteral("A")),
                                             Tip(QStringLiteral("Due"), QStringLiteral("B")),
                                             Tip(QStringLiteral("Tre"), QStringLiteral("B"))}));
    w.load();
    w.window->SuppressListEvents = true;
    w.window->LoadView(categoryView(QStringLiteral("B")));
    w.window->SuppressListEvents = false;
    QVERIFY(w.items(QStringLiteral("cboTitoli")).isEmpty());
    QVERIFY(!w.combo(QStringLiteral("cboTitoli"))->isEnabled());
    QCOMPARE(w.boxText(0), QStringLiteral("Due"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  2"));
}

void TestViews::nullTitlesAreLeftOut() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(
        w.path, {Tip(QStringLiteral("Uno")), Tip(QVariant()), Tip(QStringLiteral("Due"))}));
    w.load();
    QCOMPARE(w.counter(), QStringLiteral("1  di  3"));
    QCOMPARE(w.items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Due"), QStringLiteral("Uno")}));
    // The untitled tip sorts first: an empty title box and no title picked in the list.
    QCOMPARE(w.boxText(0), QString());
    QCOMPARE(w.boxText(2), QStringLiteral("Varie"));
    QCOMPARE(w.combo(QStringLiteral("cboTitoli"))->currentIndex(), -1);
    // The list is one entry short: the entry is found by its title, not by the position.
    w.click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w.boxText(0), QStringLiteral("Due"));
    QCOMPARE(w.combo(QStringLiteral("cboTitoli"))->currentText(), QStringLiteral("Due"));
    w.click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w.combo(QStringLiteral("cboTitoli"))->currentText(), QStringLiteral("Uno"));
}

void TestViews::fillTitleListKeepsThePosition() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, {Tip(QStringLiteral("Uno"), QStringLiteral("A")),
                                             Tip(QStringLiteral("Due"), QStringLiteral("B")),
                                             Tip(QStringLiteral("Tre"), QStringLiteral("B"))}));
    w.load();
    w.window->LoadView(categoryView(QStringLiteral("B")));
    w.click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w.counter(), QStringLiteral("2  di  2"));
    const QByteArray before = GenericBas::TipsRecordset->Bookmark();
    w.window->FillTitleList();
    QCOMPARE(GenericBas::TipsRecordset->Bookmark(), before);
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 2L);
    // The list holds every title of the table.
    QCOMPARE(w.items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Due"), QStringLiteral("Tre"), QStringLiteral("Uno")}));
    QVERIFY(w.combo(QStringLiteral("cboTitoli"))->isEnabled());

    // With a single title left it leaves the list's state alone: the caller disables it.
    GenericBas::TipsDatabase->Execute(QStringLiteral("DELETE FROM TipsTable WHERE [Categoria]='B'"));
    w.window->FillTitleList();
    QCOMPARE(w.items(QStringLiteral("cboTitoli")), QStringList{QStringLiteral("Uno")});
    QVERIFY(w.combo(QStringLiteral("cboTitoli"))->isEnabled());
}

QTEST_MAIN(TestViews)
#include "tst_views.moc"
