// Start-up and the shared routines: path pieces, quoting, file tests, the private temporary
// folder, always-on-top, and Main's choice of archive, its messages and the single-copy lock.
#include "MessageBoxWatcher.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"
#include "startup/Platform.h"
#include "tipsdb/CreateDB.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace GenericBas;

namespace {

// Main run in a folder of its own, with its own lock; boxes are answered by `watcher`.
struct StartupRun {
    QTemporaryDir dir;
    MessageBoxWatcher watcher;
    StartupOptions options;

    StartupRun() {
        options.appFolder = dir.path();
        options.lockFolder = dir.filePath(QStringLiteral("run"));
        QDir().mkpath(options.lockFolder);
    }
    ~StartupRun() { Shutdown(); }
    QString file(const QString& name) const { return dir.filePath(name); }
    bool main(const QStringList& args) {
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
    void pathPieces_data();
    void pathPieces();
    void quoteSqlDoublesApostrophesOnly();
    void fileExistsAsksOnlyTheAttributes();
    void fileExistsLeavesAnOpenArchiveLocked();
    void tempFolderIsPrivate();
    void privateFolderRefusesForeignOrLinkedFolders();
    void trailingSeparator();
    void setTopMostTogglesTheHint();

    void mainCreatesTheDefaultArchive();
    void mainKeepsAnExistingDefault();
    void commandLineRules_data();
    void commandLineRules();
    void creationFailureIsReported();
    void missingEngineStopsWithThreeLines();
    void secondCopyEndsSilently();
    void staleLockDoesNotBlock();
    void qtSpeaksItalianAfterStartup();
};

void tst_GenericBas::pathPieces_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::newRow("full path") << "/a/b.mdb" << "b.mdb" << "/a/";
    QTest::newRow("bare name") << "b.mdb" << "" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("root") << "/" << "" << "/";
    QTest::newRow("root file") << "/Quillnote.mdb" << "Quillnote.mdb" << "/";
    QTest::newRow("folder only") << "/a/b/" << "" << "/a/b/";
    QTest::newRow("relative") << "dati/x y.mdb" << "x y.mdb" << "dati/";
    QTest::newRow("backslash is a name character") << "c:\\a\\b.mdb" << "" << "";
}

void tst_GenericBas::pathPieces() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QCOMPARE(FileNameOf(path), name);
    QCOMPARE(FolderOf(path), folder);
}

void tst_GenericBas::quoteSqlDoublesApostrophesOnly() {
    QCOMPARE(QuoteSql(QStringLiteral("l'ultimo")), QStringLiteral("l''ultimo"));
    QCOMPARE(QuoteSql(QStringLiteral("'a''b'")), QStringLiteral("''a''''b''"));
    QCOMPARE(QuoteSql(QStringLiteral("senza apici \"*?#[")), QStringLiteral("senza apici \"*?#["));
    QCOMPARE(QuoteSql(QString()), QString());
    QCOMPARE(QuoteSql(QStringLiteral("\u00e0 \u2019")), QStringLiteral("\u00e0 \u2019"));
}

void tst_GenericBas::fileExistsAsksOnlyTheAttributes() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("x.mdb"));
    QVERIFY(!FileExists(file));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(dir.path()));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("manca/x.mdb"))));
    QVERIFY(!FileExists(QString(QChar(0)) + QStringLiteral("bad")));
    if (::geteuid() != 0) { // root reads everything
        QFile::setPermissions(file, QFileDevice::WriteOwner);
        QVERIFY(!FileExists(file));
    }
}

void tst_GenericBas::fileExistsLeavesAnOpenArchiveLocked() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("aperto.mdb"));
    QVERIFY(CreateDB::CreateTipsDatabase(path));
    auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
    QVERIFY(FileExists(path));
    QVERIFY_THROWS_EXCEPTION(qn::EngineError, qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false));
    // Another process is refused too, and the archive still works for us.
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {path, QStringLiteral("BEGIN EXCLUSIVE; COMMIT;")});
    QVERIFY(shell.waitForFinished(10000));
    QVERIFY(shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty());
    auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
    QCOMPARE(rs->RecordCount(), 0L);
}

