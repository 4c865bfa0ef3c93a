// Opening archives in the main window (read-only, empty, incompatible and failing files, the open
// dialog, the unload) and showing their tips: record views and the title list, the counter, the
// navigation buttons and Null fields.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "engine/Database.h"
#include "startup/GenericBas.h"

#include <QFileDialog>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

namespace {

const QList<Tip> threeTips = {{"Gamma"}, {"Alfa"}, {"Beta"}};
const QString ReadOnly =
    Box("Attenzione: il database è di sola lettura.\nNon sarà possibile eseguire nessuna modifica.",
        QMessageBox::Information);
const QString Empty =
    Box("Il Database Quillnote.mdb è vuoto.\nPer iniziare ad inserire dei dati premere il pulsante "
        "Nuovo e,\ndopo aver digitato nelle caselle le informazioni da registrare,\nconfermare "
        "premendo il pulsante Salva.",
        QMessageBox::Information);
const QString Caption = "Quillnote - DB corrente: %1";
const QStringList Fields =
    QString("KeyPrimary Titolo Procedura Categoria ChiaveRicerca Note Bookmark Linguaggio").split(' ');
// The controls EnableControls switches, and cmdOpenNewDB.
const QStringList Switched =
    QString("cboSelectResearch cboGenericFind cboTitoli cboFindCategoria cmdUtility "
            "cmdBookmark optWork(1) cmdSposta(0) cmdSposta(1) cmdSposta(2) cmdSposta(3) cmdOpenNewDB")
        .split(' ');

// Those of Switched that are enabled.
QStringList enabled(const ArchiveWindow& w) {
    QStringList out;
    for (const QString& name : Switched)
        if (w.widget(name)->isEnabled()) out << name;
    return out;
}

// Whether nothing holds the file: an exclusive opening through the engine succeeds.
bool isFree(const QString& path) {
    return EngineFixture::errorOf([&] { qn::DBEngine::Workspaces(0).OpenDatabase(path, true, true); }) == 0;
}

// Clicks cmdOpenNewDB and picks `file` in the dialog (cancels it when empty); the dialog's title and filters.
QString openThroughDialog(ArchiveWindow& w, const QString& file, const Answers& answers = {}) {
    DialogDriver driver;
    QString seen;
    driver.onFileDialog([&](QFileDialog* d) {
        seen = d->windowTitle() + '|' + d->nameFilters().join(';');
        if (file.isEmpty()) return d->reject();
        DialogDriver::typeAndConfirm(d, file);
        if (d->isVisible()) d->reject(); // refused: the test fails on what follows instead of hanging
    });
    return w.click("cmdOpenNewDB", answers) ? seen : "boxes missing";
}

// The lines the procedure box wrapped its text into, each "start length fits", where fits says
// whether the line's text fits the box's width.
QStringList wrappedLines(const QPlainTextEdit* box) {
    QStringList out;
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(box->document()->documentLayout());
    for (QTextBlock b = box->document()->firstBlock(); b.isValid(); b = b.next()) {
        layout->ensureBlockLayout(b);
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            out << QString("%1 %2 %3")
                       .arg(b.position() + line.textStart())
                       .arg(line.textLength())
                       .arg(line.naturalTextWidth() <= line.width());
        }
    }
    return out;
}

