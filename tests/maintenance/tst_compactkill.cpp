// A child compacts the archive over and over and is killed with SIGKILL at a random moment; after
// each kill the archive opens with every tip, whole. QN_COMPACT_KILLS raises the number of kills
// (scripts/soak-compaction.sh runs many more than CTest does).
#include "EngineFixture.h"
#include "maintenance/ArchiveFiles.h"

#include <QtTest>
#include <cstdio>

using Result = maintenance::CompactOutcome::Result;

class tst_CompactKill : public QObject {
    Q_OBJECT

    // Integrity, the tips' number, keys and procedure lengths, and the number the engine opens.
    static QString content(const QString& path) {
        const QString sql =
            "SELECT (SELECT group_concat(integrity_check) FROM pragma_integrity_check) || ' ' || count(*) || "
            "':' || sum(KeyPrimary) || ':' || sum(length(Procedura)) FROM TipsTable";
        const QString seen = EngineFixture::rawColumn(path, sql).value(0);
        return seen + ' ' +
               QString::number(
                   qn::DBEngine::OpenDatabase(path, true, false)->OpenRecordset("TipsTable")->RecordCount());
    }

private slots:
    void killedCompactionLeavesAWholeArchive() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Quillnote.mdb"), temp = maintenance::CompactionTempPath(path);
        EngineFixture::createTipsDatabase(path).reset();
        QCOMPARE(EngineFixture::rawExec(
                     path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 450) "
                           "INSERT INTO TipsTable(Titolo, Procedura) SELECT 'Tip ' || i, printf('%02000d', "
                           "i) FROM n; DELETE FROM TipsTable WHERE KeyPrimary % 3 = 0"),
                 0);
        const QString expected = content(path);
        QVERIFY2(expected.startsWith("ok 300:") && expected.endsWith(" 300"), qPrintable(expected));
        QElapsedTimer cycle;
        cycle.start();
        QCOMPARE(maintenance::CompactArchive(path).result, Result::Compacted);
        const int window = std::max(3, int(cycle.elapsed()) * 3); // a kill within the first few compactions
        int duringCopy = 0, completed = 0;
        for (int round = std::max(50, qEnvironmentVariableIntValue("QN_COMPACT_KILLS")); round > 0; --round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--compact-forever", path});
            QVERIFY(child.waitForReadyRead(20000) && child.readLine().startsWith("start"));
            QTest::qSleep(QRandomGenerator::global()->bounded(window));
            child.kill();
            QVERIFY(child.waitForFinished(20000));
            const QByteArray said = child.readAll();
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, said.constData());
            completed += said.count("ok\n");
            // The copy being written (and its journal) is left beside the archive, never in its place;
            // SQLite drops a journal without its file when the next compaction creates the copy anew.
            duringCopy += QFileInfo::exists(temp) && QFile::remove(temp);
            if (round % 2) QFile::remove(temp + "-journal");
            QCOMPARE(content(path), expected);
            const QString files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ');
            QVERIFY2(files == "Quillnote.mdb" || files == "Quillnote.mdb Temp.mdb-journal",
                     qPrintable(files));
        }
        // The kills hit both the copy being written and the steps after a finished one.
        QVERIFY2(duringCopy > 0 && completed > 0,
                 qPrintable(QString("%1 %2").arg(duringCopy).arg(completed)));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--compact-forever") == 0) { // the child: compacts until killed
        std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);             // each line reaches the parent whole
        std::puts("start");
        while (maintenance::CompactArchive(QString::fromLocal8Bit(argv[2])).result == Result::Compacted)
            std::puts("ok");
        return 3;
    }
    QCoreApplication app(argc, argv);
    tst_CompactKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_compactkill.moc"
