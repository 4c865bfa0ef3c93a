// Opening archives in the main window: read-only, empty, incompatible and failing files, the
// change of archive through the open dialog, and the unload.
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
const QStringList Fields = {"KeyPrimary",    "Titolo", "Procedura", "Categoria",
                            "ChiaveRicerca", "Note",   "Bookmark",  "Linguaggio"};
// The controls EnableControls switches.
const QStringList Switched =
    QString("cboSelectResearch cboGenericFind cboTitoli cboFindCategoria cmdUtility "
            "cmdBookmark optWork(1) cmdSposta(0) cmdSposta(1) cmdSposta(2) cmdSposta(3)")
        .split(' ');

// Those of Switched and cmdOpenNewDB that are enabled.
QStringList enabled(const ArchiveWindow& w) {
    QStringList out;
    for (const QString& name : Switched + QStringList{"cmdOpenNewDB"})
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
        d->selectFile(file);
        static_cast<QDialog*>(d)->accept(); // the choice itself is checked by the dialog's tests
    });
    return w.click("cmdOpenNewDB", answers) ? seen : "boxes missing";
}

} // namespace

class TestOpen : public QObject {
    Q_OBJECT

private slots:
    void hasAttributeFollowsTheFileMode() {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.mdb");
        QVERIFY(!frmTips::HasAttribute(file, 1)); // missing
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        QVERIFY(!frmTips::HasAttribute(file, 1) && !frmTips::HasAttribute(file, 16));
        QVERIFY(TestArchive::MakeReadOnly(file));
        QVERIFY(frmTips::HasAttribute(file, 1)); // even when this user could write it anyway (root)
        QVERIFY(!frmTips::HasAttribute(file, 1 | 16) && frmTips::HasAttribute(dir.path(), 16));
    }

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
            << false << false
            << QStringList{Box("Il Database Quillnote.mdb è vuoto.\nPer iniziare ad "
                               "inserire dei dati premere il pulsante Nuovo e,\ndopo "
                               "aver digitato nelle caselle le informazioni da "
                               "registrare,\nconfermare premendo il pulsante Salva.",
                               QMessageBox::Information)}
            << QStringList{" 0  di  0", " 0  di  0"};
    }
    void openingStates() {
        QFETCH(bool, hasTips);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, shown);
        ArchiveWindow w;
        QVERIFY(w.open(hasTips ? threeTips : QList<Tip>(), Answers(boxes.size(), QMessageBox::Ok), readOnly));
        QCOMPARE(w.said(), boxes);
        QCOMPARE(w.win->windowTitle(), Caption.arg("Quillnote.mdb"));
        // Read-only: no changes, no maintenance, no edit mode.
        QCOMPARE(enabled(w), readOnly ? Switched.mid(0, 4) + Switched.mid(7) << "cmdOpenNewDB"
                                      : Switched + QStringList{"cmdOpenNewDB"});
        // An empty writable archive starts in edit mode, ready for a first tip.
        QCOMPARE(w.win->optWork[1]->isChecked(), !hasTips && !readOnly);
        QCOMPARE(w.tip(), shown[0]);
        QCOMPARE(w.items("cboTitoli"), hasTips ? QStringList({"Alfa", "Beta", "Gamma"}) : QStringList());
        QCOMPARE(w.win->DatabaseOpen, !readOnly);
        QCOMPARE(GenericBas::TipsDatabase->Updatable(), !readOnly);
        QVERIFY(!isFree(w.path)); // opened exclusively
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), shown[1]);
    }

    // Files that cannot serve as the archive: "%1" in the message stands for the file's path.
    void unusableArchive_data() {
        QTest::addColumn<QString>("table"); // "" for no file, "in use" for a tips archive held elsewhere
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
            QTest::addRow("without %s", qPrintable(Fields[i]))
                << "TipsTable" << Fields.mid(0, i) + Fields.mid(i + 1) << incompatible;
            QTest::addRow("%s in other case", qPrintable(Fields[i])) << "TipsTable" << lower << incompatible;
        }
        QTest::newRow("an extra field") << "TipsTable" << Fields + QStringList{"Autore"} << "";
        for (long number : {qn::err::FileNotFound, qn::err::FileInUse})
            QTest::addRow("error %ld", number)
                << (number == qn::err::FileInUse ? "in use" : "") << Fields
                << Box(QString("Errore numero: %1\n").arg(number) + qn::errorDescription(number, "%1"),
                       QMessageBox::Critical);
    }
    void unusableArchive() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        std::unique_ptr<qn::Database> holder;
        if (table == "in use") {
            QVERIFY(TestArchive::CreateTips(other, threeTips));
            holder = qn::DBEngine::Workspaces(0).OpenDatabase(other, true, false);
        } else if (!table.isEmpty()) { // a plain SQLite file, as another program writes it
            QVERIFY(QFile(other).open(QIODevice::WriteOnly));
            QCOMPARE(EngineFixture::rawExec(
                         other, QString("CREATE TABLE %1 (%2 TEXT); INSERT INTO %1 DEFAULT VALUES")
                                    .arg(table, fields.join(" TEXT, "))),
                     0);
        }
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
        QCOMPARE(w.items("cboTitoli"), QStringList());
        QVERIFY(!w.win->DatabaseOpen);
        QVERIFY(table.isEmpty() || isFree(other) == !holder); // closed again
    }

    void startsWithoutAnArchive() {
        ArchiveWindow w;
        QVERIFY(w.load({QMessageBox::Ok}, w.dir.filePath("Manca.mdb")));
        QVERIFY(w.said().at(0).contains("Errore numero: 3024\n"));
        QCOMPARE(w.win->windowTitle(), Caption.arg("nessuno!"));
        QCOMPARE(enabled(w), QStringList{"cmdOpenNewDB"});
        QVERIFY(!GenericBas::TipsDatabase);
    }

    void openDialogCancelsOrSwitches() {
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        QVERIFY(TestArchive::CreateTips(other, {{"Zeta"}, {"Eta"}}));
        QVERIFY(w.open(threeTips));
        w.click("optWork(1)");
        QCOMPARE(openThroughDialog(w, {}), "Seleziona il DB da aprire|Microsoft Access (.mdb) (*.mdb)");
        // Cancelled: the same archive in view mode, the focus on the title.
        QVERIFY(w.win->optWork[0]->isChecked());
        QCOMPARE(w.win->windowTitle(), Caption.arg("Quillnote.mdb"));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
        QVERIFY(w.win->DatabaseOpen);
        QCOMPARE(w.win->focusWidget(), w.widget("txtdb(0)"));
        openThroughDialog(w, other);
        QCOMPARE(w.said(), QStringList());
        QCOMPARE(w.win->windowTitle(), Caption.arg("Altro.mdb"));
        QCOMPARE(GenericBas::DatabasePath, other);
        QCOMPARE(w.tip(), "Eta 1  di  2");
        QVERIFY(isFree(w.path)); // the first archive was closed
        // The unload releases the archive and deletes the message file.
        QFile message(GenericBas::TempFolder() + "email.eml");
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.close();
        w.win->close();
        QVERIFY(!message.exists() && isFree(other));
    }

    // Choosing the open read-only archive again reopens it instead of failing as "in use".
    void sameReadOnlyArchiveCanBeChosenAgain() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips, {QMessageBox::Ok}, true));
        openThroughDialog(w, w.path, {QMessageBox::Ok});
        QCOMPARE(w.said(), (QStringList{ReadOnly, ReadOnly}));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
    }
};

QTEST_MAIN(TestOpen)
#include "tst_open.moc"
