// Opening archives (read-only, empty, incompatible, failing; the open dialog; the unload) and
// showing their tips: title list, counter, navigation, Null fields, wrapping.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "engine/Database.h"
#include "startup/GenericBas.h"

#include <QFileDialog>
#include <QtTest>

namespace {

const QList<Tip> threeTips = {{"Gamma"}, {"Alfa"}, {"Beta"}};
const QString ReadOnly =
    Box("Attenzione: il database è di sola lettura.\nNon sarà possibile eseguire nessuna modifica.",
        QMessageBox::Information);
const QString Caption = "Quillnote - DB corrente: %1";
const QStringList Fields =
    QString("KeyPrimary Titolo Procedura Categoria ChiaveRicerca Note Bookmark Linguaggio").split(' ');
// The controls the window switches with the archive's state, and cmdOpenNewDB.
const QStringList Switched = QString("cboSelectResearch cboGenericFind cboTitoli cboFindCategoria cmdUtility "
                                     "cmdBookmark optWork(1) cmdSposta(0) cmdSposta(1) cmdSposta(2) "
                                     "cmdSposta(3) cmdOpenNewDB")
                                 .split(' ');

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

// Clicks cmdOpenNewDB and types `file` into the dialog (or cancels it); the dialog's title and filters.
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

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void openingStates_data() {
        QTest::addColumn<bool>("hasTips");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("shown"); // the tip shown at first and after cmdSposta(2)
        const QString empty =
            Box("Il Database Quillnote.mdb è vuoto.\nPer iniziare ad inserire dei dati premere "
                "il pulsante Nuovo e,\ndopo aver digitato nelle caselle le informazioni da "
                "registrare,\nconfermare premendo il pulsante Salva.",
                QMessageBox::Information);
        QTest::newRow("writable") << true << false << QStringList() << "Alfa 1  di  3|Beta 2  di  3";
        QTest::newRow("read-only") << true << true << QStringList{ReadOnly} << "Alfa 1  di  3|Beta 2  di  3";
        QTest::newRow("read-only empty")
            << false << true
            << QStringList{ReadOnly, Box("Database vuoto e di sola lettura!", QMessageBox::Critical)}
            << " | ";
        QTest::newRow("writable empty") << false << false << QStringList{empty} << " 0  di  0| 0  di  0";
    }
    void openingStates() {
        QFETCH(bool, hasTips);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, boxes);
        QFETCH(QString, shown);
        ArchiveWindow w;
        QVERIFY(w.open(hasTips ? threeTips : QList<Tip>(), Answers(boxes.size(), QMessageBox::Ok),
                       readOnly ? "chmod a-w" : ""));
        QCOMPARE(w.said(), boxes);
        // Read-only: no changes, no maintenance, no edit mode. An empty writable archive starts in edit mode.
        QCOMPARE(enabled(w), readOnly ? Switched.mid(0, 4) + Switched.mid(7) : Switched);
        QCOMPARE(w.win->optWork[1]->isChecked(), !hasTips && !readOnly);
        QCOMPARE(w.items("cboTitoli"), hasTips ? QStringList({"Alfa", "Beta", "Gamma"}) : QStringList());
        QVERIFY(!isFree(w.path)); // opened exclusively
        const QString first = w.tip();
        w.click("cmdSposta(2)");
        QCOMPARE(first + '|' + w.tip(), shown);
        QTest::mouseDClick(w.win->lblNumRecord, Qt::LeftButton); // refused when read-only
        QCOMPARE(w.win->optWork[1]->isChecked(), !readOnly && hasTips);
    }

    // Files that cannot serve as the archive: "%1" in the message stands for the file's path.
    void unusableArchive_data() {
        QTest::addColumn<QString>("table"); // "" for no file
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message"); // "" when the file is accepted
        const QString bad =
            Box("Impossibile aprire e/o modificare\n%1\nIl datatbase che si sta cercando di aprire "
                "non \nè compatibile con la struttura del programma!",
                QMessageBox::Critical, QMessageBox::Ok, "Quillnote - Operazione annullata");
        QTest::newRow("no TipsTable") << "Ricette" << Fields << bad;
        QTest::newRow("table name in other case") << "tipstable" << Fields << bad;
        for (int i = 0; i < Fields.size(); ++i) {
            QStringList lower = Fields;
            lower[i] = lower[i].toLower();
            QTest::addRow("without %d", i) << "TipsTable" << Fields.mid(0, i) + Fields.mid(i + 1) << bad;
            QTest::addRow("%d in other case", i) << "TipsTable" << lower << bad;
        }
        QTest::newRow("an extra field") << "TipsTable" << Fields + QStringList{"Autore"} << "";
        QTest::newRow("no file") << "" << Fields
                                 << Box("Errore numero: 3024\n" +
                                            qn::errorDescription(qn::err::FileNotFound, "%1"),
                                        QMessageBox::Critical);
    }
    void unusableArchive() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        if (!table.isEmpty()) // a plain SQLite file, as another program writes it
            QVERIFY(QFile(other).open(QIODevice::WriteOnly) &&
                    EngineFixture::rawExec(other,
                                           QString("CREATE TABLE %1 (%2 TEXT); INSERT INTO %1 DEFAULT VALUES")
                                               .arg(table, fields.join(" TEXT, "))) == 0);
        QVERIFY(w.open(threeTips));
        w.boxes.arm(QMessageBox::Ok);
        w.win->OpenDatabase(other);
        const bool ok = message.isEmpty();
        QCOMPARE(w.said(), ok ? QStringList() : QStringList{QString(message).replace("%1", other)});
        QCOMPARE(w.win->windowTitle() + w.counter(), Caption.arg(ok ? "Altro.mdb1  di  1" : "nessuno!"));
        QCOMPARE(GenericBas::DatabasePath, ok ? other : w.path);
        if (ok) return;
        QCOMPARE(enabled(w), QStringList{"cmdOpenNewDB"});
        QVERIFY(!w.win->DatabaseOpen && (table.isEmpty() || isFree(other))); // closed again
    }

    // Without an archive at start-up, cmdOpenNewDB still works.
    void openDialogCancelsOrSwitches() {
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        QVERIFY(CreateTips(other, {{"Zeta"}, {"Eta"}}) && QFile::setPermissions(other, QFile::ReadOwner));
        QVERIFY(CreateTips(w.path, threeTips));
        QVERIFY(w.load({QMessageBox::Ok}, w.dir.filePath("Manca.mdb")));
        QVERIFY(w.said().at(0).contains("Errore numero: 3024\n"));
        QCOMPARE(w.win->windowTitle() + enabled(w).join(','), Caption.arg("nessuno!") + "cmdOpenNewDB");
        QVERIFY(openThroughDialog(w, w.path) != "boxes missing" && w.click("optWork(1)"));
        QCOMPARE(openThroughDialog(w, {}), "Seleziona il DB da aprire|Microsoft Access (.mdb) (*.mdb)");
        // Cancelled: the same archive in view mode, the focus on the title.
        QVERIFY(w.win->optWork[0]->isChecked() && w.win->DatabaseOpen);
        QCOMPARE(w.win->windowTitle() + w.tip(), Caption.arg("Quillnote.mdb") + "Alfa 1  di  3");
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        // Another archive, read-only, closes the first; chosen again it is reopened, not "in use".
        for (int i = 1; i <= 2; ++i) {
            openThroughDialog(w, other, {QMessageBox::Ok});
            QCOMPARE(w.said().mid(1), QStringList(i, ReadOnly));
            QCOMPARE(w.win->windowTitle() + GenericBas::DatabasePath + w.tip(),
                     Caption.arg("Altro.mdb") + other + "Eta 1  di  2");
        }
        QVERIFY(isFree(w.path));
        // Back to the first: the other is released. The unload releases it and deletes the message file.
        QVERIFY(openThroughDialog(w, w.path) != "boxes missing" && isFree(other));
        const QString message = GenericBas::TempFolder() + "email.eml";
        QVERIFY(QFile(message).open(QIODevice::WriteOnly));
        w.win->close();
        QVERIFY(!QFile::exists(message) && isFree(w.path));
    }

    // To both ends and beyond: boxes, mark, counter, title entry. Null boxes keep nothing of the former
    // tip; the untitled tip sorts first and is left out of the title list (found by title, not place).
    void navigationAndNullFields() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Uno", "proc", "Cat"},
                        {"Due", "p2", "Cat", "chiave", "nota", 1},
                        {QVariant(), QVariant(), QVariant(), "k", QVariant(), 0}}));
        QCOMPARE(w.items("cboTitoli"), QStringList({"Due", "Uno"}));
        const QMap<QChar, QString> state = {{'U', "|||k|| 1  di  3 -1"},
                                            {'D', "Due|p2|Cat|chiave|nota|* 2  di  3 Due"},
                                            {'T', "Uno|proc|Cat||| 3  di  3 Uno"}};
        for (const QString& step : QString("1U 0U 2D 2T 2T 3T 1D 0U 3T 0U").split(' ')) {
            w.click(QString("cmdSposta(%1)").arg(step[0]));
            QStringList shown;
            for (int i = 0; i < frmTips::FieldCount; ++i)
                shown << w.boxText(i);
            const int current = w.win->cboTitoli->currentIndex();
            QCOMPARE(shown.join('|') + (w.win->imgBookmark->isHidden() ? "| " : "|* ") + w.counter() + ' ' +
                         (current < 0 ? "-1" : w.win->cboTitoli->currentText()),
                     state[step[1]]);
            // At either end the set is moved back onto the tip shown.
            QCOMPARE(GenericBas::TipsRecordset->Fields("Titolo").Value().toString(), w.boxText(0));
        }
    }

    // A long run with no place to break wraps anywhere (its layout stays linear); any other procedure,
    // a path too, wraps at word boundaries.
    void longUnbrokenRunsWrapAnywhere() {
        const QString blob = QString("x7919Kq9Zw").repeated(3000),
                      words = QString("ab parola ").repeated(1500),
                      path = QString("cartella/").repeated(3000);
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", blob}, {"Beta", words}, {"Gamma", path}}));
        QPlainTextEdit* box = w.win->txtProcedura;
        const auto byWords = QTextOption::WrapAtWordBoundaryOrAnywhere;
        for (const auto& [text, mode] :
             {std::pair{blob, QTextOption::WrapAnywhere}, {words, byWords}, {path, byWords}}) {
            QCOMPARE(w.boxText(1), text); // the stored text either way
            QCOMPARE(box->wordWrapMode(), mode);
            w.click("cmdSposta(2)");
        }
        // Pasted while editing, such a run switches at once; Annulla brings the stored wrapping back.
        QVERIFY(w.click("optWork(1)") && w.click("cmdSposta(0)") && w.click("cmdSposta(2)") &&
                w.click("cmdTool(4)"));
        box->moveCursor(QTextCursor::End);
        box->insertPlainText(blob.left(1000));
        QCOMPARE(box->wordWrapMode(), QTextOption::WrapAnywhere);
        QVERIFY(w.boxText(1) == words + blob.left(1000) && w.click("cmdTool(3)"));
        QVERIFY(w.boxText(1) == words && box->wordWrapMode() == byWords);
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
