// Start-up: folders, options, and Main's archive, messages, Italian texts and single-copy lock.
#include "EngineFixture.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"
#include "startup/Platform.h"

#include <QtTest>
#include <QtWidgets>

using namespace GenericBas;

// Main run in a folder of its own, which holds its lock too; the arrow, only a cost here, stays still.
struct StartupRun {
    QTemporaryDir dir;
    MessageBoxWatcher watcher;
    StartupOptions options{dir.path(), dir.path(), {}};
    ~StartupRun() { Shutdown(); }
    QString file(const QString& name = QStringLiteral("Quillnote.mdb")) const { return dir.filePath(name); }
    bool main(const QStringList& args = {}) {
        Shutdown(), DatabasePath.clear();
        TipsWindow()->SuppressArrowAnimation = true;
        return Main(args, options);
    }
};

class tst_GenericBas : public QObject {
    Q_OBJECT

private slots:
    void pathsAndFolders() {
        QVERIFY(!FileExists("/nessuna/cartella/x.mdb") && !FileExists(QDir::tempPath()) && !FileExists({}));
        // The temporary folder is ours alone: one left open to others is closed, a planted link refused.
        const auto closed = [](const QString& f) { return (QFile::permissions(f) & 0x7077) == 0x7000; };
        QVERIFY(TempFolder().endsWith(QLatin1Char('/')) && closed(TempFolder()));
        QTemporaryDir open, planted, other;
        const QString name = QStringLiteral("/quillnote-%1").arg(::getuid());
        QVERIFY(QDir().mkpath(open.path() + name) && QFile::setPermissions(open.path() + name, {0x7777}));
        QCOMPARE(qn::platform::PrivateFolder(open.path()), open.path() + name + "/");
        QVERIFY(closed(open.path() + name) && QFile::link(other.path(), planted.path() + name));
        QCOMPARE(qn::platform::PrivateFolder(planted.path()), QString());
        // An installed program's archive lives in the data folder, made when missing.
        QStandardPaths::setTestModeEnabled(true); // the data folder of tests, not the user's
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/";
        QVERIFY(QDir(data).removeRecursively() &&
                qn::platform::ApplicationFolder(qn::platform::ArchiveFolder::UserData) == data &&
                QFileInfo(data).isDir());
        QStandardPaths::setTestModeEnabled(false);
    }

    void informationOptions() {
        // Only the whole command line "--help" or "--version"; printed without a display.
        for (const QStringList& other : QList<QStringList>{
                 {}, {"--version", "altro.mdb"}, {"--help", "--version"}, {"-h"}, {"--VERSION"}})
            QVERIFY2(InformationText(other).isEmpty(), qPrintable(other.join(' ')));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        for (const QString option : {"--version", "--help"}) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(QN_PROGRAM), {option});
            QVERIFY(program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit &&
                    program.exitCode() == 0 && program.readAllStandardError().isEmpty());
            const QString out = QString::fromUtf8(program.readAllStandardOutput());
            QVERIFY2(option == "--version"
                         ? out == "Quillnote 1.0.0\n"
                         : out.startsWith("Uso: quillnote [ARCHIVIO.mdb]\n") && out.contains("--version") &&
                               out.contains("~/.local/share/Quillnote"),
                     qPrintable(out));
        }
    }

    void commandLineRules() {
        // Arguments split at "|" ("@": the program's folder); each archive holds a tip titled with its name.
        StartupRun run;
        QDir(run.dir.path()).mkpath(QStringLiteral("sub"));
        for (QString n : {"Quillnote.mdb", "altro.mdb", "MAIUSC.MDB", "sub/dentro.mdb", "con spazi.mdb"})
            EngineFixture::addTip(*EngineFixture::createTipsDatabase(run.file(n)), n.section('/', -1));
        // clang-format off
        const char* cases[][2] = {{"", "Quillnote.mdb"}, {"/|altro.mdb", "altro.mdb"}, {"/altro.mdb", "altro.mdb"},
            {"altro.mdb", "altro.mdb"}, {"/|MAIUSC.MDB", "Quillnote.mdb"}, {"@/sub/dentro.mdb", "sub/dentro.mdb"},
            {"@/sub/manca.mdb", "Quillnote.mdb"}, {"con|spazi.mdb", "con spazi.mdb"},
            {"@/con spazi.mdb", "con spazi.mdb"}, {"--version|altro.mdb", "Quillnote.mdb"}};
        // clang-format on
        for (const auto& [args, opened] : cases) {
            QVERIFY(run.main(QString(args).replace('@', run.dir.path()).split('|', Qt::SkipEmptyParts)));
            QCOMPARE(QDir::cleanPath(DatabasePath) + '|' + TipsWindow()->FieldText(0),
                     run.file(opened) + '|' + QString(opened).section('/', -1));
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

    // A live copy's lock stops this one silently, a dead one's does not; a second process ends at once,
    // silent, raising the running window and opening nothing.
    void singleCopyLock() {
        QTemporaryDir runtime; // the second copy's private folder is made inside it, as ours is
        StartupRun run;
        run.options.lockFolder = qn::platform::PrivateFolder(runtime.path());
        QLockFile first(run.options.lockFolder + "quillnote.lock");
        QVERIFY(first.tryLock(0) && !run.main());
        QVERIFY(run.watcher.count() == 0 && DatabasePath.isEmpty() && !QFile::exists(run.file()));
        first.unlock();
        QFile stale(run.options.lockFolder + "quillnote.lock");
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("99999999\nquillnote\n\n") > 0);
        stale.close();
        run.watcher.arm(); // the new archive is empty, and says so
        QVERIFY(run.main() && FileExists(run.file()) && !QLockFile(stale.fileName()).tryLock(0));
        // FileExists only reads attributes: the archive the engine holds stays locked to others.
        QProcess shell;
        shell.start("sqlite3", {run.file(), "BEGIN EXCLUSIVE; COMMIT;"});
        QVERIFY(shell.waitForFinished(10000) &&
                (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty()));
        // Qt's own texts are Italian too, and so are its dates and numbers.
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes);
        QCOMPARE(box.button(QMessageBox::Yes)->text() + QLocale().toString(1234567) +
                     QLocale().toString(QDate(2026, 12, 6), QLocale::ShortFormat),
                 "&S\u00ec1.234.56706/12/26");

        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        QFile named(run.file("altro.mdb"));
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(named.fileName()), "intatto");
        QVERIFY(named.open(QIODevice::ReadOnly));
        const QByteArray before = named.readAll();
        named.close();
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(QN_PROGRAM), {named.fileName()});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
        QTRY_COMPARE(QApplication::activeWindow(), TipsWindow());
        QVERIFY(run.watcher.count() == 1 && QDir::cleanPath(DatabasePath) == run.file());
        QVERIFY(named.open(QIODevice::ReadOnly) && named.readAll() == before && !before.isEmpty() &&
                !QFile::exists(named.fileName() + "-journal"));
    }
};

QTEST_MAIN(tst_GenericBas)
#include "tst_genericbas.moc"
