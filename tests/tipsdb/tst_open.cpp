// Opening archives in the main window: read-only, empty, incompatible and failing files, the
// change of archive through the open dialog, and the unload.
#include "TestArchive.h"
#include "engine/Database.h"
#include "startup/GenericBas.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using TestArchive::Tip;

namespace {

const QString ReadOnlyText = QStringLiteral(
    "Attenzione: il database è di sola lettura.\nNon sarà possibile eseguire nessuna modifica.");

QList<Tip> threeTips() {
    return {Tip(QStringLiteral("Gamma")), Tip(QStringLiteral("Alfa")), Tip(QStringLiteral("Beta"))};
}

// The controls EnableControls switches, by objectName.
QStringList browsingControls() {
    return {
        QStringLiteral("cboSelectResearch"), QStringLiteral("cboGenericFind"), QStringLiteral("cboTitoli"),
        QStringLiteral("cboFindCategoria"),  QStringLiteral("cmdUtility"),     QStringLiteral("cmdBookmark"),
        QStringLiteral("optWork(1)"),        QStringLiteral("cmdSposta(0)"),   QStringLiteral("cmdSposta(1)"),
        QStringLiteral("cmdSposta(2)"),      QStringLiteral("cmdSposta(3)")};
}

} // namespace

class TestOpen : public QObject {
    Q_OBJECT

private slots:
    void hasAttributeFollowsTheFileMode();
    void writableArchiveOpensOnItsFirstTip();
    void readOnlyArchiveWithTips();
    void readOnlyEmptyArchive();
    void writableEmptyArchiveStartsInEditMode();
    void incompatibleArchive_data();
    void incompatibleArchive();
    void extraFieldsAreAccepted();
    void missingFileReportsTheEngineError();
    void lockedFileReportsTheEngineError();
    void cancelledOpenDialogKeepsTheArchive();
    void openDialogSwitchesArchives();
    void sameReadOnlyArchiveCanBeChosenAgain();
    void unloadReleasesTheArchiveAndTheMessageFile();
};

void TestOpen::hasAttributeFollowsTheFileMode() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.mdb"));
    QVERIFY(!frmTips::HasAttribute(file, 1)); // missing
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(!frmTips::HasAttribute(file, 1));
    QVERIFY(!frmTips::HasAttribute(file, 16));
    QVERIFY(TestArchive::MakeReadOnly(file));
    QVERIFY(frmTips::HasAttribute(file, 1)); // even when this user could write it anyway (root)
    QVERIFY(!frmTips::HasAttribute(file, 1 | 16));
    QVERIFY(frmTips::HasAttribute(dir.path(), 16));
}

void TestOpen::writableArchiveOpensOnItsFirstTip() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    w.load();
    QCOMPARE(w.boxes.count(), 0);
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Quillnote.mdb"));
    QCOMPARE(w.boxText(0), QStringLiteral("Alfa"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  3"));
    QCOMPARE(w.items(QStringLiteral("cboTitoli")),
             (QStringList{QStringLiteral("Alfa"), QStringLiteral("Beta"), QStringLiteral("Gamma")}));
    QCOMPARE(w.items(QStringLiteral("cboFindCategoria")),
             (QStringList{QStringLiteral("[Tutte le categorie]"), QStringLiteral("Varie")}));
    for (const QString& name : browsingControls())
        QVERIFY2(w.child<QWidget>(name)->isEnabled(), qPrintable(name));
    QVERIFY(w.window->DatabaseOpen);
    QVERIFY(w.window->RecordsetOpen);
    QCOMPARE(GenericBas::DatabasePath, w.path);
    QVERIFY(!TestArchive::IsFree(w.path)); // opened exclusively
}

void TestOpen::readOnlyArchiveWithTips() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    QVERIFY(TestArchive::MakeReadOnly(w.path));
    w.load({}, {QMessageBox::Ok});
    QCOMPARE(w.boxes.count(), 1);
    const auto box = w.boxes.last();
    QCOMPARE(box.title, QStringLiteral("Quillnote"));
    QCOMPARE(box.text, ReadOnlyText);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Quillnote.mdb"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  3"));
    for (const QString& name :
         {QStringLiteral("cmdUtility"), QStringLiteral("cmdBookmark"), QStringLiteral("optWork(1)")})
        QVERIFY2(!w.child<QWidget>(name)->isEnabled(), qPrintable(name));
    QVERIFY(w.button(QStringLiteral("cmdSposta(2)"))->isEnabled());
    QVERIFY(w.combo(QStringLiteral("cboSelectResearch"))->isEnabled());
    QVERIFY(!w.window->DatabaseOpen);
    QVERIFY(w.window->RecordsetOpen);
    QVERIFY(!GenericBas::TipsDatabase->Updatable());
    // Browsing still works.
    w.click(QStringLiteral("cmdSposta(2)"));
    QCOMPARE(w.boxText(0), QStringLiteral("Beta"));
}

