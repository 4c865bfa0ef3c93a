// Files are data from outside: exclusive and read-only openings (also by a second process), bad
// paths and files refused and left as they were, no schema code run, names never URIs, binds checked,
// plain SQLite both ways; compaction and repair of damaged and crafted files.

#include "EngineFixture.h"
#include "engine/Connection.h"
#include "tipsdb/Compatibility.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>

using namespace qn;
using EngineFixture::errorOf;
using EngineFixture::fileBytes;
using EngineFixture::rawColumn;
using EngineFixture::rawExec;
#define RAISES(statement, number) QCOMPARE(errorOf([&] { statement; }), number)

class TestFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("tips.mdb");
    int m_files = 0;
    QString path(const char* name) const { return m_dir.filePath(name); }
    // An archive of `rows` tips in one transaction, then changed by `sql` as another program would.
    static QString filled(const QString& p, int rows = 3, const QString& sql = {}) {
        EngineFixture::createTipsDatabase(p).reset();
        const QString fill =
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT "
            "INTO TipsTable(Titolo, Categoria, Procedura) SELECT printf('Tip %05d', i), 'Cat ' || "
            "(i % 7), printf('%.300c', 'p') FROM n;";
        if (rawExec(p, fill.arg(rows) + sql) != SQLITE_OK) qFatal("%s", qPrintable(sql));
        return p;
    }
    QString archive(const QString& sql = {}) {
        return filled(m_dir.filePath(QString("a%1.mdb").arg(++m_files)), 3, sql);
    }

