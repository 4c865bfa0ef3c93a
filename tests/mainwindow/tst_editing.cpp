// Adding, changing, deleting and abandoning tips, the switch between view and edit mode, and the
// bookmarks, checked on screen and in the file read back through plain SQLite.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

const QList<Tip> threeTips = {{"Bravo", "primo corpo", "Database", "SQL", "nota b"},
                              {"Delta", "secondo corpo", "Grafica", "Sort", "nota d"},
                              {"Foxtrot", "terzo corpo", "Delphi", "", ""}};
const QStringList threeRows = {"1|Bravo|primo corpo|Database|SQL|nota b|<null>",
                               "2|Delta|secondo corpo|Grafica|Sort|nota d|<null>",
                               "3|Foxtrot|terzo corpo|Delphi|||<null>"};

// The window browsing: Nuovo, Elimina and Modifica on, Salva and Annulla off, navigation on, fields locked.
bool browsing(const ArchiveWindow& w) {
    const auto& tool = w.win->cmdTool;
    return tool[0]->isEnabled() && tool[2]->isEnabled() && tool[4]->isEnabled() && !tool[1]->isEnabled() &&
           !tool[3]->isEnabled() && w.win->cmdSposta[2]->isEnabled() &&
           !w.win->cboInsertCategoria->isVisible() && w.win->txtLine[0]->isReadOnly();
}

// "edit" or "view" when the option buttons and both panels agree on it.
QString mode(const ArchiveWindow& w) {
    const bool edit = w.win->picWorkButton->isVisible();
    if (edit == w.win->picSearch->isVisible() || edit != w.win->optWork[1]->isChecked()) return "mixed";
    return edit ? "edit" : "view";
}

// The three tips in edit mode.
bool openForEditing(ArchiveWindow& w) {
    return w.open(threeTips) && w.click("optWork(1)");
}

// The report of an engine error.
QString engineError(long number) {
    return Box(QString("Errore numero: %1\n").arg(number) + qn::errorDescription(number),
               QMessageBox::Critical);
}

const QList<Tip> marked = {{"Alfa", "uno", "Grafica"},
                           {"Bravo", "due", "Varie", {}, {}, 0},
                           {"Charlie", "tre", "Grafica", {}, {}, 1}};
