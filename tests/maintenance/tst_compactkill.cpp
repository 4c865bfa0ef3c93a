// A child compacting the archive in a loop is killed with SIGKILL within its first few compactions; each
// time the archive opens with every tip, whole. QN_COMPACT_KILLS raises the kills (the soak script).
#include "EngineFixture.h"
#include "maintenance/ArchiveFiles.h"

#include <QtTest>
#include <cstdio>

using namespace maintenance;

class tst_CompactKill : public QObject {
    Q_OBJECT

    // Integrity and the tips' number, keys and lengths seen from outside; the number the engine opens.
    static QString content(const QString& path) {
        const QString sql = "SELECT (SELECT * FROM pragma_integrity_check) || count(*) || ':' || "
                            "sum(KeyPrimary) || ':' || sum(length(Procedura)) FROM TipsTable";
        const QString seen = EngineFixture::rawColumn(path, sql).value(0);
        if (!seen.startsWith("ok")) return seen;                       // damaged: the engine would throw
        const auto db = qn::DBEngine::OpenDatabase(path, true, false); // once the look from outside is over
        return seen + ':' + QString::number(db->OpenRecordset("TipsTable")->RecordCount());
    }

private slots:
    void killedCompactionLeavesAWholeArchive() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Quillnote.mdb"), temp = CompactionTempPath(path);
        EngineFixture::createTipsDatabase(path).reset();
        const QString fill = "WITH RECURSIVE n(i) AS (VALUES(1) UNION ALL SELECT i + 1 FROM n WHERE i < 450) "
                             "INSERT INTO TipsTable(Titolo, Procedura) SELECT 'Tip ' || i, printf('%02000d', "
                             "i) FROM n; DELETE FROM TipsTable WHERE KeyPrimary % 3 = 0";
        QCOMPARE(EngineFixture::rawExec(path, fill), 0);
        const QString expected = content(path);
        QVERIFY2(expected.startsWith("ok300:") && expected.endsWith(":300"), qPrintable(expected));
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        QCOMPARE(CompactArchive(path).result, CompactOutcome::Result::Compacted);
        const int window = std::max(3, int(QDateTime::currentMSecsSinceEpoch() - started) * 3);
        int duringCopy = 0, completed = 0;
        for (int round = std::max(50, qEnvironmentVariableIntValue("QN_COMPACT_KILLS")); round > 0; --round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--compact-forever", path});
            QVERIFY(child.waitForReadyRead(20000) && child.readLine().startsWith("start"));
            QTest::qSleep(QRandomGenerator::global()->bounded(window));
            child.kill();
            QVERIFY(child.waitForFinished(20000) && child.exitStatus() == QProcess::CrashExit);
            completed += child.readAll().count("ok\n");
            // The copy being written (and its journal) is left beside the archive, never in its place.
            duringCopy += QFileInfo::exists(temp) && QFile::remove(temp);
            if (round % 2) QFile::remove(temp + "-journal");
            QCOMPARE(content(path), expected);
            const QString files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ');
            QVERIFY2(QString(files).remove(" Temp.mdb-journal") == "Quillnote.mdb", qPrintable(files));
        }
        QVERIFY(duringCopy > 0 && completed > 0); // the kills hit the copy and the steps after one
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--compact-forever") == 0) { // the child: compacts until killed
        std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);             // each line reaches the parent whole
        std::puts("start");
        while (CompactArchive(QString::fromLocal8Bit(argv[2])).result == CompactOutcome::Result::Compacted)
            std::puts("ok");
        return 3;
    }
    QCoreApplication app(argc, argv);
    tst_CompactKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_compactkill.moc"
