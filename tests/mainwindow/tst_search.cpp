// The search panel: search types and their panel states, the lists, the filters with their
// quoting and wildcards, the bookmark and title jumps and the return to the same tip.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using TestArchive::Tip;

namespace {

// Eight tips over three categories (one with an apostrophe, one empty, one Null), keys and
// bookmarks, and two tips with the same title.
QList<Tip> sampleTips() {
    return {
        Tip(QStringLiteral("Leggere un file"), QStringLiteral("File"), QStringLiteral("io"),
            QStringLiteral("Apri lo stream e leggi"))
            .marked(),
        Tip(QStringLiteral("Scrivere un file"), QStringLiteral("File"), QStringLiteral("io"),
            QStringLiteral("Apri in scrittura; usa 100% del buffer")),
        Tip(QStringLiteral("Ordinare"), QStringLiteral("L'arte"), QStringLiteral("sort"),
            QStringLiteral("qsort o std::sort"))
            .marked(),
        Tip(QStringLiteral("Ordinare"), QStringLiteral("Varie"), QString(), QStringLiteral("la seconda")),
        Tip(QStringLiteral("Dell'ordine"), QStringLiteral("L'arte"), QVariant(), QStringLiteral("apostrofo")),
        Tip(QStringLiteral("Vuota"), QString(), QStringLiteral("nulla"), QVariant()),
        Tip(QStringLiteral("Senza categoria"), QVariant(), QStringLiteral("nulla"), QStringLiteral("x")),
        Tip(QStringLiteral("Zucchero"), QStringLiteral("Varie"), QStringLiteral("dolce"), QStringLiteral("y"))
            .marked(),
    };
}

bool shown(const ArchiveWindow& w, const QString& name) {
    QWidget* c = w.child<QWidget>(name);
    return c->isVisibleTo(c->parentWidget());
}

QString panel(const ArchiveWindow& w) {
    QStringList visible;
    for (const QString& name : {QStringLiteral("cboFindCategoria"), QStringLiteral("cboGenericFind"),
                                QStringLiteral("txtFindTxt"), QStringLiteral("cmdSearch")})
        if (shown(w, name)) visible << name;
    return visible.join(QLatin1Char(',')) + QLatin1Char('|') +
           w.child<QLabel>(QStringLiteral("lblSearchDescription"))->text();
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panelAtLoad();
    void searchTypesSetThePanel_data();
    void searchTypesSetThePanel();
    void categoryFilterQuotesItsValue();
    void keyListAndKeyFilter();
    void bookmarkJumpReachesTheFirstOfEqualTitles();
    void bookmarkGoneRestoresThePosition();
    void emptyKeyListIsReported();
    void wordSearch_data();
    void wordSearch();
    void emptyWordIsRefused();
    void unmatchedWordReturnsToTheWholeTable();
    void titleJumpWithDuplicateTitles();
    void keepReturnsToTheSameTip();

private:
    std::unique_ptr<ArchiveWindow> w;
};

void TestSearch::init() {
    w = std::make_unique<ArchiveWindow>();
    QVERIFY(TestArchive::CreateTips(w->path, sampleTips()));
    w->load();
    QCOMPARE(w->boxes.count(), 0);
    w->window->SuppressArrowAnimation = true;
}

void TestSearch::cleanup() {
    w.reset();
}

void TestSearch::panelAtLoad() {
    QCOMPARE(
        w->items(QStringLiteral("cboSelectResearch")),
        (QStringList{QStringLiteral("Categoria"), QStringLiteral("ChiaveRicerca"),
                     QStringLiteral("Procedura"), QStringLiteral("Titolo"), QStringLiteral("Bookmark")}));
    QCOMPARE(w->combo(QStringLiteral("cboSelectResearch"))->currentText(), QStringLiteral("Categoria"));
    QCOMPARE(panel(*w), QStringLiteral("cboFindCategoria|Seleziona la categoria da ricercare"));
    // Sorted groups; the Null group is left out, the empty category is an entry of its own.
    QCOMPARE(w->items(QStringLiteral("cboFindCategoria")),
             (QStringList{QStringLiteral("[Tutte le categorie]"), QString(), QStringLiteral("File"),
                          QStringLiteral("L'arte"), QStringLiteral("Varie")}));
    QCOMPARE(w->combo(QStringLiteral("cboFindCategoria"))->currentIndex(), 0);
    QCOMPARE(w->counter(), QStringLiteral("1  di  8"));
    QCOMPARE(w->items(QStringLiteral("cboTitoli")).size(), 8);
}

void TestSearch::searchTypesSetThePanel_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("titlesListed");
    QTest::newRow("Categoria") << "Categoria"
                               << "cboFindCategoria|Seleziona la categoria da ricercare" << true;
    QTest::newRow("ChiaveRicerca") << "ChiaveRicerca"
                                   << "cboGenericFind|Seleziona la chiave da ricercare" << false;
    QTest::newRow("Procedura") << "Procedura"
                               << "txtFindTxt,cmdSearch|Digita la parola da ricercare" << true;
    QTest::newRow("Titolo") << "Titolo"
                            << "txtFindTxt,cmdSearch|Digita la parola da ricercare" << true;
    QTest::newRow("Bookmark") << "Bookmark"
                              << "cboGenericFind|Seleziona il bookmark da visualizzare" << false;
}

