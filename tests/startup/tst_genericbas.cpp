// Start-up and the shared routines: path pieces, quoting, file tests, the private temporary
// folder, always-on-top, and Main's choice of archive, its messages and the single-copy lock.
#include "EngineFixture.h"
#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "startup/Platform.h"
#include "tipsdb/CreateDB.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

using namespace GenericBas;

namespace {

// Main run in a folder of its own, with its own lock; boxes are answered by `watcher`.
struct StartupRun {
    QTemporaryDir dir;
    MessageBoxWatcher watcher;
    StartupOptions options{dir.path(), dir.path(), {}};
    ~StartupRun() { Shutdown(); }
    QString file(const QString& name = QStringLiteral("Quillnote.mdb")) const { return dir.filePath(name); }
    bool main(const QStringList& args = {}) {
        DatabasePath.clear();
        return Main(args, options);
    }
};

mode_t Mode(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

class tst_GenericBas : public QObject {
    Q_OBJECT

private slots:
    void textRoutines() {
        // "folder|name" of each path; "\" is a name character.
        QStringList pieces;
        for (const QString path : {"/a/b.mdb", "b.mdb", "", "/", "dati/x y.mdb", "c:\\a\\b.mdb"})
            pieces << FolderOf(path) + "|" + FileNameOf(path);
        QCOMPARE(pieces, QStringList({"/a/|b.mdb", "|", "|", "/|", "dati/|x y.mdb", "|"}));
        QCOMPARE(QuoteSql("'a''b' l'ultimo"), "''a''''b'' l''ultimo");
        QCOMPARE(QuoteSql("senza apici \"*?#["), "senza apici \"*?#[");
        // A program in the root folder has "/" as its folder, not "//".
        QCOMPARE(qn::platform::WithTrailingSeparator("/") + qn::platform::WithTrailingSeparator("/q"),
                 "//q/");
        QVERIFY(IsJetInstalled());
    }

    void fileExistsLeavesAnOpenArchiveLocked() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("aperto.mdb"));
        QVERIFY(!FileExists(path) && !FileExists(dir.path()) && !FileExists({}));
        QVERIFY(CreateDB::CreateTipsDatabase(path));
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        QVERIFY(FileExists(path));
        // Asking must not drop the engine's locks: another process is still refused.
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {path, QStringLiteral("BEGIN EXCLUSIVE; COMMIT;")});
        QVERIFY(shell.waitForFinished(10000));
        QVERIFY(shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty());
        QCOMPARE(db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset)->RecordCount(), 0L);
    }

    void privateTempFolder() {
        const QString folder = TempFolder();
        QVERIFY(folder.endsWith(QLatin1Char('/')) && QFileInfo(folder).ownerId() == ::getuid());
        QCOMPARE(Mode(folder), mode_t(0700));
        // A folder of ours left open to others is closed again; a link planted in its place is refused.
        QTemporaryDir open, planted, other;
        const QString name = QStringLiteral("/quillnote-%1").arg(::getuid());
        QVERIFY(QDir().mkpath(open.path() + name));
        ::chmod(QFile::encodeName(open.path() + name).constData(), 0777);
        QCOMPARE(qn::platform::PrivateFolder(open.path()), open.path() + name + "/");
        QCOMPARE(Mode(open.path() + name), mode_t(0700));
        QVERIFY(QFile::link(other.path(), planted.path() + name));
        QCOMPARE(qn::platform::PrivateFolder(planted.path()), QString());
    }

    void setTopMostKeepsTheWindowShown() {
        QWidget w;
        w.show();
        for (bool onTop : {true, false}) {
            SetTopMost(&w, onTop);
            QVERIFY(bool(w.windowFlags() & Qt::WindowStaysOnTopHint) == onTop && w.isVisible());
        }
    }

    void commandLineRules_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("opened"); // relative to the application folder
        QTest::newRow("no arguments") << QStringList{} << "Quillnote.mdb";
        QTest::newRow("slash, blank, bare name") << QStringList{"/", "altro.mdb"} << "altro.mdb";
        QTest::newRow("slash glued to bare name") << QStringList{"/altro.mdb"} << "altro.mdb";
        QTest::newRow("upper-case extension") << QStringList{"/", "MAIUSC.MDB"} << "Quillnote.mdb";
        QTest::newRow("absolute path") << QStringList{"@/sub/dentro.mdb"} << "sub/dentro.mdb";
        QTest::newRow("absolute path missing") << QStringList{"@/sub/manca.mdb"} << "Quillnote.mdb";
        QTest::newRow("name with blanks") << QStringList{"con", "spazi.mdb"} << "con spazi.mdb";
    }

    void commandLineRules() {
        QFETCH(QStringList, args);
        QFETCH(QString, opened);
        StartupRun run;
        QDir(run.dir.path()).mkpath(QStringLiteral("sub"));
        // Each archive holds one tip titled with its name; the default one exists already and is
        // opened as it is, never made again.
        for (const char* name :
             {"Quillnote.mdb", "altro.mdb", "MAIUSC.MDB", "sub/dentro.mdb", "con spazi.mdb"})
            EngineFixture::addTip(*EngineFixture::createTipsDatabase(run.file(name)),
                                  QFileInfo(name).fileName());
        QVERIFY(run.main(args.replaceInStrings(QStringLiteral("@"), run.dir.path())));
        QCOMPARE(QDir::cleanPath(DatabasePath), run.file(opened));
        QVERIFY(TipsWindow()->isVisible() && TipsDatabase);
        QCOMPARE(TipsWindow()->FieldText(0), QFileInfo(opened).fileName());
        QCOMPARE(run.watcher.count(), 0); // an ignored name is not mentioned
    }

    void failuresStopWithAMessage() {
        const QString engineMissing = "Impossibile eseguire il programma!\n"
                                      "Nel sistema non sono presenti i file Microsoft Jet 3.5 Engines\n"
                                      "Installare le librerie (dll) necessarie e riprovare.";
        for (bool engine : {false, true}) {
            StartupRun run;
            run.options.appFolder = run.file(QStringLiteral("non-esiste")); // the default cannot be made
            run.options.engineAvailable = [engine] { return engine; };
            run.watcher.arm();
            QVERIFY(!run.main() && !TipsWindow()->isVisible());
            QCOMPARE(run.watcher.count(), 1);
            const auto box = run.watcher.last();
            QCOMPARE(QStringList({box.title, box.text}),
                     QStringList({"Quillnote",
                                  engine ? "Errore nella creazione del nuovo database" : engineMissing}));
            QVERIFY(box.icon == QMessageBox::Critical && box.buttons == QMessageBox::Ok);
            QVERIFY(QLockFile(run.file("quillnote.lock")).tryLock(0)); // the lock goes with the copy
        }
    }

    void secondCopyEndsSilently() {
        StartupRun run;
        QLockFile first(run.file("quillnote.lock"));
        QVERIFY(first.tryLock(0));
        QVERIFY(!run.main());
        QVERIFY(run.watcher.count() == 0 && DatabasePath.isEmpty() && !QFile::exists(run.file()));
        first.unlock();
        // Alone, it makes the missing default archive and holds the lock against the next copy.
        QVERIFY(run.main());
        QVERIFY(QFileInfo(run.file()).isFile() && TipsWindow()->isVisible());
        QVERIFY(!QLockFile(run.file("quillnote.lock")).tryLock(0));
        // Qt's own texts are Italian too.
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), "S\u00ec");
    }

    void staleLockDoesNotBlock() {
        StartupRun run;
        // The lock of a copy that died: no process can have this number (pid_max is at most 2^22).
        QFile lock(run.file("quillnote.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write("99999999\nquillnote\n\n") > 0);
        lock.close();
        QVERIFY(run.main());
        QCOMPARE(DatabasePath, run.file());
    }
};

QTEST_MAIN(tst_GenericBas)
#include "tst_genericbas.moc"
