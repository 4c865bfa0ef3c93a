// Adding, changing, deleting and abandoning tips, the switch between view and edit mode, and the
// bookmarks, checked on screen and in the file read back through plain SQLite.
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>
#include <random>

namespace {

// Marks: Null, 0 and 1.
const QList<Tip> threeTips = {{"Bravo", "primo corpo", "Database", "SQL", "nota b"},
                              {"Delta", "secondo corpo", "Grafica", "Sort", "nota d", 0},
                              {"Foxtrot", "terzo corpo", "Delphi", "", "", 1}};
const QStringList threeRows = {"1|Bravo|primo corpo|Database|SQL|nota b|<null>",
                               "2|Delta|secondo corpo|Grafica|Sort|nota d|0",
                               "3|Foxtrot|terzo corpo|Delphi|||1"};
const QString Add = Box("Vuoi aggiungere un segnalibro al record corrente?", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
const QString Remove = Box("Vuoi eliminare il segnalibro associato al record corrente?",
                           QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);

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

QString engineError(long number) {
    return Box(QString("Errore numero: %1\n").arg(number) + qn::errorDescription(number),
               QMessageBox::Critical);
}

// The title list a default view opened now gives: what the list held when it was read anew after
// every save and delete.
QStringList freshTitles() {
    QStringList out;
    auto rs = GenericBas::TipsDatabase->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
    for (; !rs->IsEOF(); rs->MoveNext())
        if (const QVariant t = rs->Fields("Titolo").Value(); t.isValid()) out << t.toString();
    return out;
}

// Clicks cmdBookmark and answers the question; the question and whether the mark is shown afterwards.
QString toggle(ArchiveWindow& w, QMessageBox::StandardButton answer) {
    if (!w.click("cmdBookmark", {answer})) return "no question";
    return w.said().last() + (w.win->imgBookmark->isVisible() ? " *" : " -");
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT
    std::unique_ptr<ArchiveWindow> w;

private slots:
    void init() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(threeTips));
    }
    void cleanup() { w.reset(); }

    void validationRefusesInOrderWithFocus() {
        QVERIFY(w->click("optWork(1)") && w->click("cmdTool(0)"));
        QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
        const QString c30(30, 'c'), k20(20, 'k');
        const QString tooLong = "La lunghezza max consentita per il campo\n%1 è di %2 caratteri.";
        const QString catTooLong = tooLong.arg("Categoria").arg(30);
        const QList<std::tuple<QStringList, QString, QString>> steps = {
            {{"", "", "", ""}, "Digitare il titolo del Tip", "txtdb(0)"},
            {{"Nuovo", "", "", ""}, "Digitare la descrizione del Tip", "txtdb(1)"},
            {{"Nuovo", "testo", "", ""}, "Digitare una categoria da associare al Tip", "cboInsertCategoria"},
            {{"Nuovo", "testo", c30 + "c", ""}, catTooLong, "cboInsertCategoria"},
            // Measured as typed: 29 letters with blanks around are 31 characters.
            {{"Nuovo", "testo", " " + c30.left(29) + " ", ""}, catTooLong, "cboInsertCategoria"},
            {{"Nuovo", "testo", c30, k20 + "k"}, tooLong.arg("ChiaveRicerca").arg(20), "cboInsertKey"},
        };
        for (const auto& [values, message, focus] : steps) {
            w->fill(values);
            w->widget("txtdb(4)")->setFocus();
            QVERIFY(w->click("cmdTool(1)", {QMessageBox::Ok}));
            QCOMPARE(w->said().last(), Box(message, QMessageBox::Warning));
            QCOMPARE(w->win->focusWidget(), w->widget(focus));
            QVERIFY(w->win->cmdTool[1]->isEnabled()); // still adding
        }
        // 30 characters of category and 20 of search key are accepted. A title of blanks passes the
        // empty check and is stored as the empty text; only blanks around are trimmed.
        w->fill({"   ", "  riga uno\n\triga due  ", c30, k20});
        w->type("txtdb(4)", "  nota ");
        w->click("cmdTool(1)");
        QVERIFY(browsing(*w));
        QCOMPARE(w->stored(),
                 threeRows + QStringList{"4||riga uno\n\triga due|" + c30 + "|" + k20 + "|nota|<null>"});
    }

