// The search panel: search types and their panel states, the lists, the filters with their
// quoting and wildcards, the bookmark and title jumps and the return to the same tip.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

class TestSearch : public QObject {
    Q_OBJECT
    std::unique_ptr<ArchiveWindow> w;

    QString titles() const { return w->items("cboTitoli").join(','); }

private slots:
    // Three categories (one with an apostrophe, one empty, one Null), keys, bookmarks, a repeated title.
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

    // Every search type, from a filtered view with a word typed, starts again from the whole table:
    // the controls shown, the description, whether the titles are listed.
    void searchTypesSetThePanel() {
        const QString word = "txtFindTxt,cmdSearch|Digita la parola da ricercare|8";
        const QList<std::pair<QString, QString>> types = {
            {"Categoria", "cboFindCategoria|Seleziona la categoria da ricercare|8"},
            {"ChiaveRicerca", "cboGenericFind|Seleziona la chiave da ricercare|0"},
            {"Procedura", word},
            {"Titolo", word},
            {"Bookmark", "cboGenericFind|Seleziona il bookmark da visualizzare|0"}};
        for (const auto& [type, expected] : types) {
            w->pick("cboFindCategoria", "File");
            w->win->txtFindTxt->setText("resto");
            w->pick("cboSelectResearch", type);
            QStringList shown;
            for (const char* name : {"cboFindCategoria", "cboGenericFind", "txtFindTxt", "cmdSearch"})
                if (w->widget(name)->isVisibleTo(w->win->picSearch)) shown << name;
            QCOMPARE(shown.join(',') + '|' + w->win->lblSearchDescription->text() + '|' +
                         QString::number(w->items("cboTitoli").size()) + w->win->txtFindTxt->text() +
                         w->counter(),
                     expected + "1  di  8");
            QCOMPARE(w->win->cboTitoli->isEnabled(), expected.endsWith('8'));
        }
    }

    void listFiltersQuoteTheirValues() {
        // Sorted groups; the Null group is left out, the empty category is an entry of its own.
        QCOMPARE(w->items("cboFindCategoria"),
                 QStringList({"[Tutte le categorie]", "", "File", "L'arte", "Varie"}));
        w->pick("cboFindCategoria", "L'arte");
        QCOMPARE(titles() + w->counter(), "Dell'ordine,Ordinare1  di  2");
        w->pick("cboFindCategoria", ""); // one tip: its title is listed, but the list offers no choice
        QCOMPARE(w->tip() + '|' + titles(), "Vuota 1  di  1|Vuota");
        QVERIFY(!w->win->cboTitoli->isEnabled());
        w->pick("cboFindCategoria", "[Tutte le categorie]");
        QCOMPARE(w->counter(), "1  di  8");
        // Distinct keys, without Null and empty ones; nothing picked yet.
        w->pick("cboSelectResearch", "ChiaveRicerca");
        QCOMPARE(w->items("cboGenericFind").join(',') + w->win->cboGenericFind->currentText(),
                 "dolce,io,nulla,sort");
        w->pick("cboGenericFind", "io");
        QCOMPARE(w->tip() + '|' + titles(), "Leggere un file 1  di  2|Leggere un file,Scrivere un file");
    }

    void bookmarkJump() {
        w->pick("cboSelectResearch", "Bookmark");
        QCOMPARE(w->items("cboGenericFind").join(','), "Leggere un file,Ordinare,Zucchero");
        // Of the two "Ordinare" the first in view order is reached; the title list stays empty.
        w->pick("cboGenericFind", "Ordinare");
        QCOMPARE(w->tip() + titles(), "Ordinare 3  di  8");
        // A tip retitled after the list was filled is reported and the position restored.
        w->click("cmdSposta(3)");
        GenericBas::TipsDatabase->Execute("UPDATE TipsTable SET [Titolo]='Miele' WHERE [Titolo]='Zucchero'");
        QVERIFY(w->pick("cboGenericFind", "Zucchero", {QMessageBox::Ok}));
        QCOMPARE(w->said(), QStringList{Box("Segnalibro non trovato.", QMessageBox::Information)});
        QCOMPARE(GenericBas::TipsRecordset->AbsolutePosition(), 7L);
        // Without marked tips the list stays empty.
        GenericBas::TipsDatabase->Execute("UPDATE TipsTable SET [Bookmark]=0");
        w->pick("cboSelectResearch", "Categoria");
        QVERIFY(w->pick("cboSelectResearch", "Bookmark", {QMessageBox::Ok}));
        QCOMPARE(w->said().last(), Box("Nessun record trovato", QMessageBox::Information));
        QCOMPARE(w->items("cboGenericFind").join(',') + w->counter(), "1  di  8");
    }