QString categoryView(const QString& category) {
    return "SELECT * FROM TipsTable WHERE [Categoria]='" + category + "'ORDER BY[Titolo]ASC";
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void openingStates_data() {
        QTest::addColumn<bool>("hasTips");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("shown"); // the tip shown at first and after cmdSposta(2)
        const QStringList tips = {"Alfa 1  di  3", "Beta 2  di  3"};
        QTest::newRow("writable with tips") << true << false << QStringList() << tips;
        QTest::newRow("read-only with tips") << true << true << QStringList{ReadOnly} << tips;
        QTest::newRow("read-only empty")
            << false << true
            << QStringList{ReadOnly, Box("Database vuoto e di sola lettura!", QMessageBox::Critical)}
            << QStringList{" ", " "};
        QTest::newRow("writable empty")
            << false << false << QStringList{Empty} << QStringList{" 0  di  0", " 0  di  0"};
    }
    void openingStates() {
        QFETCH(bool, hasTips);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, shown);
        ArchiveWindow w;
        QVERIFY(w.open(hasTips ? threeTips : QList<Tip>(), Answers(boxes.size(), QMessageBox::Ok),
                       readOnly ? "chmod a-w" : ""));
        QCOMPARE(w.said(), boxes);
        // Read-only: no changes, no maintenance, no edit mode. An empty writable archive starts in
        // edit mode, ready for a first tip.
        QCOMPARE(enabled(w), readOnly ? Switched.mid(0, 4) + Switched.mid(7) : Switched);
        QCOMPARE(w.win->optWork[1]->isChecked(), !hasTips && !readOnly);
        QCOMPARE(w.tip(), shown[0]);
        QCOMPARE(w.items("cboTitoli"), hasTips ? QStringList({"Alfa", "Beta", "Gamma"}) : QStringList());
        QCOMPARE(GenericBas::TipsDatabase->Updatable(), !readOnly);
        QVERIFY(!isFree(w.path)); // opened exclusively
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), shown[1]);
    }

    // Files that cannot serve as the archive: "%1" in the message stands for the file's path.
    void unusableArchive_data() {
        QTest::addColumn<QString>("table"); // "" for no file
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message"); // "" when the file is accepted
        const QString incompatible =
            Box("Impossibile aprire e/o modificare\n%1\nIl datatbase che si sta cercando "
                "di aprire non \nè compatibile con la struttura del programma!",
                QMessageBox::Critical, QMessageBox::Ok, "Quillnote - Operazione annullata");
        QTest::newRow("no TipsTable") << "Ricette" << Fields << incompatible;
        QTest::newRow("table name in other case") << "tipstable" << Fields << incompatible;
        for (int i = 0; i < Fields.size(); ++i) {
            QStringList lower = Fields;
            lower[i] = lower[i].toLower();
            QTest::addRow("without %d", i)
                << "TipsTable" << Fields.mid(0, i) + Fields.mid(i + 1) << incompatible;
            QTest::addRow("%d in other case", i) << "TipsTable" << lower << incompatible;
        }
        QTest::newRow("an extra field") << "TipsTable" << Fields + QStringList{"Autore"} << "";
        for (long number : {qn::err::FileNotFound, qn::err::FileInUse})
            QTest::addRow("error %ld", number)
                << (number == qn::err::FileInUse ? "TipsTable" : "") << Fields
                << Box(QString("Errore numero: %1\n").arg(number) + qn::errorDescription(number, "%1"),
                       QMessageBox::Critical);
    }
    void unusableArchive() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        if (!table.isEmpty()) { // a plain SQLite file, as another program writes it
            QVERIFY(QFile(other).open(QIODevice::WriteOnly) &&
                    EngineFixture::rawExec(other,
                                           QString("CREATE TABLE %1 (%2 TEXT); INSERT INTO %1 DEFAULT VALUES")
                                               .arg(table, fields.join(" TEXT, "))) == 0);
        }
        std::unique_ptr<qn::Database> holder; // another program holding the file
        if (message.contains("3045")) holder = qn::DBEngine::Workspaces(0).OpenDatabase(other, true, false);
        QVERIFY(w.open(threeTips));
        w.boxes.arm(QMessageBox::Ok);
        w.win->OpenDatabase(other);
        QCOMPARE(w.said(),
                 message.isEmpty() ? QStringList() : QStringList{QString(message).replace("%1", other)});
        QCOMPARE(w.win->windowTitle(), Caption.arg(message.isEmpty() ? "Altro.mdb" : "nessuno!"));
        QCOMPARE(GenericBas::DatabasePath, message.isEmpty() ? other : w.path);
        QCOMPARE(w.counter(), message.isEmpty() ? "1  di  1" : "");
        if (message.isEmpty()) return;
        QCOMPARE(enabled(w), QStringList{"cmdOpenNewDB"});
        QVERIFY(!w.win->DatabaseOpen && (table.isEmpty() || isFree(other) == !holder)); // closed again
    }

    // Without an archive at start-up, cmdOpenNewDB still works.
    void openDialogCancelsOrSwitches() {
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        QVERIFY(CreateTips(other, {{"Zeta"}, {"Eta"}}) && QFile::setPermissions(other, QFile::ReadOwner));
        QVERIFY(CreateTips(w.path, threeTips));
        QVERIFY(w.load({QMessageBox::Ok}, w.dir.filePath("Manca.mdb")));
        QVERIFY(w.said().at(0).contains("Errore numero: 3024\n"));
        QCOMPARE(w.win->windowTitle(), Caption.arg("nessuno!"));
        QCOMPARE(enabled(w), QStringList{"cmdOpenNewDB"});
        openThroughDialog(w, w.path);
        w.click("optWork(1)");
        QCOMPARE(openThroughDialog(w, {}), "Seleziona il DB da aprire|Microsoft Access (.mdb) (*.mdb)");
        // Cancelled: the same archive in view mode, the focus on the title.
        QVERIFY(w.win->optWork[0]->isChecked() && w.win->DatabaseOpen);
        QCOMPARE(w.win->windowTitle(), Caption.arg("Quillnote.mdb"));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        // Another archive, read-only: the first one is closed. Chosen again, the read-only archive
        // is reopened instead of failing as "in use".
        for (int i = 1; i <= 2; ++i) {
            openThroughDialog(w, other, {QMessageBox::Ok});
            QCOMPARE(w.said().mid(1), QStringList(i, ReadOnly));
            QCOMPARE(w.win->windowTitle() + GenericBas::DatabasePath, Caption.arg("Altro.mdb") + other);
            QCOMPARE(w.tip(), "Eta 1  di  2");
        }
        QVERIFY(isFree(w.path));
        // Back to the first archive: the read-only one is released with its object. The unload
        // releases the archive and deletes the message file.
        openThroughDialog(w, w.path);
        QVERIFY(isFree(other));
        const QString message = GenericBas::TempFolder() + "email.eml";
        QVERIFY(QFile(message).open(QIODevice::WriteOnly));
        w.win->close();
        QVERIFY(!QFile::exists(message) && isFree(w.path));
    }

    void navigation_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("steps"); // the cmdSposta index, then the title and place shown after it
        QTest::newRow("three tips, to both ends and beyond")
            << QStringList{"Tre", "Uno", "Due"} << "1Due1,0Due1,2Tre2,2Uno3,2Uno3,3Uno3,1Tre2,0Due1,3Uno3";
        QTest::newRow("one tip") << QStringList{"Solo"} << "0Solo1,1Solo1,2Solo1,3Solo1";
        QTest::newRow("no tip") << QStringList() << "00,10,20,30";
    }
    void navigation() {
        QFETCH(QStringList, titles);
        QFETCH(QString, steps);
        ArchiveWindow w;
        QVERIFY(w.open(QList<Tip>(titles.begin(), titles.end()), Answers(titles.isEmpty(), QMessageBox::Ok)));
        for (const QString& step : steps.split(',')) {
            w.click(QString("cmdSposta(%1)").arg(step.front()));
            QCOMPARE(
                w.tip(),
                QString("%1 %2  di  %3").arg(step.mid(1, step.size() - 2), step.back()).arg(titles.size()));
            // At either end the set is moved back onto the tip shown.
            if (!titles.isEmpty())
                QCOMPARE(GenericBas::TipsRecordset->Fields("Titolo").Value(), w.boxText(0));
        }
    }

    void nullFieldsLeaveTheirBoxesEmpty() {
        ArchiveWindow w;
        QVERIFY(w.open({{"A senza", "proc", "Cat"},
                        {"B piena", "p2", "Cat", "chiave", "nota", 1},
                        {"C zero", QVariant(), QVariant(), "k", QVariant(), 0}}));
        // The five boxes and whether the mark is shown; Null boxes do not keep the former tip's values.
        for (const QString expected :
             {"A senza|proc|Cat|||", "B piena|p2|Cat|chiave|nota|*", "C zero|||k||"}) {
            QStringList shown;
            for (int i = 0; i < frmTips::FieldCount; ++i)
                shown << w.boxText(i);
            QCOMPARE(shown.join('|') + (w.win->imgBookmark->isHidden() ? "|" : "|*"), expected);
            w.click("cmdSposta(2)");
        }
    }

    // An untitled tip is left out of the list, so the list is searched by title, not by position.
    void untitledTipIsLeftOutOfTheList() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Uno"}, {QVariant()}, {"Due"}}));
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Uno"}));
        QCOMPARE(w.tip(), " 1  di  3"); // the untitled tip sorts first
        QCOMPARE(w.win->cboTitoli->currentIndex(), -1);
        w.click("cmdSposta(2)");
        QCOMPARE(w.win->cboTitoli->currentText(), "Due");
    }

    // A procedure with a run of characters that offers no place to break a line wraps anywhere,
    // which keeps its layout linear; every other procedure wraps at word boundaries. The text in
    // the box is the stored one either way.
    void longUnbrokenRunsWrapAnywhere() {
        QString blob, words, path;
        for (int i = 0; i < 3000; ++i) {
            blob += QString::number(i * 7919 % 100000).rightJustified(5, 'x') + "Kq9Zw";
            words += i % 2 ? "parola " : "ab ";
            path += "cartella/"; // breaks after each '/', so word wrapping costs little
        }
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", blob}, {"Beta", words}, {"Gamma", path}}));
        QPlainTextEdit* box = w.win->txtProcedura;
        for (const auto& [text, anywhere] : {std::pair{blob, true}, {words, false}, {path, false}}) {
            QCOMPARE(w.boxText(1), text);
            QCOMPARE(box->wordWrapMode(),
                     anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
            const QStringList lines = wrappedLines(box);
            QVERIFY(lines.size() > text.size() / 100);
            for (int i = 0; i < lines.size(); ++i) {
                const QStringList line = lines[i].split(' ');
                QVERIFY2(line[2] == "1", qPrintable(lines[i]));
                // At word boundaries a line ends with a blank or a '/', or with the text.
                const int end = line[0].toInt() + line[1].toInt();
                if (!anywhere && end < text.size())
                    QVERIFY2(QString(" /").contains(text[end - 1]), qPrintable(lines[i]));
            }
            w.click("cmdSposta(2)");
        }
        // Pasted into a procedure while editing, such a run makes the box wrap anywhere at once;
        // the next tip shown wraps at word boundaries again.
        QVERIFY(w.click("optWork(1)") && w.click("cmdSposta(0)") && w.click("cmdSposta(2)") &&
                w.click("cmdTool(4)"));
        box->moveCursor(QTextCursor::End);
        box->insertPlainText(blob.left(1000));
        QCOMPARE(box->wordWrapMode(), QTextOption::WrapAnywhere);
        QCOMPARE(w.boxText(1), words + blob.left(1000));
        QVERIFY(w.click("cmdTool(3)"));
        QCOMPARE(w.boxText(1), words);
        QCOMPARE(box->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
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
        w.win->LoadView("SELECT * FROM TabellaCheNonCe"); // refused by the engine: the view stays
        // FillTitleList lists every title of the table and keeps the position in the view.
        w.click("cmdSposta(2)");
        w.win->FillTitleList();
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre", "Uno"}));
        QCOMPARE(w.tip(), "Tre 2  di  2");
        QCOMPARE(GenericBas::TipsRecordset->Fields("Titolo").Value(), "Tre");
        // While the program sets the lists, a view leaves the title list empty.
        w.win->SuppressListEvents = true;
        w.win->LoadView(categoryView("B"));
        w.win->SuppressListEvents = false;
        QCOMPARE(w.items("cboTitoli"), QStringList());
        // A view without records: the message; the boxes and the list still show the former view,
        // but navigation runs on the whole table.
        w.win->LoadView(categoryView("B"));
        w.boxes.arm(QMessageBox::Ok);
        w.win->LoadView(categoryView("Nessuna"));
        QCOMPARE(w.said(), QStringList{Box("Nessun record trovato.", QMessageBox::Information)});
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Tre"}));
        QCOMPARE(w.tip(), "Due 1  di  2");
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), "Tre 2  di  3");
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
