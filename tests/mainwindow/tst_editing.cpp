// Adding, changing, deleting and abandoning tips, the modes and the bookmarks, on screen and in the file.
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

// Browsing: Nuovo, Elimina and Modifica on, Salva and Annulla off, navigation on, fields locked.
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

// Clicks cmdBookmark and answers the question; the question and whether the mark is shown afterwards.
QString toggle(ArchiveWindow& w, QMessageBox::StandardButton answer) {
    if (!w.click("cmdBookmark", {answer})) return "no question";
    return w.said().last() + (w.win->imgBookmark->isVisible() ? " *" : " -");
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT
    std::unique_ptr<ArchiveWindow> w;

    bool edit(const QString& change = {}, const Answers& answers = {}, bool editMode = true) {
        w = std::make_unique<ArchiveWindow>();
        return w->open(threeTips, answers, change) && (!editMode || w->click("optWork(1)"));
    }

private slots:
    void cleanup() { w.reset(); }

    void validationRefusesInOrderWithFocus() {
        QVERIFY(edit() && w->click("cmdTool(0)"));
        QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
        const QString c30(30, 'c'), k20(20, 'k');
        const QString tooLong = "La lunghezza max consentita per il campo\n%1 è di %2 caratteri.";
        const QList<std::tuple<QStringList, QString, QString>> steps = {
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
        for (const auto& [values, message, focus] : steps) {
            w->fill(values);
            w->widget("txtdb(4)")->setFocus();
            QVERIFY(w->click("cmdTool(1)", {QMessageBox::Ok}));
            QCOMPARE(w->said().last(), Box(message, QMessageBox::Warning));
            QCOMPARE(w->win->focusWidget(), w->widget(focus));
            QVERIFY(w->win->cmdTool[1]->isEnabled()); // still adding
        }
        // The limits accepted; blanks around trimmed, a title of blanks stored empty.
        w->fill({"   ", "  riga uno\n\triga due  ", c30, k20});
        w->type("txtdb(4)", "  nota ");
        QVERIFY(w->click("cmdTool(1)") && browsing(*w));
        QCOMPARE(w->stored(),
                 threeRows + QStringList{"4||riga uno\n\triga due|" + c30 + "|" + k20 + "|nota|<null>"});
    }

    void newTipIsShownLastAndEditedTipStays() {
        QVERIFY(edit() && w->click("cmdSposta(2)"));
        // Annulla after Nuovo or Modifica returns to the former tip with its stored values.
        for (const char* command : {"cmdTool(0)", "cmdTool(4)"}) {
            QVERIFY(w->click(command));
            w->fill({"Da buttare", "mai salvato", "Altra", "altra"});
            QVERIFY(w->click("cmdTool(3)"));
            QCOMPARE(w->tip() + w->boxText(1) + w->boxText(2) + w->boxText(3),
                     "Delta 2  di  3secondo corpoGraficaSort");
            QVERIFY(browsing(*w));
        }
        QVERIFY(w->click("cmdTool(0)"));
        w->fill({"Alfa", "nuovo corpo", "Nuovissima"}); // first in title order, yet shown at the end
        QVERIFY(w->click("cmdTool(1)"));
        QCOMPARE(w->tip() + '|' + w->items("cboTitoli").join(','), "Alfa 4  di  4|Alfa,Bravo,Delta,Foxtrot");
        // Modifica: the lists show the tip's category and key; browsing is off.
        QVERIFY(w->click("cmdSposta(0)") && w->click("cmdSposta(2)") && w->click("cmdTool(4)"));
        QCOMPARE(w->win->cboInsertCategoria->currentText() + w->win->cboInsertKey->currentText(),
                 "GraficaSort");
        for (const char* off : {"cmdSposta(2)", "cboTitoli", "cmdBookmark"})
            QVERIFY2(!w->widget(off)->isEnabled(), off);
        w->fill({"Zulu", "secondo corpo", "Grafica", ""}); // an empty key is stored as the empty text
        QVERIFY(w->click("cmdTool(1)") && browsing(*w));
        QCOMPARE(w->tip(), "Zulu 2  di  4");
        QCOMPARE(w->stored(), QStringList({threeRows[0], "2|Zulu|secondo corpo|Grafica||nota d|0",
                                           threeRows[2], "4|Alfa|nuovo corpo|Nuovissima|||<null>"}));
    }

    void deleteMiddleLastAndOnly() {
        QVERIFY(edit() && w->click("cmdSposta(2)"));
        // No keeps everything; the question offers Yes first.
        QVERIFY(w->click("cmdTool(2)", {QMessageBox::No}));
        QCOMPARE(w->said().last(), Box("Sei sicuro di voler eliminare il record corrente?",
                                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(w->boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(w->tip(), "Delta 2  di  3");
        // The middle tip, then the last, then the only one.
        for (const QString shown : {"Foxtrot 2  di  2", "Bravo 1  di  1", " 0  di  0"}) {
            QVERIFY(w->click("cmdTool(2)", {QMessageBox::Yes}));
            QCOMPARE(w->tip(), shown);
            QCOMPARE(w->items("cboTitoli").size(), shown.back().digitValue());
        }
        QCOMPARE(w->items("cboGenericFind").join(',') + w->boxText(1) + w->boxText(2) + w->boxText(3) +
                     w->boxText(4),
                 QString());
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

    // After each key: the text shown and the completed part selected.
    void completionInBothLists() {
        QVERIFY(edit() && w->click("cmdTool(0)"));
        QComboBox* cat = w->win->cboInsertCategoria;
        QComboBox* key = w->win->cboInsertKey;
        QCOMPARE(key->count(), 2); // empty keys are not offered
        auto typed = [](QComboBox* c, const QString& keys) {
            for (const QChar k : keys)
                k == '<' ? QTest::keyClick(c, Qt::Key_Backspace) : QTest::keyClicks(c, QString(k));
            return c->currentText() + '|' + c->lineEdit()->selectedText();
        };
        QCOMPARE(typed(cat, "gR"), "Grafica|afica"); // other letter case: the entry's own text
        cat->clearEditText();
        QCOMPARE(typed(cat, "dE"), "Delphi|lphi"); // completes again from the top of the list
        QCOMPARE(typed(cat, "x"), "Dex|");         // no entry goes on so: typed over the selection
        QCOMPARE(typed(cat, "<"), "De|");
        QCOMPARE(typed(key, "sq"), "SQL|L");
        QCOMPARE(typed(key, "<"), "SQ|"); // removes the selected completion
        w->fill({"Completato", "testo"});
        cat->clearEditText();
        QTest::keyClicks(cat, "DEL");
        w->click("cmdTool(1)");
        QCOMPARE(w->stored().last(), "4|Completato|testo|Delphi|SQ||<null>");
    }

    // cmdClose and the close box discard a pending change (Esc: tst_lists).
    void closingTheWindowDiscardsAPendingChange() {
        for (const bool box : {false, true}) {
            QVERIFY(edit() && w->click(box ? "cmdTool(0)" : "cmdTool(4)"));
            w->fill({"Mezzo scritto", "mai confermato", "Nessuna"});
            box ? void(w->win->close()) : void(w->click("cmdClose"));
            QVERIFY(!w->win->isVisible());
            QCOMPARE(w->stored(), threeRows);
        }
    }

    // Stores the file rejects (another program's unique indexes): said, the tip still being added
    // until Annulla; a rejected mark leaves record and image as they were.
    void refusalsByTheFile() {
        QVERIFY(edit(
            "CREATE UNIQUE INDEX c ON TipsTable(Categoria); CREATE UNIQUE INDEX b ON TipsTable(Bookmark)"));
        QCOMPARE(toggle(*w, QMessageBox::Yes), Add + " -");
        QVERIFY(GenericBas::TipsRecordset->EditMode() == qn::dbEditNone && w->click("cmdTool(0)"));
        w->fill({"Respinto", "corpo", "Delphi"});
        QVERIFY(w->click("cmdTool(1)", {QMessageBox::Ok}));
        QVERIFY(w->said().last().startsWith(Box("Errore numero: ", QMessageBox::Critical)));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditAdd));
        QVERIFY(w->win->cmdTool[1]->isEnabled() && !w->win->cmdSposta[2]->isEnabled());
        QVERIFY(w->click("cmdTool(3)") && browsing(*w));
        QCOMPARE(w->tip(), "Bravo 1  di  3");
        QCOMPARE(w->stored(), threeRows);
    }

    void modeSwitchesStayOnTheTip() {
        QVERIFY(edit({}, {}, false));
        QVERIFY(w->pick("cboFindCategoria", "Grafica") && w->click("optWork(1)"));
        QCOMPARE(mode(*w) + w->tip(), "editDelta 2  di  3"); // all tips again, on the same one
        QCOMPARE(w->win->focusWidget(), w->win->cmdTool[0]);
        // Back to view mode: the search type is reset to "Categoria", the arrow is left alone.
        w->click("optWork(0)");
        QVERIFY(mode(*w) == "view" && w->win->cboFindCategoria->isVisible() &&
                !w->win->SuppressArrowAnimation);
        QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
        // The counter's double-click switches too, not while adding; the option button drops the new tip.
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(*w) == "edit" && w->click("cmdTool(0)"));
        w->fill({"Mai salvato", "corpo", "Nuova"});
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(*w) == "edit" && w->win->cmdTool[1]->isEnabled());
        w->click("optWork(0)");
        QVERIFY(mode(*w) == "view" && GenericBas::TipsRecordset->EditMode() == qn::dbEditNone);
        QTest::mouseDClick(w->win->lblNumRecord, Qt::LeftButton);
        QVERIFY(mode(*w) == "edit" && browsing(*w)); // edit mode again finds the panel browsing
        QCOMPARE(w->stored(), threeRows);
    }

    // After every random edit the title list equals a fresh default view's, in content and order:
    // titles equal but for case or accents, repeated, empty, Null.
    void titleListFollowsRandomEdits() {
        const QStringList pool = {"Rete",   "rete",   "RETE", "Perché", "perche", "Perche", "PERCHÉ",
                                  "Àncora", "ancora", "Zeta", "zeta",   "a",      "B",      "b",
                                  "Ω",      "ß",      "ss",   "   ",    "Zz top", "zz Top"};
        std::mt19937 rng(1313);
        auto any = [&] { return pool[int(rng() % pool.size())]; };
        QList<Tip> tips;
        for (int i = 0; i < 40; ++i)
            tips << (i % 9 == 4 ? Tip(QVariant()) : Tip(any()));
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open(tips) && w->click("optWork(1)"));
        auto fresh = [] {
            QStringList out;
            auto rs = GenericBas::TipsDatabase->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
            for (; !rs->IsEOF(); rs->MoveNext())
                if (const QVariant t = rs->Fields("Titolo").Value(); t.isValid()) out << t.toString();
            return out;
        };
        auto setTitle = [&] { qobject_cast<QLineEdit*>(w->widget("txtdb(0)"))->setText(any()); };
        for (int step = 0; step < 120; ++step) {
            const int op = int(rng() % 7);
            if (op == 0) w->click(QString("cmdSposta(%1)").arg(rng() % 4));
            if (op == 5) // another routine renames a tip behind the list's back
                GenericBas::TipsDatabase->Execute(
                    QString("UPDATE TipsTable SET Titolo = '%1' WHERE KeyPrimary = %2")
                        .arg(any())
                        .arg(rng() % 50));
            if (op == 1 || op == 5 || op == 2) {
                w->click(op == 2 ? "cmdTool(0)" : "cmdTool(4)");
                if (op == 2) w->fill({"x", "corpo", "Varie"});
                setTitle();
                w->click("cmdTool(1)");
            }
            if (op == 3 && GenericBas::TipsRecordset->RecordCount() > 1)
                QVERIFY(w->click("cmdTool(2)", {QMessageBox::Yes}));
            if (op == 4) QVERIFY(w->click("cmdBookmark", {QMessageBox::Yes}));
            if (op == 6) QVERIFY(w->click("optWork(0)") && w->click("optWork(1)")); // the view read anew
            QVERIFY2(browsing(*w), qPrintable(QString("step %1").arg(step)));
            QCOMPARE(w->items("cboTitoli"), fresh());
            if (GenericBas::TipsRecordset->Fields("Titolo").Value().isValid())
                QCOMPARE(w->win->cboTitoli->currentText(), w->boxText(0));
        }
    }

    void addAndRemoveMarks() {
        QVERIFY(edit("UPDATE TipsTable SET Bookmark = 7 WHERE KeyPrimary = 2", {}, false));
        QCOMPARE(toggle(*w, QMessageBox::No), Add + " -"); // a Null mark: No leaves it Null
        QCOMPARE(w->boxes.last().defaultButton, QMessageBox::Yes);
        QCOMPARE(toggle(*w, QMessageBox::Yes), Add + " *");
        QCOMPARE(w->win->focusWidget(), w->win->cmdSposta[2]);
        // A value another program wrote counts as set, though only 1 shows the image.
        QVERIFY(w->click("cmdSposta(2)") && !w->win->imgBookmark->isVisible());
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        w->click("cmdSposta(2)");
        QCOMPARE(toggle(*w, QMessageBox::No), Remove + " *");
        // Under a filter the view stays; the first tip's stored 1 asks the removal.
        w->pick("cboFindCategoria", "Delphi");
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        QCOMPARE(toggle(*w, QMessageBox::Yes) + w->tip(), Add + " *Foxtrot 1  di  1");
        w->pick("cboFindCategoria", "Database");
        QCOMPARE(toggle(*w, QMessageBox::Yes), Remove + " -");
        QStringList marks;
        for (const QString& row : w->stored())
            marks << row.section('|', 6);
        QCOMPARE(marks.join(','), "0,0,1");
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
