// The main window on archives that must not be trusted or cannot be written: hostile schemas
// refused with the reason, damage said once and no half-read tip left on screen, and a save on
// a disk that is full kept on screen until it can be made.
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QString Incompatible = "Impossibile aprire e/o modificare\n%1\nIl datatbase che si sta cercando di "
                             "aprire non \nè compatibile con la struttura del programma!\nMotivo: %2";
const QString Damaged = "Il database %1 è danneggiato: una parte dei dati non si può leggere.\nPer "
                        "recuperare i dati leggibili eseguire la riparazione dalla finestra di "
                        "manutenzione, poi riaprirlo.";
const QString Typing = "\nIl tip che si stava scrivendo non è stato salvato: resta nelle caselle.";

// Tips enough for several pages of table and index: titles in key order, two keys in turn.
QList<Tip> manyTips(int n) {
    QList<Tip> tips;
    for (int i = 0; i < n; ++i)
        tips << Tip(QString("Tip %1").arg(i, 3, 10, QChar('0')), QString(300, QChar('a' + i % 26)),
                    QString("Cat %1").arg(i % 5), QString("chiave %1").arg(i % 2));
    return tips;
}

// The window as after a failed opening: no archive, nothing shown, only cmdOpenNewDB usable.
bool noArchive(const ArchiveWindow& w) {
    bool others = false;
    for (const char* name : {"cboSelectResearch", "cboTitoli", "cmdUtility", "cmdBookmark", "optWork(1)",
                             "cmdSposta(0)", "cmdSposta(2)"})
        others = others || w.widget(name)->isEnabled();
    return !others && w.win->cmdOpenNewDB->isEnabled() && !w.win->DatabaseOpen &&
           w.win->windowTitle() == "Quillnote - DB corrente: nessuno!" && w.counter().isEmpty() &&
           w.items("cboTitoli").isEmpty() && w.items("cboFindCategoria").isEmpty();
}

// Child mode: the archive's folder may not grow past the archive's size while a tip is saved;
// then the limit goes and the same save is made again. Exit status 0 when all went as it should.
int fullDiskChild(int argc, char** argv);

} // namespace

