// Compaction, and repair of damaged and crafted files. (Saves under kill -9: mainwindow/tst_durability.)

#include "EngineFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qn;
using EngineFixture::errorOf;
#define RAISES(statement, number) QCOMPARE(errorOf([&] { statement; }), number)
using EngineFixture::fileBytes;
using EngineFixture::rawColumn;

namespace {
// A tips archive of `rows` tips written in one transaction (quick even on a busy disk).
QString bulkFilled(const QString& path, int rows) {
    EngineFixture::createTipsDatabase(path).reset();
    EngineFixture::rawExec(
        path, QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                      "INSERT INTO TipsTable(Titolo, Categoria, Procedura) SELECT printf('Tip "
                      "%05d', i), 'Cat ' || (i % 7), printf('%.300c', 'p') FROM n")
                  .arg(rows));
    return path;
}
long tips(const QString& path) {
    return rawColumn(path, "SELECT count(*) FROM TipsTable").value(0).toLong();
}
} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(name); }

private slots:
    // The source is never written to, also when read-only; the copy keeps tips and metadata.
    void compactionWritesACopy() {
        const QString src = bulkFilled(path("src.mdb"), 300), ro = bulkFilled(path("ro.mdb"), 20);
        DBEngine::OpenDatabase(src)->Execute("DELETE FROM TipsTable WHERE KeyPrimary > 50");
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        for (const auto& [from, to, count] :
             {std::tuple{src, path("dst.mdb"), 50L}, {ro, path("rodst.mdb"), 20L}}) {
            const QByteArray before = fileBytes(from);
            DBEngine::CompactDatabase(from, to);
            QCOMPARE(fileBytes(from), before);
            QVERIFY(QFileInfo(to).size() <= before.size());
            auto copy = DBEngine::OpenDatabase(to, true);
            QCOMPARE(copy->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC")->RecordCount(),
                     count);
            QCOMPARE(copy->TableDefs()[0].Indexes.Count(), 3);
        }
        QVERIFY(QFileInfo(path("dst.mdb")).size() < QFileInfo(src).size());
        const QByteArray dstBefore = fileBytes(path("dst.mdb"));
        RAISES(DBEngine::CompactDatabase(src, path("dst.mdb")), err::DatabaseExists);
        QCOMPARE(fileBytes(path("dst.mdb")), dstBefore);
        RAISES(DBEngine::CompactDatabase(path("none.mdb"), path("n2.mdb")), err::FileNotFound);
        QVERIFY(!QFileInfo::exists(path("n2.mdb")));
    }

    void repairOfSoundAndUnreadableFiles() {
        const QString p = bulkFilled(path("sound.mdb"), 20);
        const QByteArray before = fileBytes(p);
        const RepairResult result = DBEngine::RepairDatabase(p);
        QCOMPARE(fileBytes(p), before);
        QVERIFY(!result.rebuilt && result.rows.isEmpty() && result.refused.isEmpty());
        EngineFixture::overwrite(p, 100, 3996); // page 1 after the header holds the schema
        RAISES(DBEngine::RepairDatabase(p), err::CannotOpen);
        RAISES(DBEngine::RepairDatabase(path("none.mdb")), err::FileNotFound);
    }

    // A damaged leaf in the middle of the table: the rows on the other pages are saved, those
    // after it too. A schema with more than table and index definitions runs each entry alone, so
    // nothing it adds reaches another file, and the entry is reported as refused.
    void repairSalvagesAndRunsOnlyDefinitions_data() {
        QTest::addColumn<QString>("craft"); // SQL on the archive; %1 is the other database's path
        QTest::addColumn<QStringList>("keep");
        const QString attack = "; COMMIT; ATTACH ''%1'' AS v; DELETE FROM v.t; BEGIN";
        const QString replace =
            "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = '%1' WHERE name = 'Trappola'";
        QTest::newRow("damage only") << QString() << QStringList();
        QTest::newRow("table definition going on")
            << "CREATE TABLE Trappola(a); " + replace.arg("CREATE TABLE Trappola(a)" + attack)
            << QStringList();
        QTest::newRow("index definition going on")
            << "CREATE INDEX Trappola ON TipsTable(Note); " +
                   replace.arg("CREATE INDEX Trappola ON TipsTable(Note)" + attack)
            << QStringList();
        QTest::newRow("trigger")
            << "CREATE TRIGGER Trappola AFTER INSERT ON TipsTable BEGIN DELETE FROM TipsTable; END"
            << QStringList();
        QTest::newRow("view") << "CREATE VIEW Trappola AS SELECT * FROM TipsTable" << QStringList();
        QTest::newRow("table not asked for")
            << "CREATE TABLE Trappola(a); INSERT INTO Trappola VALUES (1)" << QStringList{"TipsTable"};
    }
    void repairSalvagesAndRunsOnlyDefinitions() {
        QFETCH(QString, craft);
        QFETCH(QStringList, keep);
        QTemporaryDir dir;
        const QString other = dir.filePath("altro.db");
        QVERIFY(QFile(other).open(QIODevice::WriteOnly));
        QCOMPARE(EngineFixture::rawExec(other, "CREATE TABLE t(x); INSERT INTO t VALUES (1), (2)"), 0);
        const QByteArray otherBefore = fileBytes(other);
        const int rows = 1500;
        const QString p = bulkFilled(dir.filePath("crafted.mdb"), rows);
        if (!craft.isEmpty()) QCOMPARE(EngineFixture::rawExec(p, QString(craft).replace("%1", other)), 0);
        const QStringList leaves = rawColumn(
            p, "SELECT pageno FROM dbstat WHERE name='TipsTable' AND pagetype='leaf' ORDER BY pageno");
        if (leaves.isEmpty() || leaves[0].startsWith('<')) QSKIP("this SQLite has no dbstat table");
        EngineFixture::overwrite(p, (leaves[leaves.size() / 2].toLongLong() - 1) * 4096, 4096);
        QVERIFY(rawColumn(p, "PRAGMA integrity_check").value(0) != "ok");

        const RepairResult result = DBEngine::RepairDatabase(p, keep);
        QCOMPARE(fileBytes(other), otherBefore);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"altro.db", "crafted.mdb"}));
        QCOMPARE(rawColumn(p, "PRAGMA integrity_check"), QStringList{"ok"});
        QVERIFY(result.rebuilt);
        QCOMPARE(result.refused, craft.isEmpty() ? QStringList() : QStringList{"Trappola"});
        const long saved = result.rows.value("TipsTable");
        QVERIFY2(saved < rows && saved > rows - 40, qPrintable(QString::number(saved)));
        QCOMPARE(tips(p), saved);
        QCOMPARE(
            rawColumn(p, "SELECT count(*) FROM sqlite_master WHERE name = 'Trappola' OR sql LIKE '%ATTACH%'"),
            QStringList{"0"});
        auto db = DBEngine::OpenDatabase(p, true);
        QCOMPARE(db->TableDefs()[0].Indexes.Count(), 3);
        auto rs = db->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
        rs->MoveLast(); // rows after the damaged page were saved too, whole
        QCOMPARE(rs->Fields("Titolo").Value().toString(), QString("Tip %1").arg(rows, 5, 10, QChar('0')));
        QCOMPARE(rs->Fields("Procedura").Value().toString().size(), 300);
        rs->AddNew(); // numbering goes on after the highest key
        rs->Fields("Titolo").SetValue("dopo");
        rs->Update();
        rs->MoveLast();
        QCOMPARE(rs->Fields("KeyPrimary").Value().toInt(), rows + 1);
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