void TestSearch::searchTypesSetThePanel() {
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QFETCH(bool, titlesListed);
    // Start from a filtered view with a word typed: every type starts again from the whole table.
    w->pick(QStringLiteral("cboFindCategoria"), QStringLiteral("File"));
    QCOMPARE(w->counter(), QStringLiteral("1  di  2"));
    w->child<QLineEdit>(QStringLiteral("txtFindTxt"))->setText(QStringLiteral("resto"));
    w->pick(QStringLiteral("cboSelectResearch"), type);
    QCOMPARE(panel(*w), expected);
    QCOMPARE(w->boxes.count(), 0);
    QCOMPARE(w->child<QLineEdit>(QStringLiteral("txtFindTxt"))->text(), QString());
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 8L);
    QCOMPARE(w->counter(), QStringLiteral("1  di  8"));
    QCOMPARE(w->items(QStringLiteral("cboTitoli")).size(), titlesListed ? 8 : 0);
    QCOMPARE(w->combo(QStringLiteral("cboTitoli"))->isEnabled(), titlesListed);
}

void TestSearch::categoryFilterQuotesItsValue() {
    w->pick(QStringLiteral("cboFindCategoria"), QStringLiteral("L'arte"));
    QCOMPARE(w->boxes.count(), 0);
    QCOMPARE(w->items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Dell'ordine"), QStringLiteral("Ordinare")}));
    QCOMPARE(w->counter(), QStringLiteral("1  di  2"));
    // The empty category filters on the empty text.
    w->pick(QStringLiteral("cboFindCategoria"), QString());
    QCOMPARE(w->boxText(0), QStringLiteral("Vuota"));
    QCOMPARE(w->counter(), QStringLiteral("1  di  1"));
    w->pick(QStringLiteral("cboFindCategoria"), QStringLiteral("[Tutte le categorie]"));
    QCOMPARE(w->counter(), QStringLiteral("1  di  8"));
}

void TestSearch::keyListAndKeyFilter() {
    w->pick(QStringLiteral("cboSelectResearch"), QStringLiteral("ChiaveRicerca"));
    // Distinct keys, without Null and empty ones; nothing picked yet.
    QCOMPARE(w->items(QStringLiteral("cboGenericFind")),
             (QStringList{QStringLiteral("dolce"), QStringLiteral("io"), QStringLiteral("nulla"),
                          QStringLiteral("sort")}));
    QCOMPARE(w->combo(QStringLiteral("cboGenericFind"))->currentIndex(), -1);
    w->pick(QStringLiteral("cboGenericFind"), QStringLiteral("io"));
    QCOMPARE(w->items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Leggere un file"), QStringLiteral("Scrivere un file")}));
    QVERIFY(w->combo(QStringLiteral("cboTitoli"))->isEnabled());
    QCOMPARE(w->counter(), QStringLiteral("1  di  2"));
}

void TestSearch::bookmarkJumpReachesTheFirstOfEqualTitles() {
    w->pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Bookmark"));
    const QStringList marked = w->items(QStringLiteral("cboGenericFind"));
    QCOMPARE(marked.size(), 3);
    QVERIFY(marked.contains(QStringLiteral("Ordinare")));
    // Of the two tips titled "Ordinare" the first in view order is reached.
    w->pick(QStringLiteral("cboGenericFind"), QStringLiteral("Ordinare"));
    QCOMPARE(w->boxes.count(), 0);
    QCOMPARE(w->boxText(0), QStringLiteral("Ordinare"));
    const long first = GenericBas::TipsRecordset->AbsolutePosition();
    QCOMPARE(w->counter(), QStringLiteral("%1  di  8").arg(first + 1));
    GenericBas::TipsRecordset->MovePrevious();
    QVERIFY(GenericBas::TipsRecordset->Fields(QStringLiteral("Titolo")).Value().toString() !=
            QStringLiteral("Ordinare"));
    // The jump keeps the title list empty.
    QVERIFY(w->items(QStringLiteral("cboTitoli")).isEmpty());
}

void TestSearch::bookmarkGoneRestoresThePosition() {
    w->pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Bookmark"));
    w->click(QStringLiteral("cmdSposta(3)"));
    QCOMPARE(w->counter(), QStringLiteral("8  di  8"));
    // The tip is retitled after the list was filled.
    GenericBas::TipsDatabase->Execute(
        QStringLiteral("UPDATE TipsTable SET [Titolo]='Miele' WHERE [Titolo]='Zucchero'"));
    QVERIFY(
        w->pickAnswering(QStringLiteral("cboGenericFind"), QStringLiteral("Zucchero"), {QMessageBox::Ok}));
    QCOMPARE(w->boxes.last().text, QStringLiteral("Segnalibro non trovato."));
    QCOMPARE(w->boxes.last().icon, QMessageBox::Information);
    QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 7L);
    QCOMPARE(w->counter(), QStringLiteral("8  di  8"));
}

void TestSearch::emptyKeyListIsReported() {
    GenericBas::TipsDatabase->Execute(QStringLiteral("UPDATE TipsTable SET [Bookmark]=0"));
    QVERIFY(
        w->pickAnswering(QStringLiteral("cboSelectResearch"), QStringLiteral("Bookmark"), {QMessageBox::Ok}));
    QCOMPARE(w->boxes.last().title, QStringLiteral("Quillnote"));
    QCOMPARE(w->boxes.last().text, QStringLiteral("Nessun record trovato"));
    QCOMPARE(w->boxes.last().icon, QMessageBox::Information);
    QVERIFY(w->items(QStringLiteral("cboGenericFind")).isEmpty());
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 8L);
}