    // A word found is selected in its box, with the focus, on every tip found; an empty
    // word or one not found is reported and the whole table stays.
    void wordSearch_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("found");    // the titles; none: the whole table after a message
        QTest::addColumn<QString>("expected"); // the selected text, or the message
        const QString files = "Leggere un file,Scrivere un file";
        const QList<std::array<QString, 5>> rows = {
            {"title, any case, blanks", "Titolo", "  FILE ", files, "file"},
            {"title with a quote", "Titolo", "dell'", "Dell'ordine", "Dell'"},
            {"procedure", "Procedura", "apri", files, "Apri"},
            {"blanks: every procedure with a value", "Procedura", "   ",
             "Dell'ordine,Leggere un file,Ordinare,Ordinare,Scrivere un file,Senza categoria,Zucchero", ""},
            {"no word", "Titolo", "", "", Box("Digitare la stringa da ricercare.", QMessageBox::Warning)},
            {"not found", "Procedura", "inesistente", "",
             Box("Nessun record trovato.", QMessageBox::Information)}};
        for (const auto& [name, type, word, found, expected] : rows)
            QTest::newRow(qPrintable(name)) << type << word << found << expected;
    }
    void wordSearch() {
        QFETCH(QString, type);
        QFETCH(QString, word);
        QFETCH(QString, found);
        QFETCH(QString, expected);
        w->pick("cboSelectResearch", type);
        QTest::keyClicks(w->win->txtFindTxt, word);
        // Enter in the box (words of even length) does what cmdSearch does.
        QVERIFY(w->answering(Answers(found.isEmpty(), QMessageBox::Ok), [&] {
            word.size() % 2 ? QTest::mouseClick(w->win->cmdSearch, Qt::LeftButton)
                            : QTest::keyClick(w->win->txtFindTxt, Qt::Key_Return);
        }));
        QCOMPARE(w->said(), found.isEmpty() ? QStringList{expected} : QStringList());
        QCOMPARE(w->counter(), QString("1  di  %1").arg(found.isEmpty() ? 8 : found.count(',') + 1));
        if (found.isEmpty()) return;
        QCOMPARE(titles(), found);
        QLineEdit* title = w->win->txtLine[0];
        QWidget* box = type == "Titolo" ? title : static_cast<QWidget*>(w->win->txtProcedura);
        for (const char* step : {"", "cmdSposta(3)"}) { // the first tip found and the last
            if (*step && !found.contains(',')) break;
            if (*step) w->click(step);
            QCOMPARE(box == title ? title->selectedText() : w->win->txtProcedura->textCursor().selectedText(),
                     expected);
            QVERIFY(expected.isEmpty() || QApplication::focusWidget() == box);
        }
    }

    void titleJumpAndReturnToTheSameTip() {
        w->click("cmdSposta(3)");
        QCOMPARE(w->items("cboTitoli").mid(2, 2), QStringList({"Ordinare", "Ordinare"}));
        w->win->cboTitoli->setCurrentIndex(3);
        emit w->win->cboTitoli->activated(3);
        QCOMPARE(w->tip(), "Ordinare 3  di  8"); // the first of the two in view order
        QCOMPARE(QApplication::focusWidget(), w->win->txtProcedura);
        // Refilled keeping the tip, the category list leaves the filter and the same tip is shown.
        w->pick("cboFindCategoria", "Varie");
        w->click("cmdSposta(2)");
        QCOMPARE(w->tip(), "Zucchero 2  di  2");
        w->win->FillCategoryList(true);
        QCOMPARE(w->tip() + w->win->cboFindCategoria->currentText(), "Zucchero 8  di  8[Tutte le categorie]");
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