const QString Add = Box("Vuoi aggiungere un segnalibro al record corrente?", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
const QString Remove = Box("Vuoi eliminare il segnalibro associato al record corrente?",
                           QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);

// Clicks cmdBookmark and answers the question; the question and whether the mark is shown afterwards.
QString toggle(ArchiveWindow& w, QMessageBox::StandardButton answer) {
    if (!w.click("cmdBookmark", {answer})) return "no question";
    return w.said().last() + (w.win->imgBookmark->isVisible() ? " *" : " -");
}

// The Bookmark column of the stored rows, by key.
QStringList marks(ArchiveWindow& w) {
    QStringList out;
    for (const QString& row : w.stored())
        out << row.section('|', 6);
    return out;
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void validationRefusesInOrderWithFocus() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdTool(0)");
        QCOMPARE(w.win->cboInsertCategoria->currentText(), QString());
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        const QString c30(30, 'c'), k20(20, 'k');
        const QString tooLong = "La lunghezza max consentita per il campo\n%1 è di %2 caratteri.";
        const QString catTooLong = tooLong.arg("Categoria").arg(30);
        const struct {
            QStringList values;
            QString message, focus;
        } steps[] = {
            {{"", "", "", ""}, "Digitare il titolo del Tip", "txtdb(0)"},
            {{"Nuovo", "", "", ""}, "Digitare la descrizione del Tip", "txtdb(1)"},
            {{"Nuovo", "testo", "", ""}, "Digitare una categoria da associare al Tip", "cboInsertCategoria"},
            {{"Nuovo", "testo", c30 + "c", ""}, catTooLong, "cboInsertCategoria"},
            // Measured as typed: 29 letters with blanks around are 31 characters.
            {{"Nuovo", "testo", " " + c30.left(29) + " ", ""}, catTooLong, "cboInsertCategoria"},
            {{"Nuovo", "testo", c30, k20 + "k"}, tooLong.arg("ChiaveRicerca").arg(20), "cboInsertKey"},
        };
        for (const auto& step : steps) {
            w.fill(step.values);
            w.widget("txtdb(4)")->setFocus();
            QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
            QCOMPARE(w.said().last(), Box(step.message, QMessageBox::Warning));
            QCOMPARE(w.win->focusWidget(), w.widget(step.focus));
            QVERIFY(w.win->cmdTool[1]->isEnabled()); // still adding
        }
        // 30 characters of category and 20 of search key are accepted. A title of blanks passes the
        // empty check and is stored as the empty text; only blanks around are trimmed.
        w.fill({"   ", "  riga uno\n\triga due  ", c30, k20});
        w.type("txtdb(4)", "  nota ");
        w.click("cmdTool(1)");
        QVERIFY(browsing(w));
        QCOMPARE(w.stored(),
                 threeRows + QStringList{"4||riga uno\n\triga due|" + c30 + "|" + k20 + "|nota|<null>"});
    }

    void newTipIsShownLastAndEditedTipStays() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        // Annulla after Nuovo or Modifica returns to the former tip with its stored values.
        w.click("cmdSposta(2)");
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"}) {
            w.click(command);
            w.fill({"Da buttare", "mai salvato", "Altra", "altra"});
            w.click("cmdTool(3)");
            QCOMPARE(w.tip(), "Delta 2  di  3");
            QCOMPARE(w.boxText(1) + w.boxText(2) + w.boxText(3), "secondo corpoGraficaSort");
            QVERIFY(browsing(w));
        }
        w.click("cmdTool(0)");
        w.fill({"Alfa", "nuovo corpo", "Nuovissima"}); // first in title order, yet shown at the end
        w.click("cmdTool(1)");
        QCOMPARE(w.tip(), "Alfa 4  di  4");
        QCOMPARE(w.items("cboTitoli"), QStringList({"Alfa", "Bravo", "Delta", "Foxtrot"}));
        QVERIFY(browsing(w));
        // Changing the second tip: the lists come up with its category and key; browsing is off.
        w.click("cmdSposta(0)");
        w.click("cmdSposta(2)");
        w.click("cmdTool(4)");
        QCOMPARE(w.win->cboInsertCategoria->currentText() + w.win->cboInsertKey->currentText(),
                 "GraficaSort");
        QVERIFY(!w.win->txtLine[0]->isReadOnly());
        for (const char* off : {"cmdSposta(2)", "cboTitoli", "cmdBookmark"})
            QVERIFY2(!w.widget(off)->isEnabled(), off);
        w.fill({"Zulu", "secondo corpo", "Grafica", ""}); // an empty key is stored as the empty text
        w.click("cmdTool(1)");
        QCOMPARE(w.tip(), "Zulu 2  di  4");
        QVERIFY(browsing(w));
        QCOMPARE(w.stored(), QStringList({threeRows[0], "2|Zulu|secondo corpo|Grafica||nota d|<null>",
                                          threeRows[2], "4|Alfa|nuovo corpo|Nuovissima|||<null>"}));
    }

    void deleteMiddleLastAndOnly() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdSposta(2)");
        // No keeps everything; the question offers Yes first.
        QVERIFY(w.click("cmdTool(2)", {QMessageBox::No}));
        QCOMPARE(w.said().last(), Box("Sei sicuro di voler eliminare il record corrente?",
                                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(w.boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(w.tip(), "Delta 2  di  3");
        // The middle tip: the next one is shown; the last: the new last one; the only one: the empty state.
        for (const QString shown : {"Foxtrot 2  di  2", "Bravo 1  di  1", " 0  di  0"}) {
            QVERIFY(w.click("cmdTool(2)", {QMessageBox::Yes}));
            QCOMPARE(w.tip(), shown);
            QCOMPARE(w.items("cboTitoli").size(), shown.back().digitValue()); // as many as the view holds
        }
        QCOMPARE(w.items("cboGenericFind"), QStringList());
        QCOMPARE(w.boxText(1) + w.boxText(2) + w.boxText(3) + w.boxText(4), QString());
        QVERIFY(!w.win->imgBookmark->isVisible());
        // Elimina, Modifica and the bookmark on an empty view only say so.
        const QString empty =
            Box("Attenzione: il database è vuoto!\nPer iniziare ad inserire i dati, premere il "
                "pulsante Nuovo.",
                QMessageBox::Information);
        for (const char* command : {"cmdTool(2)", "cmdTool(4)", "cmdBookmark"}) {
            QVERIFY(w.click(command, {QMessageBox::Ok}));
            QCOMPARE(w.said().last(),
                     command[3] == 'B' ? Box("Database vuoto!", QMessageBox::Warning) : empty);
            QVERIFY(browsing(w));
        }
        QCOMPARE(w.stored(), QStringList());
    }

    void completionInBothLists() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdTool(0)");
        QComboBox* cat = w.win->cboInsertCategoria;
        QComboBox* key = w.win->cboInsertKey;
        QCOMPARE(key->count(), 2); // empty keys are not offered
        // After each key: the text shown and the completed part selected.
        auto shows = [](QComboBox* c) { return c->currentText() + '|' + c->lineEdit()->selectedText(); };
        QTest::keyClicks(cat, "gR"); // other letter case: the entry's own text
        QCOMPARE(shows(cat), "Grafica|afica");
        cat->clearEditText();
        QTest::keyClicks(cat, "d"); // completes again from the top of the list
        QCOMPARE(shows(cat), "Database|atabase");
        QTest::keyClicks(cat, "E");
        QCOMPARE(shows(cat), "Delphi|lphi");
        QTest::keyClicks(cat, "x"); // no entry goes on so: simply typed over the selection
        QCOMPARE(shows(cat), "Dex|");
        QTest::keyClick(cat, Qt::Key_Backspace);
        QCOMPARE(shows(cat), "De|");
        QTest::keyClicks(key, "sq");
        QCOMPARE(shows(key), "SQL|L");
        QTest::keyClick(key, Qt::Key_Backspace); // removes the selected completion
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(shows(key), "SQ|");
        QCOMPARE(key->count(), 2);
        w.fill({"Completato", "testo"});
        cat->clearEditText();
        QTest::keyClicks(cat, "DEL");
        w.click("cmdTool(1)");
        QCOMPARE(w.stored().last(), "4|Completato|testo|Delphi|SQ||<null>");
    }

    // Leaving a pending change by closing the window discards it: nothing half-written reaches the file.
    void closingTheWindowDiscardsAPendingChange_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("how");
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"})
            for (int how : {0, 1, 2})
                QTest::addRow("%s, %s", command, how ? how == 1 ? "cmdClose" : "close box" : "Esc")
                    << command << how;
    }
    void closingTheWindowDiscardsAPendingChange() {
        QFETCH(QString, command);
        QFETCH(int, how);
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click(command);
        w.fill({"Mezzo scritto", "mai confermato", "Nessuna"});
        if (how == 0) QTest::keyClick(w.widget("txtdb(0)"), Qt::Key_Escape);
        if (how == 1) w.click("cmdClose");
        if (how == 2) w.win->close();
        QVERIFY(!w.win->isVisible());
        QCOMPARE(w.stored(), threeRows);
    }

    // On a read-only archive the engine refuses every change: each refusal is reported (the mark's
    // is not) and the window stays on, or returns to, the stored tip.
    void refusalsOnAReadOnlyArchive() {
        ArchiveWindow w;
        QVERIFY(w.open(marked, {QMessageBox::Ok}, "chmod a-w"));
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton); // refused: no edit mode
        QCOMPARE(mode(w), "view");
        w.click("cmdSposta(3)");
        w.boxes.arm(QMessageBox::Yes);
        w.win->cmdBookmark_Click(); // the button is disabled here
        QCOMPARE(w.said().last() + (w.win->imgBookmark->isVisible() ? " *" : " -"), Remove + " *");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(GenericBas::TipsRecordset->Fields("Bookmark").Value().toInt(), 1);
        w.click("cmdSposta(0)");
        w.win->optWork_Click(1); // the panel as it would be shown on a writable archive
        QVERIFY(w.click("cmdTool(0)", {QMessageBox::Ok}));
        QCOMPARE(w.said().last(), engineError(qn::err::ReadOnly));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QVERIFY(browsing(w));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        // Modifica skips the refused Edit: Salva finds nothing to store, and Annulla still leads back.
        w.click("cmdTool(4)");
        w.type("txtdb(0)", "Vietato");
        QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
        QCOMPARE(w.said().last(), engineError(qn::err::UpdateWithoutEdit));
        w.click("cmdTool(3)");
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QVERIFY(browsing(w));
        QCOMPARE(marks(w), QStringList({"<null>", "0", "1"}));
    }

    // A store the file rejects is reported; the tip stays being added, and Annulla drops it. A mark
    // the file rejects leaves record and image as they were.
    void refusalsByTheFile() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips, {},
                       "CREATE TRIGGER a BEFORE INSERT ON TipsTable BEGIN SELECT RAISE(ABORT, 'no'); END;"
                       "CREATE TRIGGER b BEFORE UPDATE ON TipsTable BEGIN SELECT RAISE(ABORT, 'no'); END"));
        QVERIFY(w.click("optWork(1)") && w.click("cmdTool(0)"));
        w.fill({"Respinto", "corpo", "Nuova"});
        QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
        QVERIFY(w.said().last().startsWith(Box("Errore numero: ", QMessageBox::Critical)));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditAdd));
        QVERIFY(w.win->cmdTool[1]->isEnabled() && !w.win->cmdSposta[2]->isEnabled());
        w.click("cmdTool(3)");
        QVERIFY(browsing(w));
        QCOMPARE(w.tip(), "Bravo 1  di  3");
        QCOMPARE(toggle(w, QMessageBox::Yes), Add + " -");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(w.stored(), threeRows);
    }

    void modeSwitchesStayOnTheTip() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips + QList<Tip>{{"Echo", "e", "Grafica"}}));
        QCOMPARE(mode(w), "view");
        w.pick("cboFindCategoria", "Grafica");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Echo 2  di  2");
        w.click("optWork(1)");
        QCOMPARE(mode(w), "edit");
        QCOMPARE(w.tip(), "Echo 3  di  4"); // all tips again, on the same one
        QCOMPARE(w.items("cboTitoli").size(), 4);
        QCOMPARE(w.win->focusWidget(), w.win->cmdTool[0]);
        // Back to view mode: the search type is reset to "Categoria", the arrow is left alone.
        w.click("optWork(0)");
        QCOMPARE(mode(w), "view");
        QCOMPARE(w.win->lblSearchDescription->text(), "Seleziona la categoria da ricercare");
        QVERIFY(w.win->cboFindCategoria->isVisible() && !w.win->SuppressArrowAnimation);
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        // The counter's double-click switches too, but not while a tip is being added; the option
        // button then drops the new tip without asking.
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(w), "edit");
        w.click("cmdTool(0)");
        w.fill({"Mai salvato", "corpo", "Nuova"});
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(w) == "edit" && w.win->cmdTool[1]->isEnabled());
        w.click("optWork(0)");
        QCOMPARE(mode(w), "view");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QVERIFY(!w.win->cboInsertCategoria->isVisible() && w.win->cmdSposta[0]->isEnabled());
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(w) == "edit" && browsing(w)); // edit mode again finds the panel browsing
        QCOMPARE(w.stored(), threeRows + QStringList{"4|Echo|e|Grafica|<null>|<null>|<null>"});
    }

    void addAndRemoveMarks() {
        ArchiveWindow w;
        QVERIFY(w.open(marked, {}, "UPDATE TipsTable SET Bookmark = 7 WHERE KeyPrimary = 2"));
        QCOMPARE(toggle(w, QMessageBox::No), Add + " -"); // a Null mark: No leaves it Null
        QCOMPARE(w.boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(toggle(w, QMessageBox::Yes), Add + " *");
        QCOMPARE(w.win->focusWidget(), w.win->cmdSposta[2]);
        // A value another program wrote counts as set, though only 1 shows the image.
        w.click("cmdSposta(2)");
        QVERIFY(!w.win->imgBookmark->isVisible());
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -");
        w.click("cmdSposta(2)");
        QCOMPARE(toggle(w, QMessageBox::No), Remove + " *");
        // Under a filter the view stays; the first tip's stored 1 asks the removal.
        w.pick("cboFindCategoria", "Grafica");
        w.click("cmdSposta(2)");
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -");
        QCOMPARE(toggle(w, QMessageBox::Yes), Add + " *");
        QCOMPARE(w.tip(), "Charlie 2  di  2");
        w.click("cmdSposta(1)");
        QCOMPARE(toggle(w, QMessageBox::Yes), Remove + " -");
        QCOMPARE(w.tip(), "Alfa 1  di  2");
        QCOMPARE(marks(w), QStringList({"0", "0", "1"}));
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
