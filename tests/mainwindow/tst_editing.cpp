// Adding, changing, deleting and abandoning tips in the main window, checked on screen and in
// the file read back through plain SQLite.
#include "EditingFixture.h"

#include <QApplication>

namespace {

const QList<Tip> threeTips = {
    {QStringLiteral("Bravo"), QStringLiteral("primo corpo"), QStringLiteral("Database"),
     QStringLiteral("SQL"), QStringLiteral("nota b")},
    {QStringLiteral("Delta"), QStringLiteral("secondo corpo"), QStringLiteral("Grafica"),
     QStringLiteral("Sort"), QStringLiteral("nota d")},
    {QStringLiteral("Foxtrot"), QStringLiteral("terzo corpo"), QStringLiteral("Delphi"), QString(),
     QString()},
};

const QStringList threeRows = {
    "1|Bravo|primo corpo|Database|SQL|nota b|<null>",
    "2|Delta|secondo corpo|Grafica|Sort|nota d|<null>",
    "3|Foxtrot|terzo corpo|Delphi|||<null>",
};

bool browsing(const EditingFixture& f) {
    return f.tool(0)->isEnabled() && f.tool(2)->isEnabled() && f.tool(4)->isEnabled() &&
           !f.tool(1)->isEnabled() && !f.tool(3)->isEnabled() && f.button("cmdSposta(2)")->isEnabled() &&
           !f.combo("cboInsertCategoria")->isVisible() && static_cast<QLineEdit*>(f.box(0))->isReadOnly();
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void validationRefusesInOrderWithFocus() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        f.click(f.tool(0));
        QVERIFY(f.combo("cboInsertCategoria")->isVisible());
        QCOMPARE(f.combo("cboInsertCategoria")->currentText(), QString());
        QCOMPARE(f.focused(), f.box(0));

        struct Step {
            QString titolo, procedura, categoria, chiave, message;
            QWidget* focus;
        };
        QComboBox* cat = f.combo("cboInsertCategoria");
        QComboBox* key = f.combo("cboInsertKey");
        const QString cat31 = QString(31, QLatin1Char('c'));
        const QString key21 = QString(21, QLatin1Char('k'));
        const QList<Step> steps = {
            {"", "", "", "", "Digitare il titolo del Tip", f.box(0)},
            {"Nuovo", "", "", "", "Digitare la descrizione del Tip", f.box(1)},
            {"Nuovo", "testo", "", "", "Digitare una categoria da associare al Tip", cat},
            {"Nuovo", "testo", cat31, "",
             "La lunghezza max consentita per il campo\nCategoria è di 30 caratteri.", cat},
            // Measured as typed: 29 letters with blanks around are 31 characters.
            {"Nuovo", "testo", " " + QString(29, QLatin1Char('c')) + " ", "",
             "La lunghezza max consentita per il campo\nCategoria è di 30 caratteri.", cat},
            {"Nuovo", "testo", QString(30, QLatin1Char('c')), key21,
             "La lunghezza max consentita per il campo\nChiaveRicerca è di 20 caratteri.", key},
        };
        for (const Step& s : steps) {
            f.type(0, s.titolo);
            f.type(1, s.procedura);
            f.typeIn(cat, s.categoria);
            f.typeIn(key, s.chiave);
            f.box(4)->setFocus();
            QVERIFY(f.clickAnswering(f.tool(1), QMessageBox::Ok));
            const auto seen = f.boxes.last();
            QCOMPARE(seen.text, s.message);
            QCOMPARE(seen.title, QString("Quillnote"));
            QCOMPARE(seen.icon, QMessageBox::Warning);
            QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(f.focused(), s.focus);
            QVERIFY(f.tool(1)->isEnabled()); // still adding
        }
        // 30 characters of category and 20 of search key are accepted.
        f.typeIn(key, QString(20, QLatin1Char('k')));
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), steps.size());
        QVERIFY(browsing(f));
        QCOMPARE(f.boxText(2), QString(30, QLatin1Char('c')));
        QCOMPARE(f.rowsAfterClose(),
                 threeRows + QStringList{"4|Nuovo|testo|" + QString(30, QLatin1Char('c')) + "|" +
                                         QString(20, QLatin1Char('k')) + "||<null>"});
    }

    void storedFieldsAreTrimmedOfBlanksOnly() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        f.click(f.tool(0));
        f.type(0, "   ");
        f.type(1, "  riga uno\n\triga due  ");
        f.typeIn(f.combo("cboInsertCategoria"), " Nuova ");
        f.type(4, "  nota ");
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), 0);
        QVERIFY(browsing(f));
        // A title of blanks passes the empty check and is stored as the empty text; an empty search
        // key is stored as the empty text, not Null; tabs and line breaks inside stay.
        QCOMPARE(f.rowsAfterClose(), threeRows + QStringList{"4||riga uno\n\triga due|Nuova||nota|<null>"});
    }

    void newTipIsShownLastAndEditedTipStays() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        QCOMPARE(f.counter(), QString("1  di  3"));

        f.click(f.tool(0));
        f.type(0, "Alfa"); // first in title order, yet shown at the end of the view
        f.type(1, "nuovo corpo");
        f.typeIn(f.combo("cboInsertCategoria"), "Nuovissima");
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(f.boxText(0), QString("Alfa"));
        QCOMPARE(f.counter(), QString("4  di  4"));
        QCOMPARE(f.combo("cboTitoli")->count(), 4);
        QVERIFY(f.combo("cboTitoli")->findText("Alfa") >= 0);
        QVERIFY(browsing(f));

        // Change the second tip: the lists come up with its category and key.
        f.click(f.button("cmdSposta(0)"));
        f.click(f.button("cmdSposta(2)"));
        QCOMPARE(f.boxText(0), QString("Delta"));
        f.click(f.tool(4));
        QCOMPARE(f.combo("cboInsertCategoria")->currentText(), QString("Grafica"));
        QCOMPARE(f.combo("cboInsertKey")->currentText(), QString("Sort"));
        QVERIFY(!static_cast<QLineEdit*>(f.box(0))->isReadOnly());
        QVERIFY(!f.button("cmdSposta(2)")->isEnabled());
        QVERIFY(!f.combo("cboTitoli")->isEnabled());
        QVERIFY(!f.button("cmdBookmark")->isEnabled());
        f.type(0, "Zulu");
        f.typeIn(f.combo("cboInsertKey"), "");
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(f.boxText(0), QString("Zulu"));
        QCOMPARE(f.boxText(2), QString("Grafica"));
        QCOMPARE(f.counter(), QString("2  di  4"));
        QVERIFY(browsing(f));
        QCOMPARE(f.rowsAfterClose(), QStringList({threeRows[0], "2|Zulu|secondo corpo|Grafica||nota d|<null>",
                                                  threeRows[2], "4|Alfa|nuovo corpo|Nuovissima|||<null>"}));
    }

    void deleteMiddleLastAndOnly() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();

        // No keeps everything; the question offers Yes first.
        f.click(f.button("cmdSposta(2)"));
        QVERIFY(f.clickAnswering(f.tool(2), QMessageBox::No));
        const auto question = f.boxes.last();
        QCOMPARE(question.text, QString("Sei sicuro di voler eliminare il record corrente?"));
        QCOMPARE(question.icon, QMessageBox::Question);
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.defaultButton, QMessageBox::Yes);
        QCOMPARE(f.boxText(0), QString("Delta"));
        QCOMPARE(f.counter(), QString("2  di  3"));

        // The middle tip: the next one is shown.
        QVERIFY(f.clickAnswering(f.tool(2), QMessageBox::Yes));
        QCOMPARE(f.boxText(0), QString("Foxtrot"));
        QCOMPARE(f.counter(), QString("2  di  2"));
        QCOMPARE(f.combo("cboTitoli")->count(), 2);

        // The last tip: the new last one is shown.
        QVERIFY(f.clickAnswering(f.tool(2), QMessageBox::Yes));
        QCOMPARE(f.boxText(0), QString("Bravo"));
        QCOMPARE(f.counter(), QString("1  di  1"));
        QCOMPARE(f.combo("cboTitoli")->count(), 1);

        // The only tip: the empty state, with the lists emptied.
        QVERIFY(f.clickAnswering(f.tool(2), QMessageBox::Yes));
        QCOMPARE(f.counter(), QString("0  di  0"));
        for (int i = 0; i < frmTips::FieldCount; ++i)
            QCOMPARE(f.boxText(i), QString());
        QCOMPARE(f.combo("cboTitoli")->count(), 0);
        QCOMPARE(f.combo("cboGenericFind")->count(), 0);
        QVERIFY(!f.child<QLabel>("imgBookmark")->isVisible());

        // Elimina and Modifica on an empty view only say so.
        for (int command : {2, 4}) {
            QVERIFY(f.clickAnswering(f.tool(command), QMessageBox::Ok));
            QCOMPARE(f.boxes.lastLines(),
                     QStringList({"Attenzione: il database è vuoto!",
                                  "Per iniziare ad inserire i dati, premere il pulsante Nuovo."}));
            QCOMPARE(f.boxes.last().icon, QMessageBox::Information);
            QVERIFY(browsing(f));
        }
        QCOMPARE(f.boxes.unexpected(), 0);
        QCOMPARE(f.rowsAfterClose(), QStringList());
    }

    void cancelReturnsToTheFormerTip() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        f.click(f.button("cmdSposta(2)"));

        f.click(f.tool(0));
        f.type(0, "Da buttare");
        f.type(1, "mai salvato");
        f.click(f.tool(3));
        QCOMPARE(f.boxText(0), QString("Delta"));
        QCOMPARE(f.boxText(1), QString("secondo corpo"));
        QCOMPARE(f.boxText(3), QString("Sort"));
        QCOMPARE(f.counter(), QString("2  di  3"));
        QVERIFY(browsing(f));

        // The same after Modifica: the stored values come back.
        f.click(f.tool(4));
        f.type(0, "Cambiato");
        f.click(f.tool(3));
        QCOMPARE(f.boxText(0), QString("Delta"));
        QVERIFY(browsing(f));
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(f.rowsAfterClose(), threeRows);
    }

    void completionInBothLists() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        f.click(f.tool(0));
        QComboBox* cat = f.combo("cboInsertCategoria");
        QComboBox* key = f.combo("cboInsertKey");
        QCOMPARE(cat->count(), 3); // Database, Delphi, Grafica
        QCOMPARE(key->count(), 2); // empty keys are not offered

        // Other letter case: the entry's own text, the completed part selected.
        QTest::keyClicks(cat, "gR");
        QCOMPARE(cat->currentText(), QString("Grafica"));
        QCOMPARE(cat->lineEdit()->selectedText(), QString("afica"));
        // The next key replaces the suggestion and completes again from the top of the list.
        cat->clearEditText();
        QTest::keyClicks(cat, "d");
        QCOMPARE(cat->currentText(), QString("Database"));
        QCOMPARE(cat->lineEdit()->selectedText(), QString("atabase"));
        QTest::keyClicks(cat, "E");
        QCOMPARE(cat->currentText(), QString("Delphi"));
        QCOMPARE(cat->lineEdit()->selectedText(), QString("lphi"));
        // A letter that continues no entry is simply typed over the selection.
        QTest::keyClicks(cat, "x");
        QCOMPARE(cat->currentText(), QString("Dex"));
        QCOMPARE(cat->lineEdit()->selectedText(), QString());
        // Backspace acts normally.
        QTest::keyClick(cat, Qt::Key_Backspace);
        QCOMPARE(cat->currentText(), QString("De"));

        QTest::keyClicks(key, "sq");
        QCOMPARE(key->currentText(), QString("SQL"));
        QCOMPARE(key->lineEdit()->selectedText(), QString("L"));
        QTest::keyClick(key, Qt::Key_Backspace); // removes the selected completion
        QCOMPARE(key->currentText(), QString("SQ"));
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(key->currentText(), QString("SQ"));
        QCOMPARE(key->count(), 2);

        f.type(0, "Completato");
        f.type(1, "testo");
        cat->clearEditText();
        QTest::keyClicks(cat, "DEL");
        f.click(f.tool(1));
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(f.rowsAfterClose().last(), QString("4|Completato|testo|Delphi|SQ||<null>"));
    }

    void closingTheWindowDiscardsAPendingChange_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("how");
        for (int command : {0, 4}) {
            const char* name = command == 0 ? "new" : "edit";
            QTest::addRow("%s, Esc", name) << command << 0;
            QTest::addRow("%s, cmdClose", name) << command << 1;
            QTest::addRow("%s, close box", name) << command << 2;
        }
    }
    void closingTheWindowDiscardsAPendingChange() {
        QFETCH(int, command);
        QFETCH(int, how);
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        f.open();
        f.enterEditMode();
        f.click(f.tool(command));
        f.type(0, "Mezzo scritto");
        f.type(1, "mai confermato");
        f.typeIn(f.combo("cboInsertCategoria"), "Nessuna");
        if (how == 0)
            QTest::keyClick(f.box(0), Qt::Key_Escape);
        else if (how == 1)
            f.click(f.button("cmdClose"));
        else
            f.window->close();
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.boxes.count(), 0);
        QCOMPARE(f.rowsAfterClose(), threeRows);
    }

    // A refused AddNew is reported and the window stays browsing on the tip it showed.
    void refusedNewRecordIsReported() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        QVERIFY(QFile::setPermissions(f.path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        f.open({QMessageBox::Ok}); // the read-only notice
        QVERIFY(!f.button("optWork(1)")->isEnabled());
        f.window->optWork_Click(1); // the panel as it would be shown on a writable archive

        f.boxes.arm(QMessageBox::Ok);
        f.click(f.tool(0));
        QVERIFY(f.boxes.waitForCount(2));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(f.boxes.lastLines().first(), QString("Errore numero: %1").arg(qn::err::ReadOnly));
        QCOMPARE(f.boxText(0), QString("Bravo"));
        QCOMPARE(f.counter(), QString("1  di  3"));
        QVERIFY(browsing(f));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditNone));
        QCOMPARE(f.rowsAfterClose(), threeRows);
    }

    // A store the file rejects is reported; the tip stays being added, and Annulla drops it.
    void refusedStoreKeepsTheTipBeingAdded() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        QVERIFY(f.rawExec("CREATE TRIGGER refuse BEFORE INSERT ON TipsTable "
                          "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"));
        f.open();
        f.enterEditMode();
        f.click(f.tool(0));
        f.type(0, "Respinto");
        f.type(1, "corpo");
        f.typeIn(f.combo("cboInsertCategoria"), "Nuova");
        // The note box takes no more than the field holds.
        f.type(4, QString(55, QLatin1Char('n')));
        QCOMPARE(f.boxText(4).size(), 50);

        QVERIFY(f.clickAnswering(f.tool(1), QMessageBox::Ok));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QVERIFY(f.boxes.last().text.startsWith("Errore numero: "));
        QCOMPARE(GenericBas::TipsRecordset->EditMode(), int(qn::dbEditAdd));
        QVERIFY(f.tool(1)->isEnabled());
        QVERIFY(!f.button("cmdSposta(2)")->isEnabled());
        QCOMPARE(f.boxText(0), QString("Respinto"));
        QVERIFY(f.combo("cboInsertCategoria")->isVisible());

        f.click(f.tool(3));
        QVERIFY(browsing(f));
        QCOMPARE(f.boxText(0), QString("Bravo"));
        QCOMPARE(f.boxes.count(), 1);
        QCOMPARE(f.rowsAfterClose(), threeRows);
    }

    // Modifica skips a refused Edit, so the window shows the editing state with nothing pending:
    // Salva reports the refusal and Annulla still leads back to browsing the stored tip.
    void refusedEditLeavesAWayBack() {
        EditingFixture f;
        QVERIFY(f.create(threeTips));
        QVERIFY(QFile::setPermissions(f.path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        f.open({QMessageBox::Ok});
        f.window->optWork_Click(1);
        f.click(f.tool(4));
        QVERIFY(f.tool(1)->isEnabled());
        f.type(0, "Vietato");

        f.boxes.arm(QMessageBox::Ok);
        f.click(f.tool(1));
        QVERIFY(f.boxes.waitForCount(2));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QVERIFY(f.boxes.last().text.startsWith("Errore numero: "));
        QVERIFY(f.tool(3)->isEnabled());

        f.click(f.tool(3));
        QVERIFY(browsing(f));
        QCOMPARE(f.boxText(0), QString("Bravo"));
        QCOMPARE(f.boxes.count(), 2);
        QCOMPARE(f.rowsAfterClose(), threeRows);
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