void tst_GenericBas::tempFolderIsPrivate() {
    const QString folder = TempFolder();
    QVERIFY(!folder.isEmpty());
    QVERIFY(folder.endsWith(QLatin1Char('/')));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(Mode(folder), mode_t(0700));
    QCOMPARE(QFileInfo(folder).ownerId(), uint(::getuid()));
    QCOMPARE(TempFolder(), folder);
}

void tst_GenericBas::privateFolderRefusesForeignOrLinkedFolders() {
    QTemporaryDir base;
    const QString own = base.filePath(QStringLiteral("quillnote-%1").arg(::getuid()));
    // A folder of ours left open to others is closed again.
    QVERIFY(QDir().mkpath(own));
    ::chmod(QFile::encodeName(own).constData(), 0777);
    QCOMPARE(qn::platform::PrivateFolder(base.path()), own + QLatin1Char('/'));
    QCOMPARE(Mode(own), mode_t(0700));

    // A link planted in its place is not followed.
    QTemporaryDir other;
    QTemporaryDir base2;
    const QString planted = base2.filePath(QStringLiteral("quillnote-%1").arg(::getuid()));
    QVERIFY(QFile::link(other.path(), planted));
    QCOMPARE(qn::platform::PrivateFolder(base2.path()), QString());
    QCOMPARE(qn::platform::PrivateFolder(QString()), QString());
}

void tst_GenericBas::trailingSeparator() {
    QCOMPARE(qn::platform::WithTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    QCOMPARE(qn::platform::WithTrailingSeparator(QStringLiteral("/opt/q")), QStringLiteral("/opt/q/"));
    QCOMPARE(qn::platform::WithTrailingSeparator(QStringLiteral("/opt/q/")), QStringLiteral("/opt/q/"));
    const QString app = qn::platform::ApplicationFolder();
    QVERIFY(app.endsWith(QLatin1Char('/')) && !app.endsWith(QStringLiteral("//")));
    QVERIFY(QFileInfo(app).isDir());
}

void tst_GenericBas::setTopMostTogglesTheHint() {
    QWidget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SetTopMost(&w, true);
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(w.isVisible());
    SetTopMost(&w, false);
    QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(w.isVisible());
    SetTopMost(nullptr, true); // nothing to do
}

void tst_GenericBas::mainCreatesTheDefaultArchive() {
    StartupRun run;
    QVERIFY(run.main({}));
    const QString expected = run.dir.path() + QStringLiteral("/Quillnote.mdb");
    QCOMPARE(DatabasePath, expected);
    QVERIFY(QFileInfo(expected).isFile());
    QVERIFY(TipsWindow()->isVisible());
    QVERIFY(TipsDatabase != nullptr);
}

void tst_GenericBas::mainKeepsAnExistingDefault() {
    StartupRun run;
    const QString path = run.file(QStringLiteral("Quillnote.mdb"));
    QVERIFY(CreateDB::CreateTipsDatabase(path));
    {
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
        rs->AddNew();
        rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Conservato"));
        rs->Update();
    }
    QVERIFY(run.main({}));
    QCOMPARE(DatabasePath, path);
    QCOMPARE(TipsWindow()->FieldText(0), QStringLiteral("Conservato"));
}

void tst_GenericBas::commandLineRules_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("opened"); // relative to the application folder, "" = default
    QTest::newRow("slash, blank, bare name") << QStringList{"/", "altro.mdb"} << "altro.mdb";
    QTest::newRow("slash glued to bare name") << QStringList{"/altro.mdb"} << "altro.mdb";
    QTest::newRow("bare name") << QStringList{"altro.mdb"} << "altro.mdb";
    QTest::newRow("upper-case extension") << QStringList{"/", "MAIUSC.MDB"} << "";
    QTest::newRow("other extension") << QStringList{"testo.txt"} << "";
    QTest::newRow("absolute path") << QStringList{"@/sub/dentro.mdb"} << "sub/dentro.mdb";
    QTest::newRow("absolute path missing") << QStringList{"@/sub/manca.mdb"} << "";
    QTest::newRow("bare name missing") << QStringList{"manca.mdb"} << "";
    QTest::newRow("name with blanks") << QStringList{"con", "spazi.mdb"} << "con spazi.mdb";
}