class TestSafety : public QObject {
    Q_OBJECT

private slots:
    void hostileArchivesAreRefused_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        const QString trigger =
            "il database contiene dei trigger, comandi che verrebbero eseguiti a ogni modifica.";
        QTest::newRow("TipsTable a view") << "ALTER TABLE TipsTable RENAME TO Dati; CREATE VIEW TipsTable AS "
                                             "SELECT * FROM Dati"
                                          << "TipsTable è una vista (una query salvata), non una tabella.";
        QTest::newRow("TipsTable virtual")
            << "DROP TABLE TipsTable; CREATE VIRTUAL TABLE TipsTable USING fts5(KeyPrimary, Titolo, "
               "Procedura, Categoria, ChiaveRicerca, Note, Bookmark, Linguaggio)"
            << "TipsTable è una tabella virtuale, i cui dati sono forniti da un modulo esterno.";
        QTest::newRow("a trigger that empties the table")
            << "CREATE TRIGGER wipe AFTER UPDATE ON TipsTable BEGIN DELETE FROM TipsTable; END" << trigger;
        QTest::newRow("a trigger calling our like, on another table")
            << "CREATE TABLE Log(t); CREATE TRIGGER spia AFTER INSERT ON Log BEGIN UPDATE TipsTable SET Note "
               "= (NEW.t LIKE '*'); END"
            << trigger;
    }
    void hostileArchivesAreRefused() {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        ArchiveWindow w;
        QVERIFY(CreateTips(w.path, {{"Alfa"}, {"Beta"}}) && EngineFixture::rawExec(w.path, change) == 0);
        const QByteArray before = EngineFixture::fileBytes(w.path);
        QVERIFY(w.load({QMessageBox::Ok}));
        QCOMPARE(w.said(), QStringList{Box(Incompatible.arg(w.path, reason), QMessageBox::Critical,
                                           QMessageBox::Ok, "Quillnote - Operazione annullata")});
        QVERIFY(noArchive(w));
        w.close();
        QCOMPARE(EngineFixture::fileBytes(w.path), before);
    }

    // Accepted, an archive another program left in WAL mode is used in the delete journal mode.
    void walArchiveLeavesNoFilesBeside() {
        ArchiveWindow w;
        QVERIFY(CreateTips(w.path, {{"Alfa"}}) &&
                EngineFixture::rawExec(w.path, "PRAGMA journal_mode=WAL") == 0);
        QVERIFY(w.load());
        QCOMPARE(w.tip(), "Alfa 1  di  1");
        QVERIFY(!QFile::exists(w.path + "-wal") && !QFile::exists(w.path + "-shm"));
        w.close();
        QCOMPARE(EngineFixture::rawColumn(w.path, "PRAGMA journal_mode"), QStringList{"delete"});
    }

    // Damage met at the opening (a page in the middle of the table), while browsing (the disk
    // goes bad under the open window: pages of long procedures the window no longer holds in
    // memory) or while saving a tip being typed (an index only another program made): one
    // message, then the window without the archive, the file as it was.
    void damageIsSaidOnce_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("at the opening") << "table";
        QTest::newRow("while browsing") << "overflow";
        QTest::newRow("while saving") << "Altrui";
    }
    void damageIsSaidOnce() {
        QFETCH(QString, where);
        ArchiveWindow w;
        QList<Tip> tips = manyTips(150);
        if (where == "overflow") // more than SQLite keeps in memory
            for (Tip& t : tips) t.fields[1] = QString(30000, QChar('p'));
        QVERIFY(CreateTips(w.path, tips) &&
                EngineFixture::rawExec(w.path, "CREATE INDEX Altrui ON TipsTable(Note)") == 0);
        QList<qint64> pages;
        for (const QString& n : EngineFixture::rawColumn(
                 w.path, where == "table" ? "SELECT pageno FROM dbstat WHERE name = 'TipsTable' AND "
                                            "pagetype = 'leaf' LIMIT 1 OFFSET 6"
                         : where == "overflow"
                             ? "SELECT pageno FROM dbstat WHERE name = 'TipsTable' AND pagetype = 'overflow'"
                             : "SELECT rootpage FROM sqlite_master WHERE name = '" + where + "'"))
            pages << (n.toLongLong() - 1) * 4096;
        const auto damage = [&] {
            for (qint64 page : pages) EngineFixture::overwrite(w.path, page, 8, '\x33'); // no page SQLite knows
        };
        if (where != "overflow") damage();
        QByteArray before = EngineFixture::fileBytes(w.path);
        const QString message = Box(Damaged.arg(w.path), QMessageBox::Critical);
        if (where == "table") {
            QVERIFY(w.load({QMessageBox::Ok}));
        } else {
            QVERIFY(w.load());
            QCOMPARE(w.tip(), "Tip 000 1  di  150");
            if (where == "Altrui") {
                QVERIFY(w.click("optWork(1)") && w.click("cmdTool(4)"));
                w.type("txtdb(4)", "nota nuova");
                QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
            } else {
                damage();
                before = EngineFixture::fileBytes(w.path);
                QVERIFY(w.pick("cboTitoli", "Tip 040", {QMessageBox::Ok}));
            }
        }
        QCOMPARE(w.said(),
                 QStringList{where == "Altrui" ? Box(Damaged.arg(w.path) + Typing, QMessageBox::Critical)
                                               : message});
        QVERIFY(noArchive(w));
        // What the user typed stays; what was read from the file does not.
        QCOMPARE(w.boxText(0) + '|' + w.boxText(4), where == "Altrui" ? "Tip 000|nota nuova" : "|");
        QVERIFY(!w.win->cmdTool[1]->isEnabled());
        w.click("optWork(0)");
        w.click("cmdSposta(2)");
        QCOMPARE(w.boxes.count(), 1);
        w.close();
        QCOMPARE(EngineFixture::fileBytes(w.path), before);
    }

    void fullDiskKeepsTheTipUntilRoomIsMade() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Quillnote.mdb");
        QVERIFY(CreateTips(path, {{"Alfa"}, {"Beta"}}));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--full-disk", path});
        QVERIFY(child.waitForFinished(120000));
        QVERIFY2(child.exitCode() == 0, child.readAll().constData());
        QCOMPARE(EngineFixture::rawColumn(path, "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(EngineFixture::rawColumn(path, "SELECT Titolo || length(Procedura) FROM TipsTable"),
                 QStringList({"Alfa5", "Beta5", "Grande36000"}));
    }
};

namespace {

class FullDisk : public QObject {
    Q_OBJECT
public:
    QString path;

private slots:
    void saveFailsThenSucceeds() {
        ArchiveWindow w; // on the archive the parent made
        QVERIFY(w.load({}, path));
        QVERIFY(w.click("optWork(1)") && w.click("cmdTool(0)"));
        w.fill({"Grande", "", "Varie"});
        w.type("txtdb(1)", QString("una riga\n").repeated(4000)); // pasted: more pages than the file has
        const QByteArray before = EngineFixture::fileBytes(path);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlim_t hard = limit.rlim_max;
        limit.rlim_cur = static_cast<rlim_t>(before.size());
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        QVERIFY(w.click("cmdTool(1)", {QMessageBox::Ok}));
        QCOMPARE(w.said().last(),
                 Box("Errore numero: 3026\nSpazio su disco insufficiente.", QMessageBox::Critical));
        QCOMPARE(w.boxText(0) + QString::number(w.boxText(1).size()), "Grande36000");
        QVERIFY(w.win->cmdTool[1]->isEnabled() && GenericBas::TipsRecordset->EditMode() == qn::dbEditAdd);
        QCOMPARE(EngineFixture::fileBytes(path), before);
        limit.rlim_cur = hard; // room is made
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        QVERIFY(w.click("cmdTool(1)"));
        QCOMPARE(w.tip(), "Grande 3  di  3");
        QCOMPARE(w.boxes.count(), 1);
    }
};

int fullDiskChild(int argc, char** argv) {
    QApplication app(argc, argv);
    FullDisk test;
    test.path = QString::fromLocal8Bit(argv[2]);
    return QTest::qExec(&test, 1, argv);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--full-disk") return fullDiskChild(argc, argv);
    QApplication app(argc, argv);
    TestSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_safety.moc"