    void newTipIsShownLastAndEditedTipStays() {
        QVERIFY(w->click("optWork(1)") && w->click("cmdSposta(2)"));
        // Annulla after Nuovo or Modifica returns to the former tip with its stored values.
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"}) {
            w->click(command);
            w->fill({"Da buttare", "mai salvato", "Altra", "altra"});
            w->click("cmdTool(3)");
            QCOMPARE(w->tip(), "Delta 2  di  3");
            QCOMPARE(w->boxText(1) + w->boxText(2) + w->boxText(3), "secondo corpoGraficaSort");
            QVERIFY(browsing(*w));
        }
        w->click("cmdTool(0)");
        w->fill({"Alfa", "nuovo corpo", "Nuovissima"}); // first in title order, yet shown at the end
        w->click("cmdTool(1)");
        QCOMPARE(w->tip(), "Alfa 4  di  4");
        QCOMPARE(w->items("cboTitoli"), QStringList({"Alfa", "Bravo", "Delta", "Foxtrot"}));
        // Changing the second tip: the lists come up with its category and key; browsing is off.
        QVERIFY(w->click("cmdSposta(0)") && w->click("cmdSposta(2)") && w->click("cmdTool(4)"));
        QCOMPARE(w->win->cboInsertCategoria->currentText() + w->win->cboInsertKey->currentText(),
                 "GraficaSort");
        for (const char* off : {"cmdSposta(2)", "cboTitoli", "cmdBookmark"})
            QVERIFY2(!w->widget(off)->isEnabled(), off);
        w->fill({"Zulu", "secondo corpo", "Grafica", ""}); // an empty key is stored as the empty text
        w->click("cmdTool(1)");
        QCOMPARE(w->tip(), "Zulu 2  di  4");
        QVERIFY(browsing(*w));
        QCOMPARE(w->stored(), QStringList({threeRows[0], "2|Zulu|secondo corpo|Grafica||nota d|0",
                                           threeRows[2], "4|Alfa|nuovo corpo|Nuovissima|||<null>"}));
    }

    void deleteMiddleLastAndOnly() {
        QVERIFY(w->click("optWork(1)") && w->click("cmdSposta(2)"));
        // No keeps everything; the question offers Yes first.
        QVERIFY(w->click("cmdTool(2)", {QMessageBox::No}));
        QCOMPARE(w->said().last(), Box("Sei sicuro di voler eliminare il record corrente?",
                                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(w->boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(w->tip(), "Delta 2  di  3");
        // The middle tip: the next one is shown; the last: the new last one; the only one: the empty state.
        for (const QString shown : {"Foxtrot 2  di  2", "Bravo 1  di  1", " 0  di  0"}) {
            QVERIFY(w->click("cmdTool(2)", {QMessageBox::Yes}));
            QCOMPARE(w->tip(), shown);
            QCOMPARE(w->items("cboTitoli").size(), shown.back().digitValue()); // as many as the view holds
        }
        QCOMPARE(w->items("cboGenericFind"), QStringList());
        QCOMPARE(w->boxText(1) + w->boxText(2) + w->boxText(3) + w->boxText(4), QString());
        QVERIFY(!w->win->imgBookmark->isVisible());
        // Elimina, Modifica and the bookmark on an empty view only say so.
        const QString empty =
            Box("Attenzione: il database è vuoto!\nPer iniziare ad inserire i dati, premere il "
                "pulsante Nuovo.",
                QMessageBox::Information);
        for (const char* command : {"cmdTool(2)", "cmdTool(4)", "cmdBookmark"}) {
            QVERIFY(w->click(command, {QMessageBox::Ok}));
            QCOMPARE(w->said().last(),
                     command[3] == 'B' ? Box("Database vuoto!", QMessageBox::Warning) : empty);
            QVERIFY(browsing(*w));
        }
        QCOMPARE(w->stored(), QStringList());
    }

    void completionInBothLists() {
        QVERIFY(w->click("optWork(1)") && w->click("cmdTool(0)"));
        QComboBox* cat = w->win->cboInsertCategoria;
        QComboBox* key = w->win->cboInsertKey;
        QCOMPARE(key->count(), 2); // empty keys are not offered
        // After each key: the text shown and the completed part selected.
        auto shows = [](QComboBox* c) { return c->currentText() + '|' + c->lineEdit()->selectedText(); };
        QTest::keyClicks(cat, "gR"); // other letter case: the entry's own text
        QCOMPARE(shows(cat), "Grafica|afica");
        cat->clearEditText();
        QTest::keyClicks(cat, "dE"); // completes again from the top of the list
        QCOMPARE(shows(cat), "Delphi|lphi");
        QTest::keyClicks(cat, "x"); // no entry goes on so: simply typed over the selection
        QCOMPARE(shows(cat), "Dex|");
        QTest::keyClick(cat, Qt::Key_Backspace);
        QCOMPARE(shows(cat), "De|");
        QTest::keyClicks(key, "sq");
        QCOMPARE(shows(key), "SQL|L");
        QTest::keyClick(key, Qt::Key_Backspace); // removes the selected completion
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(shows(key) + QString::number(key->count()), "SQ|2");
        w->fill({"Completato", "testo"});
        cat->clearEditText();
        QTest::keyClicks(cat, "DEL");
        w->click("cmdTool(1)");
        QCOMPARE(w->stored().last(), "4|Completato|testo|Delphi|SQ||<null>");
    }

    // Leaving a pending change by closing the window discards it: nothing half-written reaches the file.
    void closingTheWindowDiscardsAPendingChange_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("how");
        static const QString ways[] = {"Esc", "cmdClose", "close box"};
        for (const QString command : {"cmdTool(0)", "cmdTool(4)"})
            for (int how : {0, 1, 2})
                QTest::newRow(qPrintable(command + ", " + ways[how])) << command << how;
    }
    void closingTheWindowDiscardsAPendingChange() {
        QFETCH(QString, command);
        QFETCH(int, how);
        QVERIFY(w->click("optWork(1)") && w->click(command));
        w->fill({"Mezzo scritto", "mai confermato", "Nessuna"});
        if (how == 0) QTest::keyClick(w->widget("txtdb(0)"), Qt::Key_Escape);
        if (how == 1) w->click("cmdClose");
        if (how == 2) w->win->close();
        QVERIFY(!w->win->isVisible());
        QCOMPARE(w->stored(), threeRows);
    }

    // On a read-only archive the engine refuses every change: each refusal is reported (the mark's
    // is not) and the window stays on, or returns to, the stored tip.
    void refusalsOnAReadOnlyArchive() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(threeTips, {QMessageBox::Ok}, "chmod a-w"));
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton); // refused: no edit mode
        QCOMPARE(mode(*w), "view");
        w->click("cmdSposta(3)");
        w->boxes.arm(QMessageBox::Yes);
        w->win->cmdBookmark_Click(); // the button is disabled here
        QCOMPARE(w->said().last() + (w->win->imgBookmark->isVisible() ? " *" : " -"), Remove + " *");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(GenericBas::TipsRecordset->Fields("Bookmark").Value().toInt(), 1);
        w->click("cmdSposta(0)");
        w->win->optWork_Click(1); // the panel as it would be shown on a writable archive
        QVERIFY(w->click("cmdTool(0)", {QMessageBox::Ok}));
        QCOMPARE(w->said().last(), engineError(qn::err::ReadOnly));
        QVERIFY(browsing(*w) && GenericBas::TipsRecordset->EditMode() == qn::dbEditNone);
        // Modifica skips the refused Edit: Salva finds nothing to store, and Annulla still leads back.
        w->click("cmdTool(4)");
        w->type("txtdb(0)", "Vietato");
        QVERIFY(w->click("cmdTool(1)", {QMessageBox::Ok}));
        QCOMPARE(w->said().last(), engineError(qn::err::UpdateWithoutEdit));
        w->click("cmdTool(3)");
        QCOMPARE(w->tip(), "Bravo 1  di  3");
        QVERIFY(browsing(*w));
        QCOMPARE(w->stored(), threeRows);
    }

    // A store the file rejects (unique indexes of another program) is reported; the tip stays being
    // added, and Annulla drops it. A mark the file rejects leaves record and image as they were.
    void refusalsByTheFile() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(threeTips, {},
                        "CREATE UNIQUE INDEX c ON TipsTable(Categoria); CREATE UNIQUE INDEX b ON TipsTable(Bookmark)"));
        QCOMPARE(toggle(*w, QMessageBox::Yes), Add + " -");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QVERIFY(w->click("optWork(1)") && w->click("cmdTool(0)"));
        w->fill({"Respinto", "corpo", "Delphi"});
        QVERIFY(w->click("cmdTool(1)", {QMessageBox::Ok}));
        QVERIFY(w->said().last().startsWith(Box("Errore numero: ", QMessageBox::Critical)));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditAdd));
        QVERIFY(w->win->cmdTool[1]->isEnabled() && !w->win->cmdSposta[2]->isEnabled());
        w->click("cmdTool(3)");
        QVERIFY(browsing(*w));
        QCOMPARE(w->tip(), "Bravo 1  di  3");
        QCOMPARE(w->stored(), threeRows);
    }

    void modeSwitchesStayOnTheTip() {
        w->pick("cboFindCategoria", "Grafica");
        QCOMPARE(w->tip(), "Delta 1  di  1");
        w->click("optWork(1)");
        QCOMPARE(mode(*w), "edit");
        QCOMPARE(w->tip(), "Delta 2  di  3"); // all tips again, on the same one
        QCOMPARE(w->win->focusWidget(), w->win->cmdTool[0]);
        // Back to view mode: the search type is reset to "Categoria", the arrow is left alone.
        w->click("optWork(0)");
        QCOMPARE(mode(*w), "view");
        QVERIFY(w->win->cboFindCategoria->isVisible() && !w->win->SuppressArrowAnimation);
        QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
        // The counter's double-click switches too, but not while a tip is being added; the option
        // button then drops the new tip without asking.
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QCOMPARE(mode(*w), "edit");
        w->click("cmdTool(0)");
        w->fill({"Mai salvato", "corpo", "Nuova"});
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(*w) == "edit" && w->win->cmdTool[1]->isEnabled());
        w->click("optWork(0)");
        QCOMPARE(mode(*w), "view");
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QVERIFY(!w->win->cboInsertCategoria->isVisible() && w->win->cmdSposta[0]->isEnabled());
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(*w) == "edit" && browsing(*w)); // edit mode again finds the panel browsing
        QCOMPARE(w->stored(), threeRows);
    }

    // The list follows saves, deletes and marks in place; after each random edit it equals the
    // list read anew, in content and order: titles equal but for letter case or accents, repeated,
    // empty and Null ones among them. A write it was not told about makes it be read anew.
    void titleListFollowsRandomEdits() {
        const QStringList pool = {"Rete",   "rete",   "RETE", "Perché", "perche", "Perche", "PERCHÉ",
                                  "Àncora", "ancora", "Zeta", "zeta",   "a",      "B",      "b",
                                  "Ω",      "ß",      "ss",   "   ",    "Zz top", "zz Top"};
        std::mt19937 rng(1313);
        auto any = [&](const QStringList& from) { return from[int(rng() % from.size())]; };
        QList<Tip> tips;
        for (int i = 0; i < 40; ++i)
            tips << (i % 9 == 4 ? Tip(QVariant()) : Tip(any(pool)));
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(tips) && w->click("optWork(1)"));
        QCOMPARE(w->items("cboTitoli"), freshTitles());
        // Pasted: key clicks cannot carry accented letters.
        auto setTitle = [&](const QString& t) {
            qobject_cast<QLineEdit*>(w->widget("txtdb(0)"))->setText(t);
        };
        for (int step = 0; step < 120; ++step) {
            const long count = GenericBas::TipsRecordset->RecordCount();
            const int op = int(rng() % 7);
            if (op == 0) {
                w->click(QString("cmdSposta(%1)").arg(rng() % 4));
            } else if (op == 1 || op == 5) {
                if (op == 5) // another routine renames a tip behind the list's back
                    GenericBas::TipsDatabase->Execute(
                        QString("UPDATE TipsTable SET Titolo = '%1' WHERE KeyPrimary = %2")
                            .arg(any(pool))
                            .arg(rng() % 50));
                w->click("cmdTool(4)");
                setTitle(any(pool));
                w->click("cmdTool(1)");
            } else if (op == 2) {
                w->click("cmdTool(0)");
                w->fill({"x", "corpo", "Varie"});
                setTitle(any(pool));
                w->click("cmdTool(1)");
            } else if (op == 3 && count > 1) {
                QVERIFY(w->click("cmdTool(2)", {QMessageBox::Yes}));
            } else if (op == 4) {
                QVERIFY(w->click("cmdBookmark", {QMessageBox::Yes}));
            } else if (op == 6) { // the view is read anew; the list is kept
                QVERIFY(w->click("optWork(0)") && w->click("optWork(1)"));
            }
            QVERIFY2(browsing(*w), qPrintable(QString("step %1").arg(step)));
            QCOMPARE(w->items("cboTitoli"), freshTitles());
            // The title shown is the list's current entry (unless the tip is untitled).
            if (GenericBas::TipsRecordset->Fields("Titolo").Value().isValid())
                QCOMPARE(w->win->cboTitoli->currentText(), w->boxText(0));
        }
    }

    void addAndRemoveMarks() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(threeTips, {}, "UPDATE TipsTable SET Bookmark = 7 WHERE KeyPrimary = 2"));
        QCOMPARE(toggle(*w, QMessageBox::No), Add + " -"); // a Null mark: No leaves it Null
        QCOMPARE(w->boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(toggle(*w, QMessageBox::Yes), Add + " *");
        QCOMPARE(w->win->focusWidget(), w->win->cmdSposta[2]);
        // A value another program wrote counts as set, though only 1 shows the image.
        w->click("cmdSposta(2)");
        QVERIFY(!w->win->imgBookmark->isVisible());
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        w->click("cmdSposta(2)");
        QCOMPARE(toggle(*w, QMessageBox::No), Remove + " *");
        // Under a filter the view stays; the first tip's stored 1 asks the removal.
        w->pick("cboFindCategoria", "Delphi");
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        QCOMPARE(toggle(*w, QMessageBox::Yes), Add + " *");
        QCOMPARE(w->tip(), "Foxtrot 1  di  1");
        w->pick("cboFindCategoria", "Database");
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        QStringList marks;
        for (const QString& row : w->stored())
            marks << row.section('|', 6);
        QCOMPARE(marks, QStringList({"0", "0", "1"}));
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