private slots:
    void initTestCase() {
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(m_path), "Primo", "Rete");
    }

    void exclusiveSharedReadOnlyAndSecondProcess() {
        auto first = DBEngine::Workspaces(0).OpenDatabase(m_path, true, false);
        RAISES(DBEngine::Workspaces(0).OpenDatabase(m_path, true, false), err::FileInUse);
        RAISES(DBEngine::OpenDatabase(m_path), err::FileInUse);
        RAISES(DBEngine::CompactDatabase(m_path, path("copy.mdb")), err::FileInUse);
        // The first opening still works, also for writing; SQLite's own lock keeps other tools out.
        QCOMPARE(first->Execute("UPDATE TipsTable SET Note = 'x'"), 1L);
        QVERIFY(rawColumn(m_path, "SELECT Titolo FROM TipsTable").value(0).startsWith("<error:"));
        first.reset();
        auto a = DBEngine::OpenDatabase(m_path), b = DBEngine::OpenDatabase(m_path);
        RAISES(DBEngine::OpenDatabase(m_path, true), err::FileInUse);
        a.reset();
        QCOMPARE(b->OpenRecordset("TipsTable")->RecordCount(), 1L);
        b.reset();
        QProcess child, refused;
        child.start(QCoreApplication::applicationFilePath(), {"--hold", m_path, "1"});
        QVERIFY(child.waitForStarted() && child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), "ready");
        RAISES(DBEngine::OpenDatabase(m_path, true), err::FileInUse);
        RAISES(DBEngine::OpenDatabase(m_path, false, true), err::FileInUse);
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(20000) && child.exitCode() == 0);
        auto mine = DBEngine::OpenDatabase(m_path, true);
        refused.start(QCoreApplication::applicationFilePath(), {"--hold", m_path, "0"});
        QVERIFY(refused.waitForFinished(20000));
        QCOMPARE(refused.readAll().trimmed(), "error 3045");
        mine.reset();
        const QString ro = path("ro.mdb");
        QVERIFY(QFile::copy(m_path, ro) && ::chmod(QFile::encodeName(ro).constData(), 0444) == 0);
        auto db = DBEngine::Workspaces(0).OpenDatabase(ro, true, true);
        auto rs = db->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
        QCOMPARE(rs->Fields("Titolo").Value().toString(), "Primo");
        QVERIFY(!db->Updatable() && !rs->Updatable());
        RAISES(rs->Edit(), err::ReadOnly);
        RAISES(db->Execute("UPDATE TipsTable SET Note = 'y'"), err::ReadOnly);
        RAISES(EngineFixture::appendTipsTable(*db), err::ReadOnly);
        db.reset();
        if (::geteuid() != 0) // root may write anyway; the engine must refuse for everybody else
            RAISES(DBEngine::OpenDatabase(ro, false, false), err::FileLocked);
    }

    void badPathsAndFilesThatAreNotDatabases() {
        for (const QString& p : {path("nofolder/x.mdb"), m_dir.path(), QString()})
            RAISES(DBEngine::OpenDatabase(p), err::InvalidPath);
        RAISES(DBEngine::OpenDatabase(path("missing.mdb")), err::FileNotFound);
        RAISES(DBEngine::Workspaces(0).CreateDatabase(m_path, {}), err::DatabaseExists);
        QByteArray random(8192, '\0'), jet(4096, '\0'), mangled = fileBytes(m_path);
        for (int i = 0; i < random.size(); ++i)
            random[i] = char((i * 7919 + 13) % 251);
        jet.replace(4, 15, "Standard Jet DB");
        mangled.replace(100, 3000, QByteArray(3000, '\xff')); // schema page destroyed
        for (const QByteArray& bytes : {QByteArray(), random, QByteArray("SQLite format 2 but not really"),
                                        jet, mangled.left(50), mangled}) {
            QFile f(path("bad.mdb"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
            f.close();
            RAISES(DBEngine::OpenDatabase(f.fileName(), true, false),
                   bytes == mangled ? err::CannotOpen : err::UnrecognizedFormat);
            QCOMPARE(fileBytes(f.fileName()), bytes);
        }
        // Refused after opening: no WAL checkpointed, no stale page count corrected, nothing left beside.
        for (const char* change :
             {"PRAGMA journal_mode=WAL; CREATE TRIGGER t AFTER INSERT ON TipsTable BEGIN "
              "SELECT 1; END",
              "DROP TABLE TipsTable"}) {
            const QString p = archive(change);
            if (change[0] == 'D') EngineFixture::overwrite(p, 28, 4, '\0');
            const QByteArray before = fileBytes(p);
            QVERIFY(tipsdb::CheckCompatibility(*DBEngine::Workspaces(0).OpenDatabase(p, true, false)) !=
                    tipsdb::Compatibility::Compatible);
            QCOMPARE(fileBytes(p), before);
            QCOMPARE(QDir(m_dir.path()).entryList({QFileInfo(p).fileName() + "-*"}), QStringList());
        }
    }

    // Even with the opening checks skipped, nothing stored in the file runs, nor is the schema rewritten.
    void schemaCodeNeverRuns() {
        const QString p =
            archive("CREATE TRIGGER wipe AFTER UPDATE ON TipsTable BEGIN DELETE FROM TipsTable; END;"
                    "CREATE VIEW Tutti AS SELECT * FROM TipsTable;"
                    "CREATE TABLE Controllo(t TEXT CHECK (t LIKE '*a*'));"
                    "CREATE VIRTUAL TABLE f USING fts5(x);");
        auto db = DBEngine::OpenDatabase(p, true);
        QCOMPARE(db->Execute("UPDATE TipsTable SET Note = 'x'"), 3L);
        for (const char* sql : {"SELECT * FROM Tutti", "SELECT load_extension('x')"})
            RAISES(db->OpenRecordset(sql), err::SyntaxError);
        RAISES(db->Execute("PRAGMA writable_schema=ON");
               db->Execute("UPDATE sqlite_master SET sql = 'x'"), err::SyntaxError);
        // Our like() may serve in a schema (it is innocuous); what it refuses, it refuses.
        QCOMPARE(db->Execute("INSERT INTO Controllo VALUES ('casa')"), 1L);
        RAISES(db->Execute("INSERT INTO Controllo VALUES ('pollo')"), err::DuplicateKey);
        db.reset();
        QCOMPARE(rawColumn(p, "SELECT count(*) FROM TipsTable WHERE Note = 'x'"), QStringList{"3"});
        // A schema row whose type disagrees with its statement is damage: the file does not open.
        QCOMPARE(
            rawExec(p,
                    "PRAGMA writable_schema=ON; UPDATE sqlite_master SET type='index' WHERE name = 'wipe'"),
            SQLITE_OK);
        RAISES(DBEngine::OpenDatabase(p, true), err::CannotOpen);
    }

    // A file may be called "file:...?mode=memory"; a value SQLite will not take is an error, not a Null.
    void fileNamesAreNeverUrisAndBindsAreChecked() {
        const QString uri = "file:uri.mdb?mode=memory", copy = "file:copia.mdb?mode=memory";
        QVERIFY(QFile::rename(archive(), m_dir.filePath(uri)));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        long tables = -1;
        const long error = errorOf([&] { tables = DBEngine::OpenDatabase(uri, true)->TableDefs().Count(); }) +
                           errorOf([&] { DBEngine::CompactDatabase(uri, copy); });
        QDir::setCurrent(previous);
        QVERIFY(error == 0 && tables == 1 && QFileInfo::exists(m_dir.filePath(copy)));

        Connection conn(archive(), true, false);
        sqlite3_limit(conn.handle(), SQLITE_LIMIT_LENGTH, 100);
        Statement s(conn, "UPDATE TipsTable SET Procedura = ? WHERE KeyPrimary = 1");
        RAISES(s.bindText(1, QString(101, 'x')), err::FieldTooSmall);
        RAISES(s.bindBlob(1, QByteArray(101, 'x')), err::FieldTooSmall);
        RAISES(s.bindInt64(2, 1), err::TypeConversion);
        s.bindText(1, "corto");
        s.step();
        conn.close();
        QCOMPARE(rawColumn(conn.path(), "SELECT Procedura FROM TipsTable WHERE KeyPrimary = 1"),
                 QStringList{"corto"});
    }

    // Other programs write the file with no collation or function of ours, held by its constraints.
    void plainSqliteBothWays() {
        const QString p = archive();
        const std::pair<const char*, int> statements[] = {
            {"INSERT INTO TipsTable(Titolo) VALUES ('Quattro')", SQLITE_OK},
            {"INSERT INTO TipsTable(KeyPrimary, Titolo) VALUES (1, 'dup')", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Titolo) VALUES (printf('%.61c', 'x'))", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Bookmark) VALUES (256)", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Procedura, Note) VALUES ('', '')", SQLITE_OK},
            {"UPDATE TipsTable SET Procedura = 123 WHERE KeyPrimary = 4", SQLITE_OK}};
        for (const auto& [sql, rc] : statements)
            QVERIFY2(rawExec(p, sql) == rc, sql);
        // KeyPrimary is the rowid, numbered on; the memo keeps text affinity.
        QCOMPARE(
            rawColumn(p, "SELECT KeyPrimary || typeof(Procedura) FROM TipsTable WHERE Titolo = 'Quattro'"),
            QStringList{"4text"});
        QCOMPARE(DBEngine::OpenDatabase(p)->OpenRecordset("TipsTable")->RecordCount(), 5L);
    }

    // The source is never written to, also when read-only; the copy keeps tips and metadata.
    void compactionAndRepairOfSoundFiles() {
        const QString src = filled(path("src.mdb"), 300), ro = filled(path("rosrc.mdb"), 20);
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
        RAISES(DBEngine::RepairDatabase(path("none.mdb")), err::FileNotFound);
        QVERIFY(!QFileInfo::exists(path("n2.mdb")));
        // Repair leaves a sound file as it is, and refuses one whose schema page is destroyed.
        const QByteArray sound = fileBytes(src);
        const RepairResult result = DBEngine::RepairDatabase(src);
        QVERIFY(fileBytes(src) == sound && !result.rebuilt && result.rows.isEmpty() &&
                result.refused.isEmpty());
        EngineFixture::overwrite(src, 100, 3996);
        RAISES(DBEngine::RepairDatabase(src), err::CannotOpen);
    }

    // A damaged leaf mid-table: the rows on every other page saved. A schema entry that is more than
    // a table or index definition runs alone, reaches no other file, and is reported refused.
    void repairSalvagesAndRunsOnlyDefinitions_data() {
        QTest::addColumn<QString>("craft"); // SQL on the archive; %1 is the other database's path
        QTest::addColumn<QStringList>("keep");
        QTest::addColumn<QStringList>("refused");
        const QString attack = "; COMMIT; ATTACH ''%1'' AS v; DELETE FROM v.t; BEGIN' WHERE name = 'T";
        QTest::newRow("damage only") << QString() << QStringList() << QStringList();
        QTest::newRow("definitions going on, trigger, view")
            << "CREATE TABLE T1(a); CREATE INDEX T2 ON TipsTable(Note); PRAGMA writable_schema=ON; UPDATE "
               "sqlite_master SET sql = 'CREATE TABLE T1(a)" +
                   attack +
                   "1'; UPDATE sqlite_master SET sql = "
                   "'CREATE INDEX T2 ON TipsTable(Note)" +
                   attack +
                   "2'; PRAGMA writable_schema=OFF; "
                   "CREATE TRIGGER T3 AFTER INSERT ON TipsTable BEGIN DELETE FROM TipsTable; END; "
                   "CREATE VIEW T4 AS SELECT * FROM TipsTable"
            << QStringList() << QStringList({"T1", "T2", "T3", "T4"});
        QTest::newRow("table not asked for") << "CREATE TABLE T1(a); INSERT INTO T1 VALUES (1)"
                                             << QStringList{"TipsTable"} << QStringList{"T1"};
    }
    void repairSalvagesAndRunsOnlyDefinitions() {
        QFETCH(QString, craft);
        QFETCH(QStringList, keep);
        QFETCH(QStringList, refused);
        QTemporaryDir dir;
        const QString other = dir.filePath("altro.db");
        QVERIFY(QFile(other).open(QIODevice::WriteOnly));
        QCOMPARE(rawExec(other, "CREATE TABLE t(x); INSERT INTO t VALUES (1), (2)"), 0);
        const QByteArray otherBefore = fileBytes(other);
        const int rows = 1500;
        const QString p = filled(dir.filePath("crafted.mdb"), rows, QString(craft).replace("%1", other));
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
        QCOMPARE(result.refused, refused);
        const long saved = result.rows.value("TipsTable");
        QVERIFY2(saved < rows && saved > rows - 40, qPrintable(QString::number(saved)));
        // Rows after the damaged page were saved too, whole.
        QCOMPARE(rawColumn(p, "SELECT count(*) || max(Titolo) || min(length(Procedura)) FROM TipsTable"),
                 QStringList{QString("%1Tip 01500300").arg(saved)});
        QCOMPARE(
            rawColumn(p, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'T_' OR sql LIKE '%ATTACH%'"),
            QStringList{"0"});
        auto db = DBEngine::OpenDatabase(p, true);
        QCOMPARE(db->TableDefs()[0].Indexes.Count(), 3);
        QCOMPARE(EngineFixture::addTip(*db, "dopo"), rows + 1); // numbering goes on after the highest key
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--hold") { // a second process holding the file open
        try {
            auto db = DBEngine::OpenDatabase(QString::fromLocal8Bit(argv[2]), argv[3][0] == '1', false);
            std::cout << "ready" << std::endl;
            std::string line;
            std::getline(std::cin, line); // until the parent closes our standard input
            return 0;
        } catch (const EngineError& e) {
            std::cout << "error " << e.number() << std::endl;
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    TestFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_files.moc"