void TestOpen::readOnlyEmptyArchive() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path));
    QVERIFY(TestArchive::MakeReadOnly(w.path));
    w.load({}, {QMessageBox::Ok, QMessageBox::Ok});
    QCOMPARE(w.boxes.count(), 2);
    QCOMPARE(w.boxes.seen().at(0).text, ReadOnlyText);
    const auto box = w.boxes.last();
    QCOMPARE(box.title, QStringLiteral("Quillnote"));
    QCOMPARE(box.text, QStringLiteral("Database vuoto e di sola lettura!"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!w.button(QStringLiteral("optWork(1)"))->isEnabled());
    QVERIFY(w.button(QStringLiteral("optWork(0)"))->isChecked());
}

void TestOpen::writableEmptyArchiveStartsInEditMode() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path));
    w.load({}, {QMessageBox::Ok});
    QCOMPARE(w.boxes.count(), 1);
    const auto box = w.boxes.last();
    QCOMPARE(box.title, QStringLiteral("Quillnote"));
    QCOMPARE(w.boxes.lastLines(),
             (QStringList{QStringLiteral("Il Database Quillnote.mdb è vuoto."),
                          QStringLiteral("Per iniziare ad inserire dei dati premere il pulsante Nuovo e,"),
                          QStringLiteral("dopo aver digitato nelle caselle le informazioni da registrare,"),
                          QStringLiteral("confermare premendo il pulsante Salva.")}));
    QCOMPARE(box.icon, QMessageBox::Information);
    QVERIFY(w.button(QStringLiteral("optWork(1)"))->isChecked());
    QCOMPARE(w.counter(), QStringLiteral("0  di  0"));
    QVERIFY(w.items(QStringLiteral("cboFindCategoria")).isEmpty());
    QVERIFY(w.window->DatabaseOpen);
}

void TestOpen::incompatibleArchive_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");
    const QStringList all = TestArchive::TipsFieldNames();
    QTest::newRow("no TipsTable") << QStringLiteral("Ricette") << all;
    QTest::newRow("table name in other case") << QStringLiteral("tipstable") << all;
    for (const QString& field : all) {
        QStringList fewer = all;
        fewer.removeOne(field);
        QTest::newRow(qPrintable(QStringLiteral("without ") + field)) << QStringLiteral("TipsTable") << fewer;
    }
    QStringList otherCase = all;
    otherCase.replace(1, QStringLiteral("titolo"));
    QTest::newRow("field name in other case") << QStringLiteral("TipsTable") << otherCase;
}

void TestOpen::incompatibleArchive() {
    QFETCH(QString, table);
    QFETCH(QStringList, fields);
    ArchiveWindow w;
    const QString good = w.dir.filePath(QStringLiteral("Buono.mdb"));
    const QString bad = w.dir.filePath(QStringLiteral("Altro.mdb"));
    QVERIFY(TestArchive::CreateTips(good, threeTips()));
    QVERIFY(TestArchive::CreateTable(bad, table, fields));
    w.load(good);
    w.boxes.arm(QMessageBox::Ok);
    w.window->OpenDatabase(bad);
    QCOMPARE(w.boxes.count(), 1);
    const auto box = w.boxes.last();
    QCOMPARE(box.title, QStringLiteral("Quillnote - Operazione annullata"));
    QCOMPARE(w.boxes.lastLines(),
             (QStringList{QStringLiteral("Impossibile aprire e/o modificare"), bad,
                          QStringLiteral("Il datatbase che si sta cercando di aprire non "),
                          QStringLiteral("è compatibile con la struttura del programma!")}));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: nessuno!"));
    QCOMPARE(GenericBas::DatabasePath, good); // unchanged
    for (const QString& name : browsingControls())
        QVERIFY2(!w.child<QWidget>(name)->isEnabled(), qPrintable(name));
    QVERIFY(w.items(QStringLiteral("cboTitoli")).isEmpty());
    QCOMPARE(w.counter(), QString());
    QVERIFY(!w.window->DatabaseOpen);
    QVERIFY(TestArchive::IsFree(bad)); // closed again
}

void TestOpen::extraFieldsAreAccepted() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTable(w.path, QStringLiteral("TipsTable"),
                                     TestArchive::TipsFieldNames() << QStringLiteral("Autore")));
    w.load();
    QCOMPARE(w.boxes.count(), 0);
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Quillnote.mdb"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  1"));
}

