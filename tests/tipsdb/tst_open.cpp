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
const QString Empty = Box("Il Database Quillnote.mdb è vuoto.\nPer iniziare ad inserire dei dati premere il "
                          "pulsante Nuovo e,\ndopo aver digitato nelle caselle le informazioni da registrare,"
                          "\nconfermare premendo il pulsante Salva.",
                          QMessageBox::Information);
const QString Caption = QStringLiteral("Quillnote - DB corrente: %1");
const QStringList Fields = {"KeyPrimary",    "Titolo", "Procedura", "Categoria",
                            "ChiaveRicerca", "Note",   "Bookmark",  "Linguaggio"};
// The controls EnableControls switches.
const QStringList Switched =
    QString("cboSelectResearch cboGenericFind cboTitoli cboFindCategoria cmdUtility "
            "cmdBookmark optWork(1) cmdSposta(0) cmdSposta(1) cmdSposta(2) cmdSposta(3)")
        .split(' ');

// Those of `names` that are enabled.
QStringList enabled(const ArchiveWindow& w, const QStringList& names) {
    QStringList out;
    for (const QString& name : names)
        if (w.widget(name)->isEnabled()) out << name;
    return out;
}

// A plain SQLite file, as another program writes it, holding one table of text fields with one row.
bool createTable(const QString& path, const QString& table, const QStringList& fields) {
    return QFile(path).open(QIODevice::WriteOnly) &&
           EngineFixture::rawExec(path, QString("CREATE TABLE %1 (%2 TEXT); INSERT INTO %1 DEFAULT VALUES")
                                            .arg(table, fields.join(" TEXT, "))) == 0;
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
    if (!w.click("cmdOpenNewDB", answers)) return "boxes missing";
    return seen;
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
        QVERIFY(!frmTips::HasAttribute(file, 1 | 16));
        QVERIFY(frmTips::HasAttribute(dir.path(), 16));
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
            << false << false << QStringList{Empty} << QStringList{" 0  di  0", " 0  di  0"};
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
        QCOMPARE(enabled(w, Switched), readOnly ? Switched.mid(0, 4) + Switched.mid(7) : Switched);
        // An empty writable archive starts in edit mode, ready for a first tip.
        QCOMPARE(w.win->optWork[1]->isChecked(), !hasTips && !readOnly);
        QCOMPARE(w.tip(), shown[0]);
        QCOMPARE(w.items("cboTitoli"), hasTips ? QStringList({"Alfa", "Beta", "Gamma"}) : QStringList());
        QCOMPARE(w.items("cboFindCategoria"),
                 hasTips ? QStringList({"[Tutte le categorie]", "Varie"}) : QStringList());
        QCOMPARE(w.win->DatabaseOpen, !readOnly);
        QCOMPARE(GenericBas::TipsDatabase->Updatable(), !readOnly);
        QCOMPARE(GenericBas::DatabasePath, w.path);
        QVERIFY(!TestArchive::IsFree(w.path)); // opened exclusively
        w.click("cmdSposta(2)");
        QCOMPARE(w.tip(), shown[1]);
    }

    void incompatibleArchive_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("no TipsTable") << "Ricette" << Fields << false;
        QTest::newRow("table name in other case") << "tipstable" << Fields << false;
        for (const QString& field : Fields) {
            QStringList fewer = Fields;
            fewer.removeOne(field);
            QTest::addRow("without %s", qPrintable(field)) << "TipsTable" << fewer << false;
        }
        QStringList otherCase = Fields;
        otherCase[1] = "titolo";
        QTest::newRow("field name in other case") << "TipsTable" << otherCase << false;
        QTest::newRow("an extra field") << "TipsTable" << Fields + QStringList{"Autore"} << true;
    }
    void incompatibleArchive() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(bool, accepted);
        ArchiveWindow w;
        const QString other = w.dir.filePath("Altro.mdb");
        QVERIFY(createTable(other, table, fields));
        QVERIFY(w.open(threeTips));
        w.boxes.arm(QMessageBox::Ok);
        w.win->OpenDatabase(other);
        if (accepted) {
            QCOMPARE(w.said(), QStringList());
            QCOMPARE(w.win->windowTitle(), Caption.arg("Altro.mdb"));
            QCOMPARE(w.counter(), "1  di  1");
            return;
        }
        QCOMPARE(w.said(), QStringList{Box("Impossibile aprire e/o modificare\n" + other +
                                               "\nIl datatbase che si sta cercando di aprire non \n"
                                               "è compatibile con la struttura del programma!",
                                           QMessageBox::Critical, QMessageBox::Ok,
                                           "Quillnote - Operazione annullata")});
        QCOMPARE(w.win->windowTitle(), Caption.arg("nessuno!"));
        QCOMPARE(GenericBas::DatabasePath, w.path); // unchanged
        QCOMPARE(enabled(w, Switched), QStringList());
        QCOMPARE(w.items("cboTitoli"), QStringList());
        QCOMPARE(w.counter(), QString());
        QVERIFY(!w.win->DatabaseOpen);
        QVERIFY(TestArchive::IsFree(other)); // closed again
    }

    void failingFileIsReported_data() {
        QTest::addColumn<bool>("inUse");
        QTest::newRow("missing file") << false;
        QTest::newRow("file in use") << true;
    }
    void failingFileIsReported() {
        QFETCH(bool, inUse);
        ArchiveWindow w;
        QVERIFY(TestArchive::CreateTips(w.path, threeTips));
        const QString file = inUse ? w.path : w.dir.filePath("Manca.mdb");
        std::unique_ptr<qn::Database> holder;
        if (inUse) holder = qn::DBEngine::Workspaces(0).OpenDatabase(w.path, true, false);
        w.load({QMessageBox::Ok}, file);
        const long number = inUse ? qn::err::FileInUse : 3024;
        QCOMPARE(w.said(), QStringList{Box(QString("Errore numero: %1\n").arg(number) +
                                               qn::errorDescription(number, file),
                                           QMessageBox::Critical)});
        QCOMPARE(w.win->windowTitle(), Caption.arg("nessuno!"));
        QCOMPARE(enabled(w, Switched + QStringList{"cmdOpenNewDB"}), QStringList{"cmdOpenNewDB"});
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
        QVERIFY(TestArchive::IsFree(w.path)); // the first archive was closed
    }

    // Choosing the open read-only archive again reopens it instead of failing as "in use".
    void sameReadOnlyArchiveCanBeChosenAgain() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips, {QMessageBox::Ok}, true));
        openThroughDialog(w, w.path, {QMessageBox::Ok});
        QCOMPARE(w.said(), (QStringList{ReadOnly, ReadOnly}));
        QCOMPARE(w.tip(), "Alfa 1  di  3");
    }

    void unloadReleasesTheArchiveAndTheMessageFile() {
        ArchiveWindow w;
        QVERIFY(w.open(threeTips));
        QFile message(GenericBas::TempFolder() + "email.eml");
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.close();
        w.win->close();
        QVERIFY(!message.exists());
        QVERIFY(TestArchive::IsFree(w.path));
    }
};

QTEST_MAIN(TestOpen)
#include "tst_open.moc"