void TestSearch::wordSearch_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("selected"); // in the title or procedure box
    QTest::newRow("title, any case, blanks around")
        << "Titolo"
        << "  FILE " << QStringList{"Leggere un file", "Scrivere un file"} << "file";
    QTest::newRow("title with a quote") << "Titolo"
                                        << "dell'" << QStringList{"Dell'ordine"} << "Dell'";
    QTest::newRow("procedure") << "Procedura"
                               << "apri" << QStringList{"Leggere un file", "Scrivere un file"} << "Apri";
    QTest::newRow("star is a wildcard") << "Procedura"
                                        << "apri*buffer" << QStringList{"Scrivere un file"} << "";
    QTest::newRow("blanks only: every procedure with a value")
        << "Procedura"
        << "   " << QStringList{"Dell'ordine",      "Leggere un file", "Ordinare", "Ordinare",
                                "Scrivere un file", "Senza categoria", "Zucchero"}
        << "";
}

void TestSearch::wordSearch() {
    QFETCH(QString, type);
    QFETCH(QString, word);
    QFETCH(QStringList, titles);
    QFETCH(QString, selected);
    w->pick(QStringLiteral("cboSelectResearch"), type);
    QTest::keyClicks(w->child<QLineEdit>(QStringLiteral("txtFindTxt")), word);
    w->click(QStringLiteral("cmdSearch"));
    QCOMPARE(w->boxes.count(), 0);
    QCOMPARE(w->items(QStringLiteral("cboTitoli")), titles);
    QCOMPARE(w->counter(), QStringLiteral("1  di  %1").arg(titles.size()));
    if (!selected.isEmpty()) {
        QString got;
        if (type == QLatin1String("Titolo"))
            got = w->child<QLineEdit>(QStringLiteral("txtdb(0)"))->selectedText();
        else
            got = w->child<QPlainTextEdit>(QStringLiteral("txtdb(1)"))->textCursor().selectedText();
        QCOMPARE(got, selected);
    }
}

