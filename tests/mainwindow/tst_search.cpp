// The search panel: search types and their panel states, the lists, the filters with their
// quoting and wildcards, the bookmark and title jumps and the return to the same tip.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

// The visible search controls and the description, e.g. "cboFindCategoria|Seleziona la categoria…".
QString panel(const ArchiveWindow& w) {
    QStringList visible;
    for (const char* name : {"cboFindCategoria", "cboGenericFind", "txtFindTxt", "cmdSearch"})
        if (w.widget(name)->isVisibleTo(w.win->picSearch)) visible << name;
    return visible.join(',') + '|' + w.win->lblSearchDescription->text();
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
    std::unique_ptr<ArchiveWindow> w;

private slots:
    // Eight tips over three categories (one with an apostrophe, one empty, one Null), keys and
    // bookmarks, and two tips with the same title.
    void init() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open({{"Leggere un file", "Apri lo stream e leggi", "File", "io", {}, 1},
                         {"Scrivere un file", "Apri in scrittura; usa 100% del buffer", "File", "io"},
                         {"Ordinare", "qsort o std::sort", "L'arte", "sort", {}, 1},
                         {"Ordinare", "la seconda", "Varie", ""},
                         {"Dell'ordine", "apostrofo", "L'arte"},
                         {"Vuota", QVariant(), "", "nulla"},
                         {"Senza categoria", "x", QVariant(), "nulla"},
                         {"Zucchero", "y", "Varie", "dolce", {}, 1}}));
        w->win->SuppressArrowAnimation = true;
    }
    void cleanup() { w.reset(); }

    // The data tag is the search type.
    void searchTypesSetThePanel_data() {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("titlesListed");
        const QString word = "txtFindTxt,cmdSearch|Digita la parola da ricercare";
        QTest::newRow("Categoria") << "cboFindCategoria|Seleziona la categoria da ricercare" << true;
        QTest::newRow("ChiaveRicerca") << "cboGenericFind|Seleziona la chiave da ricercare" << false;
        QTest::newRow("Procedura") << word << true;
        QTest::newRow("Titolo") << word << true;
        QTest::newRow("Bookmark") << "cboGenericFind|Seleziona il bookmark da visualizzare" << false;
    }
    void searchTypesSetThePanel() {
        QFETCH(QString, expected);
        QFETCH(bool, titlesListed);
        // From a filtered view with a word typed, every type starts again from the whole table.
        w->pick("cboFindCategoria", "File");
        w->win->txtFindTxt->setText("resto");
        w->pick("cboSelectResearch", QTest::currentDataTag());
        QCOMPARE(panel(*w), expected);
        QCOMPARE(w->win->txtFindTxt->text() + w->counter(), "1  di  8");
        QCOMPARE(w->items("cboTitoli").size(), titlesListed ? 8 : 0);
        QCOMPARE(w->win->cboTitoli->isEnabled(), titlesListed);
    }

    void listFiltersQuoteTheirValues() {
        // Sorted groups; the Null group is left out, the empty category is an entry of its own.
        QCOMPARE(w->items("cboFindCategoria"),
                 QStringList({"[Tutte le categorie]", "", "File", "L'arte", "Varie"}));
        w->pick("cboFindCategoria", "L'arte");
        QCOMPARE(w->items("cboTitoli"), QStringList({"Dell'ordine", "Ordinare"}));
        QCOMPARE(w->counter(), "1  di  2");
        w->pick("cboFindCategoria", ""); // the empty category filters on the empty text
        QCOMPARE(w->tip(), "Vuota 1  di  1");
        w->pick("cboFindCategoria", "[Tutte le categorie]");
        QCOMPARE(w->counter(), "1  di  8");
        // Distinct keys, without Null and empty ones; nothing picked yet.
        w->pick("cboSelectResearch", "ChiaveRicerca");
        QCOMPARE(w->items("cboGenericFind"), QStringList({"dolce", "io", "nulla", "sort"}));
        QCOMPARE(w->win->cboGenericFind->currentIndex(), -1);
        w->pick("cboGenericFind", "io");
        QCOMPARE(w->items("cboTitoli"), QStringList({"Leggere un file", "Scrivere un file"}));
        QCOMPARE(w->tip(), "Leggere un file 1  di  2");
    }

    void bookmarkJump() {
        w->pick("cboSelectResearch", "Bookmark");
        QCOMPARE(w->items("cboGenericFind"), QStringList({"Leggere un file", "Ordinare", "Zucchero"}));
        // Of the two tips titled "Ordinare" the first in view order is reached; the title list stays empty.
        w->pick("cboGenericFind", "Ordinare");
        QCOMPARE(w->tip(), "Ordinare 3  di  8");
        QCOMPARE(w->items("cboTitoli"), QStringList());
        // A tip retitled after the list was filled is reported and the position restored.
        w->click("cmdSposta(3)");
        GenericBas::TipsDatabase->Execute("UPDATE TipsTable SET [Titolo]='Miele' WHERE [Titolo]='Zucchero'");
        QVERIFY(w->pick("cboGenericFind", "Zucchero", {QMessageBox::Ok}));
        QCOMPARE(w->said(), QStringList{Box("Segnalibro non trovato.", QMessageBox::Information)});
        QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 7L);
        QCOMPARE(w->counter(), "8  di  8");
        // Without marked tips the list stays empty.
        GenericBas::TipsDatabase->Execute("UPDATE TipsTable SET [Bookmark]=0");
        w->pick("cboSelectResearch", "Categoria");
        QVERIFY(w->pick("cboSelectResearch", "Bookmark", {QMessageBox::Ok}));
        QCOMPARE(w->said().last(), Box("Nessun record trovato", QMessageBox::Information));
        QCOMPARE(w->items("cboGenericFind"), QStringList());
        QCOMPARE(w->counter(), "1  di  8");
    }

    // A word found is selected in its box, with the focus, on every tip found; an empty word or one
    // not found is reported.
    void wordSearch_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("titles"); // none: the whole table after a message
        QTest::addColumn<QString>("expected");   // the selected text, or the message
        auto row = [](const char* tag, const char* type, const char* word, const QStringList& titles,
                      const QString& expected) { QTest::newRow(tag) << type << word << titles << expected; };
        const QStringList files = {"Leggere un file", "Scrivere un file"};
        row("title, any case, blanks around", "Titolo", "  FILE ", files, "file");
        row("title with a quote", "Titolo", "dell'", {"Dell'ordine"}, "Dell'");
        row("procedure", "Procedura", "apri", files, "Apri");
        row("star is a wildcard", "Procedura", "apri*buffer", {"Scrivere un file"}, "");
        row("blanks only: every procedure with a value", "Procedura", "   ",
            QString("Dell'ordine|Leggere un file|Ordinare|Ordinare|Scrivere un file|Senza categoria|Zucchero")
                .split('|'),
            "");
        row("no word", "Titolo", "", {}, Box("Digitare la stringa da ricercare.", QMessageBox::Warning));
        row("not found", "Procedura", "inesistente", {},
            Box("Nessun record trovato.", QMessageBox::Information));
    }
    void wordSearch() {
        QFETCH(QString, type);
        QFETCH(QString, word);
        QFETCH(QStringList, titles);
        QFETCH(QString, expected);
        w->pick("cboSelectResearch", type);
        QTest::keyClicks(w->win->txtFindTxt, word);
        QVERIFY(w->click("cmdSearch", Answers(titles.isEmpty(), QMessageBox::Ok)));
        QCOMPARE(w->said(), titles.isEmpty() ? QStringList{expected} : QStringList());
        QCOMPARE(w->counter(), QString("1  di  %1").arg(titles.isEmpty() ? 8 : titles.size()));
        if (titles.isEmpty()) return;
        QCOMPARE(w->items("cboTitoli"), titles);
        QLineEdit* title = w->win->txtLine[0];
        QWidget* box = type == "Titolo" ? title : static_cast<QWidget*>(w->win->txtProcedura);
        for (int last = 0; last < 2 && (last == 0 || titles.size() > 1); ++last) {
            if (last) w->click("cmdSposta(3)"); // the last tip found is highlighted too
            QCOMPARE(box == title ? title->selectedText() : w->win->txtProcedura->textCursor().selectedText(),
                     expected);
            QVERIFY(expected.isEmpty() || QApplication::focusWidget() == box);
        }
    }

    void titleJumpWithDuplicateTitles() {
        w->click("cmdSposta(3)");
        QCOMPARE(w->items("cboTitoli").mid(2, 2), QStringList({"Ordinare", "Ordinare"}));
        w->win->cboTitoli->setCurrentIndex(3);
        emit w->win->cboTitoli->activated(3);
        // The first of the two in view order is reached.
        QCOMPARE(w->tip(), "Ordinare 3  di  8");
        QCOMPARE(QApplication::focusWidget(), w->win->txtProcedura);
        // While the program sets the lists, a pick does nothing.
        w->win->SuppressListEvents = true;
        w->pick("cboTitoli", "Zucchero");
        QCOMPARE(w->tip(), "Ordinare 3  di  8");
    }

    void keepReturnsToTheSameTip() {
        w->pick("cboFindCategoria", "Varie");
        w->click("cmdSposta(2)");
        QCOMPARE(w->tip(), "Zucchero 2  di  2");
        w->win->FillCategoryList(true);
        QCOMPARE(w->tip(), "Zucchero 8  di  8");
        QCOMPARE(w->win->cboFindCategoria->currentIndex(), 0);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
