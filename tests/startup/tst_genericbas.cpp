// Start-up and the shared routines: path pieces, quoting, file tests, the private temporary
// folder, the archive folder, always-on-top, the information options, and Main's choice of
// archive, its messages and the single-copy lock.
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"
#include "startup/Platform.h"

#include <QtTest>
#include <QtWidgets>

using namespace GenericBas;

// Main run in a folder of its own, which also holds its lock; boxes are answered by `watcher`.
struct StartupRun {
    QTemporaryDir dir;
    MessageBoxWatcher watcher;
    StartupOptions options{dir.path(), dir.path(), {}};
    ~StartupRun() { Shutdown(); }
    QString file(const QString& name = QStringLiteral("Quillnote.mdb")) const { return dir.filePath(name); }
    bool main(const QStringList& args = {}) { return DatabasePath.clear(), Main(args, options); }
};

class tst_GenericBas : public QObject {
    Q_OBJECT

private slots:
    void sharedRoutines() {
        // "folder|name" of each path; "\" is a name character.
        QStringList pieces;
        for (const QString path : {"/a/b.mdb", "b.mdb", "", "/", "dati/x y.mdb", "c:\\a\\b.mdb"})
            pieces << FolderOf(path) + "|" + FileNameOf(path);
        QCOMPARE(pieces, QStringList({"/a/|b.mdb", "|", "|", "/|", "dati/|x y.mdb", "|"}));
        QCOMPARE(QuoteSql("'a''b' l'ultimo") + QuoteSql("senza \"*?#["), "''a''''b'' l''ultimosenza \"*?#[");
        // A program in the root folder has "/" as its folder, not "//".
        QCOMPARE(qn::platform::WithTrailingSeparator("/"), "/");
        // FileExists only reads the attributes: an archive the engine holds stays locked against
        // another process.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("aperto.mdb"));
        QVERIFY(!FileExists(path) && !FileExists(dir.path()) && !FileExists({}));
        EngineFixture::createTipsDatabase(path);
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        QVERIFY(FileExists(path));
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {path, QStringLiteral("BEGIN EXCLUSIVE; COMMIT;")});
        QVERIFY(shell.waitForFinished(10000) &&
                (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty()));
    }

    void tempFolderIsPrivate() {
        const auto closed = [](const QString& f) { return (QFile::permissions(f) & 0x7077) == 0x7000; };
        QVERIFY(TempFolder().endsWith(QLatin1Char('/')) && closed(TempFolder()));
        // A folder of ours left open to others is closed again; a link planted in its place is refused.
        QTemporaryDir open, planted, other;
        const QString name = QStringLiteral("/quillnote-%1").arg(::getuid());
        QVERIFY(QDir().mkpath(open.path() + name) && QFile::setPermissions(open.path() + name, {0x7777}));
        QCOMPARE(qn::platform::PrivateFolder(open.path()), open.path() + name + "/");
        QVERIFY(closed(open.path() + name) && QFile::link(other.path(), planted.path() + name));
        QCOMPARE(qn::platform::PrivateFolder(planted.path()), QString());
    }

    void archiveFolderRules() {
        using qn::platform::ArchiveFolder;
        QStandardPaths::setTestModeEnabled(true); // the data folder of tests, not the user's
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/";
        QDir(data).removeRecursively();
        // An installed program uses the data folder although its own folder is writable here;
        // a build folder's program keeps its archive beside itself.
        const QString exe = QCoreApplication::applicationDirPath() + "/";
        QVERIFY(QFileInfo(exe).isWritable());
        QCOMPARE(qn::platform::ApplicationFolder(ArchiveFolder::ExecutableWhenWritable), exe);
        QCOMPARE(qn::platform::ApplicationFolder(ArchiveFolder::UserData), data);
        QVERIFY(QFileInfo(data).isDir());
        const bool installed = qn::platform::BuiltArchiveFolder() == ArchiveFolder::UserData;
        QCOMPARE(qn::platform::ApplicationFolder(), installed ? data : exe);
        QStandardPaths::setTestModeEnabled(false);
    }

    void informationOptions() {
        // Only the whole command line "--help" or "--version" is an option.
        QCOMPARE(InformationText({"--version"}), "Quillnote 1.0.0\n");
        const QString help = InformationText({"--help"});
        QVERIFY(help.startsWith("Uso: quillnote [ARCHIVIO.mdb]\n") && help.contains("--version"));
        for (const QStringList& other : QList<QStringList>{
                 {}, {"--version", "altro.mdb"}, {"--help", "--version"}, {"-h"}, {"--VERSION"}})
            QVERIFY2(InformationText(other).isEmpty(), qPrintable(other.join(' ')));
        // The program prints them and ends without a display to connect to.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        for (const QString option : {"--version", "--help"}) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(QN_PROGRAM), {option});
            QVERIFY(program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), InformationText({option}));
            QCOMPARE(program.readAllStandardError(), QByteArray());
        }
    }

    void commandLineRules() {
        // The arguments, split at "|" ("@" stands for the application folder), and the archive they
        // open; the extension is compared case-sensitively.
        // clang-format off
        const char* cases[][2] = {{"", "Quillnote.mdb"}, {"/|altro.mdb", "altro.mdb"}, {"/altro.mdb", "altro.mdb"},
            {"altro.mdb", "altro.mdb"}, {"/|MAIUSC.MDB", "Quillnote.mdb"}, {"@/sub/dentro.mdb", "sub/dentro.mdb"},
            {"@/sub/manca.mdb", "Quillnote.mdb"}, {"con|spazi.mdb", "con spazi.mdb"},
            {"@/con spazi.mdb", "con spazi.mdb"}, {"--version|altro.mdb", "Quillnote.mdb"}};
        // clang-format on
        for (const auto& [args, opened] : cases) {
            StartupRun run;
            QDir(run.dir.path()).mkpath(QStringLiteral("sub"));
            // Each archive holds one tip titled with its name; the default one exists already and is
            // opened as it is, never made again.
            for (QString n : {"Quillnote.mdb", "altro.mdb", "MAIUSC.MDB", "sub/dentro.mdb", "con spazi.mdb"})
                EngineFixture::addTip(*EngineFixture::createTipsDatabase(run.file(n)), n.section('/', -1));
            QVERIFY(run.main(QString(args).replace('@', run.dir.path()).split('|', Qt::SkipEmptyParts)));
            QCOMPARE(QDir::cleanPath(DatabasePath), run.file(opened));
            QCOMPARE(TipsWindow()->FieldText(0), QString(opened).section('/', -1));
            // An ignored name is not mentioned.
            QVERIFY(TipsWindow()->isVisible() && run.watcher.count() == 0);
        }
    }

    void failuresStopWithAMessage() {
        const QString texts[] = {"Impossibile eseguire il programma!\n"
                                 "Nel sistema non sono presenti i file Microsoft Jet 3.5 Engines\n"
                                 "Installare le librerie (dll) necessarie e riprovare.",
                                 "Errore nella creazione del nuovo database"};
        for (bool engine : {false, true}) {
            StartupRun run;
            run.options.appFolder = run.file(QStringLiteral("non-esiste")); // the default cannot be made
            run.options.engineAvailable = [engine] { return engine; };
            run.watcher.arm();
            QVERIFY(!run.main() && !TipsWindow()->isVisible() && run.watcher.count() == 1);
            const auto b = run.watcher.last();
            QCOMPARE(Box(b.text, b.icon, b.buttons, b.title), Box(texts[engine], QMessageBox::Critical));
        }
    }

    void singleCopyLock() {
        StartupRun run;
        QLockFile first(run.file("quillnote.lock"));
        QVERIFY(first.tryLock(0) && !run.main());
        QVERIFY(run.watcher.count() == 0 && DatabasePath.isEmpty() && !QFile::exists(run.file()));
        // The lock of a copy that died does not count: no process can have this number (pid_max ≤ 2^22).
        first.unlock();
        QFile stale(run.file("quillnote.lock"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("99999999\nquillnote\n\n") > 0);
        stale.close();
        // Alone, the copy makes the missing default archive and holds the lock against the next one.
        QVERIFY(run.main() && QFileInfo(run.file()).isFile() &&
                !QLockFile(run.file("quillnote.lock")).tryLock(0));
        for (bool onTop : {true, false}) { // always on top keeps the window shown
            SetTopMost(TipsWindow(), onTop);
            QVERIFY(TipsWindow()->isVisible() &&
                    bool(TipsWindow()->windowFlags() & Qt::WindowStaysOnTopHint) == onTop);
        }
        // Qt's own texts are Italian too, and so are its dates and numbers.
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), "&S\u00ec");
        QCOMPARE(QLocale().toString(1234567) + QLocale().toString(QDate(2026, 12, 6), QLocale::ShortFormat),
                 "1.234.56706/12/26");
    }

    // A second copy of the program, a process of its own, ends at once without a word or a
    // window and brings the running copy's window to the front. Its command line opens nothing.
    void secondCopyRaisesTheFirst() {
        QTemporaryDir runtime; // the second copy's private folder is made inside it, as ours is
        StartupRun run;
        run.options.lockFolder = qn::platform::PrivateFolder(runtime.path());
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(run.file()), "primo");
        QVERIFY(run.main());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);

        const QString named = run.file("altro.mdb");
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(named), "intatto");
        const QByteArray before = [&] { QFile f(named); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        second.start(QStringLiteral(QN_PROGRAM), {named});
        // The event loop runs meanwhile, so this copy can answer.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
        QTRY_COMPARE(QApplication::activeWindow(), TipsWindow());
        QVERIFY(clock.elapsed() < 10000 && run.watcher.count() == 0);
        QCOMPARE(QDir::cleanPath(DatabasePath), run.file());
        QFile after(named);
        QVERIFY(after.open(QIODevice::ReadOnly) && after.readAll() == before);
        QVERIFY(!QFile::exists(named + "-journal") && EngineFixture::errorOf([&] {
                    qn::DBEngine::Workspaces(0).OpenDatabase(named, true, false);
                }) == 0);
    }
};

QTEST_MAIN(tst_GenericBas)
#include "tst_genericbas.moc"
