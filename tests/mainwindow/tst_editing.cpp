// Adding, changing, deleting and abandoning tips in the main window, checked on screen and in
// the file read back through plain SQLite.
#include "EngineFixture.h"
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

// The three tips in edit mode.
bool openForEditing(ArchiveWindow& w) {
    return w.open(threeTips) && w.click("optWork(1)");
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
        const struct {
            QStringList values;
            QString message, focus;
        } steps[] = {
            {{"", "", "", ""}, "Digitare il titolo del Tip", "txtdb(0)"},
            {{"Nuovo", "", "", ""}, "Digitare la descrizione del Tip", "txtdb(1)"},
            {{"Nuovo", "testo", "", ""}, "Digitare una categoria da associare al Tip", "cboInsertCategoria"},
            {{"Nuovo", "testo", c30 + "c", ""}, tooLong.arg("Categoria").arg(30), "cboInsertCategoria"},
            // Measured as typed: 29 letters with blanks around are 31 characters.
            {{"Nuovo", "testo", " " + c30.left(29) + " ", ""},
             tooLong.arg("Categoria").arg(30),
             "cboInsertCategoria"},
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
        // 30 characters of category and 20 of search key are accepted.
        w.type("cboInsertKey", k20);
        w.click("cmdTool(1)");
        QCOMPARE(w.boxes.count(), 6);
        QVERIFY(browsing(w));
        QCOMPARE(w.stored(), threeRows + QStringList{"4|Nuovo|testo|" + c30 + "|" + k20 + "||<null>"});
    }

    void storedFieldsAreTrimmedOfBlanksOnly() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdTool(0)");
        w.fill({"   ", "  riga uno\n\triga due  ", " Nuova "});
        w.type("txtdb(4)", "  nota ");
        w.click("cmdTool(1)");
        QVERIFY(browsing(w));
        // A title of blanks passes the empty check and is stored as the empty text; an empty search
        // key is stored as the empty text, not Null; tabs and line breaks inside stay.
        QCOMPARE(w.stored(), threeRows + QStringList{"4||riga uno\n\triga due|Nuova||nota|<null>"});
        QCOMPARE(w.said(), QStringList());
    }

    void newTipIsShownLastAndEditedTipStays() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
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
        w.fill({"Zulu", "secondo corpo", "Grafica", ""});
        w.click("cmdTool(1)");
        QCOMPARE(w.tip(), "Zulu 2  di  4");
        QVERIFY(browsing(w));
        QCOMPARE(w.said(), QStringList());
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
        // Elimina and Modifica on an empty view only say so.
        for (const char* command : {"cmdTool(2)", "cmdTool(4)"}) {
            QVERIFY(w.click(command, {QMessageBox::Ok}));
            QCOMPARE(w.said().last(),
                     Box("Attenzione: il database è vuoto!\nPer iniziare ad inserire i dati, premere "
                         "il pulsante Nuovo.",
                         QMessageBox::Information));
            QVERIFY(browsing(w));
        }
        QCOMPARE(w.boxes.unexpected(), 0);
        QCOMPARE(w.stored(), QStringList());
    }

    void cancelReturnsToTheFormerTip() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdSposta(2)");
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"}) {
            w.click(command);
            w.fill({"Da buttare", "mai salvato", "Altra", "altra"});
            w.click("cmdTool(3)");
            QCOMPARE(w.tip(), "Delta 2  di  3");
            QCOMPARE(w.boxText(1) + w.boxText(2) + w.boxText(3), "secondo corpoGraficaSort");
            QVERIFY(browsing(w));
        }
        QCOMPARE(w.said(), QStringList());
        QCOMPARE(w.stored(), threeRows);
    }

    void completionInBothLists() {
        ArchiveWindow w;
        QVERIFY(openForEditing(w));
        w.click("cmdTool(0)");
        QComboBox* cat = w.win->cboInsertCategoria;
        QComboBox* key = w.win->cboInsertKey;
        QCOMPARE(key->count(), 2); // empty keys are not offered
        // Each key: the text shown and the completed part selected.
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
        QCOMPARE(w.said(), QStringList());
        QCOMPARE(w.stored().last(), "4|Completato|testo|Delphi|SQ||<null>");
    }

    // Leaving a pending change by closing the window discards it: nothing half-written reaches the file.
    void closingTheWindowDiscardsAPendingChange_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("how");
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"}) {
            QTest::addRow("%s, Esc", command) << command << 0;
            QTest::addRow("%s, cmdClose", command) << command << 1;
            QTest::addRow("%s, close box", command) << command << 2;
        }
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
        QCOMPARE(w.said(), QStringList());
        QCOMPARE(w.stored(), threeRows);
    }

    // The engine refuses AddNew and Edit on a read-only archive: each refusal is reported and the
    // window stays or returns to browsing the stored tip.
    void refusedNewAndEditAreReported() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips, {QMessageBox::Ok}, true));
        w.win->optWork_Click(1); // the panel as it would be shown on a writable archive
        auto refused = [](long number) {
            return Box(QString("Errore numero: %1\n").arg(number) + qn::errorDescription(number),
                       QMessageBox::Critical);
        };
        QVERIFY(w.click("cmdTool(0)", {QMessageBox::Ok}));
        QCOMPARE(w.said().last(), refused(qn::err::ReadOnly));
        QCOMPARE(w.tip(), "Bravo 1  di  3");
        QVERIFY(browsing(w));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        // Modifica skips the refused Edit: Salva finds nothing to store, and Annulla still leads back.
        w.click("cmdTool(4)");
        w.type("txtdb(0)", "Vietato");
        QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
        QCOMPARE(w.said().last(), refused(qn::err::UpdateWithoutEdit));
        w.click("cmdTool(3)");
        QCOMPARE(w.tip(), "Bravo 1  di  3");
        QVERIFY(browsing(w));
        QCOMPARE(w.boxes.count(), 3);
        QCOMPARE(w.stored(), threeRows);
    }

    // A store the file rejects is reported; the tip stays being added, and Annulla drops it.
    void refusedStoreKeepsTheTipBeingAdded() {
        ArchiveWindow w;
        QVERIFY(TestArchive::CreateTips(w.path, threeTips));
        QCOMPARE(EngineFixture::rawExec(w.path, "CREATE TRIGGER refuse BEFORE INSERT ON TipsTable "
                                                "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"),
                 0);
        w.load();
        w.click("optWork(1)");
        w.click("cmdTool(0)");
        w.fill({"Respinto", "corpo", "Nuova"});
        w.type("txtdb(4)", QString(55, 'n'));
        QCOMPARE(w.boxText(4).size(), 50); // the note box takes no more than the field holds
        QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
        QVERIFY(w.said().last().startsWith(Box("Errore numero: ", QMessageBox::Critical)));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditAdd));
        QVERIFY(w.win->cmdTool[1]->isEnabled() && !w.win->cmdSposta[2]->isEnabled());
        QCOMPARE(w.boxText(0), "Respinto");
        w.click("cmdTool(3)");
        QVERIFY(browsing(w));
        QCOMPARE(w.tip(), "Bravo 1  di  3");
        QCOMPARE(w.boxes.count(), 1);
        QCOMPARE(w.stored(), threeRows);
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