void TestOpen::missingFileReportsTheEngineError() {
    ArchiveWindow w;
    const QString missing = w.dir.filePath(QStringLiteral("Manca.mdb"));
    w.load(missing, {QMessageBox::Ok});
    QCOMPARE(w.boxes.count(), 1);
    const auto box = w.boxes.last();
    QCOMPARE(box.title, QStringLiteral("Quillnote"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    const QStringList lines = w.boxes.lastLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Errore numero: 3024"));
    QCOMPARE(lines.at(1), qn::errorDescription(3024, missing));
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: nessuno!"));
    QVERIFY(!w.combo(QStringLiteral("cboSelectResearch"))->isEnabled());
    QVERIFY(!w.button(QStringLiteral("cmdSposta(0)"))->isEnabled());
    QVERIFY(w.button(QStringLiteral("cmdOpenNewDB"))->isEnabled());
    QVERIFY(!GenericBas::TipsDatabase);
}

void TestOpen::lockedFileReportsTheEngineError() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    auto holder = qn::DBEngine::Workspaces(0).OpenDatabase(w.path, true, false);
    w.load({}, {QMessageBox::Ok});
    QCOMPARE(w.boxes.count(), 1);
    QVERIFY2(w.boxes.last().text.startsWith(QStringLiteral("Errore numero: 3045\n")),
             qPrintable(w.boxes.last().text));
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: nessuno!"));
    QVERIFY(!w.button(QStringLiteral("cmdSposta(2)"))->isEnabled());
}

void TestOpen::cancelledOpenDialogKeepsTheArchive() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    w.load();
    w.click(QStringLiteral("optWork(1)"));
    FileDialogAnswer cancel{QString()};
    w.click(QStringLiteral("cmdOpenNewDB"));
    QVERIFY(cancel.answered());
    QCOMPARE(cancel.title(), QStringLiteral("Seleziona il DB da aprire"));
    QCOMPARE(cancel.nameFilters(), QStringList{QStringLiteral("Microsoft Access (.mdb) (*.mdb)")});
    QVERIFY(w.button(QStringLiteral("optWork(0)"))->isChecked());
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Quillnote.mdb"));
    QCOMPARE(GenericBas::DatabasePath, w.path);
    QCOMPARE(w.counter(), QStringLiteral("1  di  3"));
    QVERIFY(w.window->DatabaseOpen);
    QCOMPARE(w.window->focusWidget(), w.child<QWidget>(QStringLiteral("txtdb(0)")));
}

void TestOpen::openDialogSwitchesArchives() {
    ArchiveWindow w;
    const QString other = w.dir.filePath(QStringLiteral("Altro.mdb"));
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    QVERIFY(TestArchive::CreateTips(other, {Tip(QStringLiteral("Zeta")), Tip(QStringLiteral("Eta"))}));
    w.load();
    FileDialogAnswer choose{other};
    w.click(QStringLiteral("cmdOpenNewDB"));
    QVERIFY(choose.answered());
    QCOMPARE(w.boxes.count(), 0);
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Altro.mdb"));
    QCOMPARE(GenericBas::DatabasePath, other);
    QCOMPARE(w.boxText(0), QStringLiteral("Eta"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  2"));
    QVERIFY(TestArchive::IsFree(w.path)); // the first archive was closed
}

void TestOpen::sameReadOnlyArchiveCanBeChosenAgain() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    QVERIFY(TestArchive::MakeReadOnly(w.path));
    w.load({}, {QMessageBox::Ok});
    FileDialogAnswer choose{w.path};
    w.boxes.arm(QMessageBox::Ok);
    w.click(QStringLiteral("cmdOpenNewDB"));
    QVERIFY(choose.answered());
    QCOMPARE(w.boxes.count(), 2);
    QCOMPARE(w.boxes.last().text, ReadOnlyText); // not "file in use"
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Quillnote - DB corrente: Quillnote.mdb"));
    QCOMPARE(w.counter(), QStringLiteral("1  di  3"));
}

void TestOpen::unloadReleasesTheArchiveAndTheMessageFile() {
    ArchiveWindow w;
    QVERIFY(TestArchive::CreateTips(w.path, threeTips()));
    w.load();
    const QString message = GenericBas::TempFolder() + QStringLiteral("email.eml");
    QFile f(message);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("From: a\r\n");
    f.close();
    w.window->close();
    QVERIFY(!QFile::exists(message));
    QVERIFY(TestArchive::IsFree(w.path));
}

QTEST_MAIN(TestOpen)
#include "tst_open.moc"