void tst_GenericBas::commandLineRules() {
    QFETCH(QStringList, args);
    QFETCH(QString, opened);
    StartupRun run;
    QDir(run.dir.path()).mkpath(QStringLiteral("sub"));
    for (const char* name : {"altro.mdb", "MAIUSC.MDB", "testo.txt", "sub/dentro.mdb", "con spazi.mdb"})
        QVERIFY(CreateDB::CreateTipsDatabase(run.file(QString::fromUtf8(name))));
    for (QString& a : args)
        a.replace(QStringLiteral("@"), run.dir.path());

    QVERIFY(run.main(args));
    const QString expected = run.file(opened.isEmpty() ? QStringLiteral("Quillnote.mdb") : opened);
    QCOMPARE(QDir::cleanPath(DatabasePath), QDir::cleanPath(expected));
    // Falling back to the default says nothing about the ignored name.
    for (const auto& box : run.watcher.seen())
        QVERIFY2(!box.text.contains(QStringLiteral("manca")) && !box.text.contains(QStringLiteral("MAIUSC")),
                 qPrintable(box.text));
}

void tst_GenericBas::creationFailureIsReported() {
    StartupRun run;
    run.options.appFolder = run.file(QStringLiteral("non-esiste"));
    run.watcher.arm(QMessageBox::Ok);
    QVERIFY(!run.main({}));
    QCOMPARE(run.watcher.count(), 1);
    const auto box = run.watcher.last();
    QCOMPARE(box.text, QStringLiteral("Errore nella creazione del nuovo database"));
    QCOMPARE(box.title, QStringLiteral("Quillnote"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!TipsWindow()->isVisible());
}

void tst_GenericBas::missingEngineStopsWithThreeLines() {
    StartupRun run;
    run.options.engineAvailable = [] { return false; };
    run.watcher.arm(QMessageBox::Ok);
    QVERIFY(!run.main({}));
    QCOMPARE(run.watcher.count(), 1);
    QCOMPARE(run.watcher.lastLines(),
             QStringList({"Impossibile eseguire il programma!",
                          "Nel sistema non sono presenti i file Microsoft Jet 3.5 Engines",
                          "Installare le librerie (dll) necessarie e riprovare."}));
    QCOMPARE(run.watcher.last().icon, QMessageBox::Critical);
    QCOMPARE(run.watcher.last().title, QStringLiteral("Quillnote"));
    QVERIFY(!QFile::exists(run.file(QStringLiteral("Quillnote.mdb"))));
    QVERIFY(IsJetInstalled()); // the linked engine is there
}

void tst_GenericBas::secondCopyEndsSilently() {
    StartupRun run;
    QLockFile first(QDir(run.options.lockFolder).filePath(QStringLiteral("quillnote.lock")));
    QVERIFY(first.tryLock(0));
    QVERIFY(!run.main({}));
    QCOMPARE(run.watcher.count(), 0);
    QVERIFY(DatabasePath.isEmpty());
    QVERIFY(!QFile::exists(run.file(QStringLiteral("Quillnote.mdb"))));
    first.unlock();
    QVERIFY(run.main({}));
    // Now this copy holds the lock against the next one.
    QLockFile next(QDir(run.options.lockFolder).filePath(QStringLiteral("quillnote.lock")));
    QVERIFY(!next.tryLock(0));
}

void tst_GenericBas::staleLockDoesNotBlock() {
    StartupRun run;
    const QString lockPath = QDir(run.options.lockFolder).filePath(QStringLiteral("quillnote.lock"));
    // The lock a crashed copy leaves: our own lock's contents with the number of a dead process.
    QByteArray contents;
    {
        QLockFile mine(lockPath);
        QVERIFY(mine.tryLock(0));
        QFile f(lockPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        contents = f.readAll();
        mine.unlock();
    }
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    QVERIFY(gone.waitForFinished());
    contents.replace(0, contents.indexOf('\n'), QByteArray::number(deadPid));
    QFile f(lockPath);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contents);
    f.close();

    QVERIFY(run.main({}));
    QCOMPARE(DatabasePath, run.file(QStringLiteral("Quillnote.mdb")));
}

void tst_GenericBas::qtSpeaksItalianAfterStartup() {
    StartupRun run;
    QVERIFY(run.main({}));
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("S\u00ec"));
}

QTEST_MAIN(tst_GenericBas)
#include "tst_genericbas.moc"