void TestSearch::emptyWordIsRefused() {
    w->pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Titolo"));
    QVERIFY(w->clickAnswering(QStringLiteral("cmdSearch"), {QMessageBox::Ok}));
    QCOMPARE(w->boxes.last().title, QStringLiteral("Quillnote"));
    QCOMPARE(w->boxes.last().text, QStringLiteral("Digitare la stringa da ricercare."));
    QCOMPARE(w->boxes.last().icon, QMessageBox::Warning);
    QCOMPARE(w->window->focusWidget(), w->child<QWidget>(QStringLiteral("txtFindTxt")));
    QCOMPARE(w->counter(), QStringLiteral("1  di  8"));
}

void TestSearch::unmatchedWordReturnsToTheWholeTable() {
    w->pick(QStringLiteral("cboSelectResearch"), QStringLiteral("Titolo"));
    QTest::keyClicks(w->child<QLineEdit>(QStringLiteral("txtFindTxt")), QStringLiteral("file"));
    w->click(QStringLiteral("cmdSearch"));
    QCOMPARE(w->counter(), QStringLiteral("1  di  2"));
    w->child<QLineEdit>(QStringLiteral("txtFindTxt"))->setText(QStringLiteral("inesistente"));
    QVERIFY(w->clickAnswering(QStringLiteral("cmdSearch"), {QMessageBox::Ok}));
    QCOMPARE(w->boxes.last().text, QStringLiteral("Nessun record trovato."));
    QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 8L);
    w->click(QStringLiteral("cmdSposta(3)"));
    QCOMPARE(w->counter(), QStringLiteral("8  di  8"));
}

void TestSearch::titleJumpWithDuplicateTitles() {
    w->click(QStringLiteral("cmdSposta(3)"));
    const QStringList titles = w->items(QStringLiteral("cboTitoli"));
    const int second = static_cast<int>(titles.lastIndexOf(QStringLiteral("Ordinare")));
    QCOMPARE(titles.at(second - 1), QStringLiteral("Ordinare"));
    QComboBox* list = w->combo(QStringLiteral("cboTitoli"));
    list->setCurrentIndex(second);
    emit list->activated(second);
    // The first of the two in view order is reached.
    QCOMPARE(w->counter(), QStringLiteral("%1  di  8").arg(second));
    QCOMPARE(QApplication::focusWidget(), w->child<QWidget>(QStringLiteral("txtdb(1)")));

    // While the program sets the lists, a pick does nothing.
    w->window->SuppressListEvents = true;
    w->pick(QStringLiteral("cboTitoli"), QStringLiteral("Zucchero"));
    QCOMPARE(w->counter(), QStringLiteral("%1  di  8").arg(second));
}

void TestSearch::keepReturnsToTheSameTip() {
    w->pick(QStringLiteral("cboFindCategoria"), QStringLiteral("Varie"));
    w->click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w->boxText(0), QStringLiteral("Zucchero"));
    QCOMPARE(w->counter(), QStringLiteral("2  di  2"));
    w->window->FillCategoryList(true);
    QCOMPARE(w->boxText(0), QStringLiteral("Zucchero"));
    QCOMPARE(w->counter(), QStringLiteral("8  di  8"));
    QCOMPARE(w->combo(QStringLiteral("cboFindCategoria"))->currentIndex(), 0);
    QCOMPARE(w->items(QStringLiteral("cboFindCategoria")).size(), 5);
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
