// Compaction and repair of a damaged file. (Saves under kill -9: tests/mainwindow/tst_durability.cpp.)

#include "EngineFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qn;
using EngineFixture::errorOf;

namespace {

// A tips archive of `rows` tips written in one transaction (quick even on a busy disk).
QString bulkFilled(const QString& path, int rows) {
    EngineFixture::createTipsDatabase(path).reset();
    EngineFixture::rawExec(path,
                           QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                          "WHERE i < %1) INSERT INTO TipsTable(Titolo, Categoria, Procedura) "
                                          "SELECT printf('Tip %05d', i), 'Cat ' || (i % 7), "
                                          "substr(hex(zeroblob(150)), 1, 300) FROM n")
                               .arg(rows));
    return path;
}

// Overwrites a leaf page in the middle of TipsTable; false when SQLite cannot say where one is.
bool damageALeaf(const QString& path) {
    const QStringList leaves = EngineFixture::rawColumn(
        path, QStringLiteral(
                  "SELECT pageno FROM dbstat WHERE name='TipsTable' AND pagetype='leaf' ORDER BY pageno"));
    if (leaves.isEmpty() || leaves[0].startsWith(QLatin1Char('<'))) return false;
    EngineFixture::overwrite(path, (leaves[leaves.size() / 2].toLongLong() - 1) * 4096, 4096);
    return true;
}

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void compactionWritesACopy() {
        const QString src = bulkFilled(path(QStringLiteral("src.mdb")), 300);
        {
            auto db = DBEngine::OpenDatabase(src);
            db->Execute(QStringLiteral("DELETE FROM TipsTable WHERE KeyPrimary > 50"));
        }
        const QByteArray before = EngineFixture::fileBytes(src);
        const QString dst = path(QStringLiteral("dst.mdb"));
        DBEngine::CompactDatabase(src, dst);
        QCOMPARE(EngineFixture::fileBytes(src), before);
        QVERIFY(QFileInfo(dst).size() < before.size());
        auto copy = DBEngine::OpenDatabase(dst, true);
        auto rs = copy->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC"));
        QCOMPARE(rs->RecordCount(), 50L);
        QCOMPARE(copy->TableDefs()[0].Indexes.Count(), 3); // metadata travels with the copy
        copy.reset();

        const QByteArray dstBefore = EngineFixture::fileBytes(dst);
        QCOMPARE(errorOf([&] { DBEngine::CompactDatabase(src, dst); }), err::DatabaseExists);
        QCOMPARE(EngineFixture::fileBytes(dst), dstBefore);
        QCOMPARE(errorOf([&] {
                     DBEngine::CompactDatabase(path(QStringLiteral("none.mdb")),
                                               path(QStringLiteral("n2.mdb")));
                 }),
                 err::FileNotFound);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("n2.mdb"))));
    }

    void compactionOfAReadOnlyFile() {
        const QString src = bulkFilled(path(QStringLiteral("rosrc.mdb")), 20);
        QFile::setPermissions(src, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        const QByteArray before = EngineFixture::fileBytes(src);
        DBEngine::CompactDatabase(src, path(QStringLiteral("rodst.mdb")));
        QCOMPARE(EngineFixture::fileBytes(src), before);
        QCOMPARE(DBEngine::OpenDatabase(path(QStringLiteral("rodst.mdb")))
                     ->OpenRecordset(QStringLiteral("TipsTable"))
                     ->RecordCount(),
                 20L);
    }

    void repairOfASoundFileChangesNothing() {
        const QString p = bulkFilled(path(QStringLiteral("sound.mdb")), 20);
        const QByteArray before = EngineFixture::fileBytes(p);
        const RepairResult result = DBEngine::RepairDatabase(p);
        QCOMPARE(EngineFixture::fileBytes(p), before);
        QVERIFY(!result.rebuilt && result.rows.isEmpty() && result.refused.isEmpty());
    }

    void repairSalvagesRowsAroundADamagedPage() {
        const int rows = 1500;
        const QString p = bulkFilled(path(QStringLiteral("damaged.mdb")), rows);
        if (!damageALeaf(p)) QSKIP("this SQLite has no dbstat table to find a page of the table");
        QVERIFY(EngineFixture::rawColumn(p, QStringLiteral("PRAGMA integrity_check")).value(0) !=
                QLatin1String("ok"));

        const RepairResult result = DBEngine::RepairDatabase(p);
        QCOMPARE(EngineFixture::rawColumn(p, QStringLiteral("PRAGMA integrity_check")), QStringList({"ok"}));
        auto db = DBEngine::OpenDatabase(p, true);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC"));
        const long survivors = rs->RecordCount();
        QVERIFY(result.rebuilt && result.refused.isEmpty());
        QCOMPARE(result.rows.value(QStringLiteral("TipsTable")), survivors);
        QVERIFY2(survivors < rows && survivors > rows - 40, qPrintable(QString::number(survivors)));
        rs->MoveLast(); // rows after the damaged page were saved too
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(),
                 QStringLiteral("Tip %1").arg(rows, 5, 10, QLatin1Char('0')));
        QCOMPARE(rs->Fields(QStringLiteral("Procedura")).Value().toString().size(), 300);
        rs->AddNew(); // numbering goes on after the highest key
        rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("dopo"));
        rs->Update();
        rs->MoveLast();
        QCOMPARE(rs->Fields(QStringLiteral("KeyPrimary")).Value().toInt(), rows + 1);
        QCOMPARE(db->TableDefs()[0].Indexes.Count(), 3);
        const QStringList leftovers =
            QDir(m_dir.path()).entryList({QStringLiteral(".damaged*")}, QDir::Hidden | QDir::Files);
        QVERIFY(leftovers.isEmpty());
    }

    // A damaged archive whose schema holds more than table and index definitions: each entry
    // runs alone, so nothing it adds reaches another file, and the entry is reported as refused.
    void repairRunsOnlyDefinitionsFromTheFile_data() {
        QTest::addColumn<QString>("craft"); // SQL on the archive; %1 is the other database's path
        QTest::addColumn<QStringList>("keep");
        const QString attack = QStringLiteral("; COMMIT; ATTACH ''%1'' AS v; DELETE FROM v.t; BEGIN");
        const QString replace = QStringLiteral(
            "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = '%1' WHERE name = '%2'");
        QTest::newRow("table definition going on")
            << QStringLiteral("CREATE TABLE Trappola(a); ") +
                   replace.arg(QStringLiteral("CREATE TABLE Trappola(a)") + attack,
                               QStringLiteral("Trappola"))
            << QStringList();
        QTest::newRow("index definition going on")
            << QStringLiteral("CREATE INDEX Trappola ON TipsTable(Note); ") +
                   replace.arg(QStringLiteral("CREATE INDEX Trappola ON TipsTable(Note)") + attack,
                               QStringLiteral("Trappola"))
            << QStringList();
        QTest::newRow("trigger") << QStringLiteral("CREATE TRIGGER Trappola AFTER INSERT ON TipsTable BEGIN "
                                                   "DELETE FROM TipsTable; END")
                                 << QStringList();
        QTest::newRow("view") << QStringLiteral("CREATE VIEW Trappola AS SELECT * FROM TipsTable")
                              << QStringList();
        QTest::newRow("table not asked for")
            << QStringLiteral("CREATE TABLE Trappola(a); INSERT INTO Trappola VALUES (1)")
            << QStringList{QStringLiteral("TipsTable")};
    }
    void repairRunsOnlyDefinitionsFromTheFile() {
        QFETCH(QString, craft);
        QFETCH(QStringList, keep);
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("altro.db"));
        QVERIFY(QFile(other).open(QIODevice::WriteOnly));
        QCOMPARE(
            EngineFixture::rawExec(other, QStringLiteral("CREATE TABLE t(x); INSERT INTO t VALUES (1), (2)")),
            0);
        const QByteArray otherBefore = EngineFixture::fileBytes(other);
        const int rows = 1500;
        const QString p = bulkFilled(dir.filePath(QStringLiteral("crafted.mdb")), rows);
        QCOMPARE(EngineFixture::rawExec(p, QString(craft).replace(QStringLiteral("%1"), other)), 0);
        if (!damageALeaf(p)) QSKIP("this SQLite has no dbstat table to find a page of the table");

        const RepairResult result = DBEngine::RepairDatabase(p, keep);
        QCOMPARE(EngineFixture::fileBytes(other), otherBefore);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"altro.db", "crafted.mdb"}));
        QVERIFY(result.rebuilt);
        QCOMPARE(result.refused, QStringList({"Trappola"}));
        const long saved = result.rows.value(QStringLiteral("TipsTable"));
        QVERIFY2(saved < rows && saved > rows - 40, qPrintable(QString::number(saved)));
        QCOMPARE(EngineFixture::rawColumn(p, QStringLiteral("SELECT count(*) FROM TipsTable")),
                 QStringList({QString::number(saved)}));
        QCOMPARE(EngineFixture::rawColumn(p, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = "
                                                            "'Trappola' OR sql LIKE '%ATTACH%'")),
                 QStringList({"0"}));
        QCOMPARE(DBEngine::OpenDatabase(p, true)->TableDefs()[0].Indexes.Count(), 3);
    }

    void repairRefusesAnUnreadableSchema() {
        const QString p = bulkFilled(path(QStringLiteral("noschema.mdb")), 10);
        EngineFixture::overwrite(p, 100, 3996); // page 1 after the header holds the schema
        QCOMPARE(errorOf([&] { DBEngine::RepairDatabase(p); }), err::CannotOpen);
        QCOMPARE(errorOf([&] { DBEngine::RepairDatabase(path(QStringLiteral("none.mdb"))); }),
                 err::FileNotFound);
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)

#include "tst_maintenance.moc"
