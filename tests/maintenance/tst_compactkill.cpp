// Compaction in place survives a process killed at any moment: a child compacts the archive
// over and over and is killed with SIGKILL after a random delay; each time the archive must open
// with every tip, whole. QN_COMPACT_KILLS sets the number of kills (scripts/soak-compaction.sh
// runs many more than CTest does).
#include "EngineFixture.h"
#include "engine/Database.h"
#include "maintenance/ArchiveFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <string>

namespace {

const int Tips = 300;

// Child mode: compacts until killed, saying when it starts and after each compaction.
int compactForever(const QString& path) {
    std::printf("start\n");
    std::fflush(stdout);
    for (;;) {
        const auto outcome = maintenance::CompactArchive(path);
        if (outcome.result != maintenance::CompactOutcome::Result::Compacted) {
            std::printf("failed %ld\n", outcome.errorNumber);
            return 3;
        }
        std::printf("ok\n");
        std::fflush(stdout);
    }
}

QString contentSum(const QString& path) {
    return EngineFixture::rawColumn(path, "SELECT count(*) || ':' || sum(KeyPrimary) || ':' || "
                                          "sum(length(Procedura)) FROM TipsTable")
        .value(0);
}

} // namespace

class tst_CompactKill : public QObject {
    Q_OBJECT

private slots:
    void killedCompactionLeavesAWholeArchive() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Quillnote.mdb");
        EngineFixture::createTipsDatabase(path).reset();
        QCOMPARE(EngineFixture::rawExec(path,
                                        QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                                "FROM n WHERE i < %1) INSERT INTO TipsTable(Titolo, "
                                                "Procedura) SELECT 'Tip ' || i, printf('%02000d', i) FROM n; "
                                                "DELETE FROM TipsTable WHERE KeyPrimary % 3 = 0")
                                            .arg(Tips * 3 / 2)),
                 0);
        const QString expected = contentSum(path);
        QVERIFY(expected.startsWith(QString::number(Tips) + ':'));
        // A kill lands anywhere within the first few compactions of the child.
        QElapsedTimer cycle;
        cycle.start();
        QCOMPARE(maintenance::CompactArchive(path).result, maintenance::CompactOutcome::Result::Compacted);
        const int window = std::max(3, int(cycle.elapsed()) * 3);

        const int kills = qEnvironmentVariableIsSet("QN_COMPACT_KILLS")
                              ? qEnvironmentVariableIntValue("QN_COMPACT_KILLS")
                              : 50;
        int duringCopy = 0, afterStart = 0;
        for (int round = 0; round < kills; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--compact-forever", path});
            QVERIFY(child.waitForStarted(20000));
            QVERIFY(child.waitForReadyRead(20000) && child.readLine().startsWith("start"));
            QTest::qSleep(QRandomGenerator::global()->bounded(window));
            child.kill(); // SIGKILL: no chance to finish a step
            QVERIFY(child.waitForFinished(20000));
            const QByteArray said = child.readAll();
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, said.constData());
            afterStart += said.count("ok\n");
            // The compacted copy the child was writing (and the copy's journal) is left beside the
            // archive, never in its place. A journal without its file is dropped by SQLite when
            // the next compaction creates the copy anew.
            const QString temp = maintenance::CompactionTempPath(path);
            if (QFileInfo::exists(temp)) {
                ++duringCopy;
                QVERIFY(QFile::remove(temp));
            }
            if (round % 2) QFile::remove(temp + "-journal");
            QCOMPARE(EngineFixture::rawColumn(path, "PRAGMA integrity_check"), QStringList({"ok"}));
            QCOMPARE(contentSum(path), expected);
            QCOMPARE(qn::DBEngine::OpenDatabase(path, true, false)->OpenRecordset("TipsTable")->RecordCount(),
                     long(Tips));
            const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
            QVERIFY2(files == QStringList({"Quillnote.mdb"}) ||
                         files == QStringList({"Quillnote.mdb", "Temp.mdb-journal"}),
                     qPrintable(files.join(' ')));
        }
        qInfo("%d kills, %d while the copy was being written, %d compactions completed by the children",
              kills, duringCopy, afterStart);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--compact-forever")
        return compactForever(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    tst_CompactKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_compactkill.moc"
