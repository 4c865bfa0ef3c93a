// Files as data from outside: what a schema holds never runs (triggers, views, extensions,
// rewritten schemas), refused files keep their bytes and leave nothing beside them, values
// SQLite refuses to bind are errors, and repair runs nothing of a file's schema but CREATE.

#include "EngineFixture.h"
#include "engine/Connection.h"
#include "tipsdb/Compatibility.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace qn;
using EngineFixture::errorOf;
using EngineFixture::rawColumn;
using EngineFixture::rawExec;

class TestHostile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A new tips archive with three tips, changed by `sql` as another program would change it.
    QString archive(const QString& sql = {}) {
        const QString p = m_dir.filePath(QStringLiteral("a%1.mdb").arg(++m_files));
        auto db = EngineFixture::createTipsDatabase(p);
        for (const char* title : {"Uno", "Due", "Tre"})
            EngineFixture::addTip(*db, QString::fromLatin1(title), QStringLiteral("Rete"));
        db.reset();
        if (!sql.isEmpty() && rawExec(p, sql) != SQLITE_OK) qFatal("%s", qPrintable(sql));
        return p;
    }
    QStringList beside(const QString& p) const {
        return QDir(m_dir.path()).entryList({QFileInfo(p).fileName() + QStringLiteral("-*")}, QDir::Files);
    }

private slots:
    // Defence behind the refusals: even on a connection that skipped the opening checks,
    // nothing stored in the file runs, and the schema cannot be rewritten through SQL.
    void schemaCodeNeverRuns() {
        const QString p = archive(
            QStringLiteral("CREATE TRIGGER wipe AFTER UPDATE ON TipsTable BEGIN DELETE FROM TipsTable; END;"
                           "CREATE VIEW Tutti AS SELECT * FROM TipsTable;"
                           "CREATE TABLE Controllo(t TEXT CHECK (t LIKE '*a*'))"));
        auto db = DBEngine::OpenDatabase(p, true);
        QCOMPARE(db->Execute(QStringLiteral("UPDATE TipsTable SET Note = 'x'")), 3L);
        QCOMPARE(db->OpenRecordset(QStringLiteral("TipsTable"))->RecordCount(), 3L);
        QCOMPARE(errorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM Tutti")); }),
                 err::SyntaxError);
        QCOMPARE(errorOf([&] { db->OpenRecordset(QStringLiteral("SELECT load_extension('x')")); }),
                 err::SyntaxError);
        QCOMPARE(errorOf([&] {
                     db->Execute(QStringLiteral("PRAGMA writable_schema=ON"));
                     db->Execute(QStringLiteral("UPDATE sqlite_master SET sql = 'x' WHERE name = 'Tutti'"));
                 }),
                 err::SyntaxError);
        // Our like() may serve in a schema (it is innocuous); what it refuses, it refuses.
        QCOMPARE(db->Execute(QStringLiteral("INSERT INTO Controllo VALUES ('casa')")), 1L);
        QCOMPARE(errorOf([&] { db->Execute(QStringLiteral("INSERT INTO Controllo VALUES ('pollo')")); }),
                 err::DuplicateKey);
        db.reset();
        QCOMPARE(rawColumn(p, QStringLiteral("SELECT count(*) FROM TipsTable WHERE Note = 'x'")),
                 QStringList{"3"});
    }

    // What the checks see: the kind SQLite reads from each statement. A schema row whose type
    // column disagrees with its statement is damage: the file does not open.
    void schemaObjectsAreClassified() {
        const QString objects = QStringLiteral(
            "CREATE VIEW v AS SELECT 1; CREATE TRIGGER t AFTER DELETE ON TipsTable BEGIN SELECT 1; END;"
            "CREATE VIRTUAL TABLE f USING fts5(x);");
        const QString p = archive(objects);
        auto db = DBEngine::OpenDatabase(p, true);
        QStringList seen;
        for (const SchemaObject& o : db->SchemaObjects())
            if (o.kind != SchemaObject::Table && o.kind != SchemaObject::Index)
                seen << QStringLiteral("%1:%2").arg(o.name).arg(int(o.kind));
        QCOMPARE(seen, QStringList({"v:2", "t:4", "f:1"}));
        QCOMPARE(tipsdb::CheckCompatibility(*db), tipsdb::Compatibility::HoldsTriggers);
        // Listing the tables calls no module: one this SQLite lacks is listed all the same.
        db.reset();
        QCOMPARE(rawExec(p, QStringLiteral("PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = "
                                           "replace(sql, 'fts5', 'altrui') WHERE name = 'f'")),
                 SQLITE_OK);
        db = DBEngine::OpenDatabase(p, true);
        QStringList names;
        for (const TableDef& t : db->TableDefs())
            names << t.Name;
        QVERIFY(names.contains(QStringLiteral("f")) && names.contains(QStringLiteral("TipsTable")));
        const QString disguised = archive(
            objects + QStringLiteral("PRAGMA writable_schema=ON; UPDATE sqlite_master SET type='index' "
                                     "WHERE name = 't'"));
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(disguised, true); }), err::CannotOpen);
    }

    // Refused, failed or merely read: the file keeps every byte, and no -wal, -shm or
    // -journal file is left beside it.
    void filesLeftAsTheyWere_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("TipsTable a view") << "ALTER TABLE TipsTable RENAME TO T2; "
                                             "CREATE VIEW TipsTable AS SELECT * FROM T2"
                                          << false;
        QTest::newRow("in WAL mode, refused") << "PRAGMA journal_mode=WAL; CREATE TRIGGER t AFTER INSERT ON "
                                                 "TipsTable BEGIN SELECT 1; END"
                                              << false;
        // Written so by old versions of SQLite; a write transaction would correct it.
        QTest::newRow("stale page count, refused") << "DROP TABLE TipsTable" << false;
        QTest::newRow("in WAL mode, accepted") << "PRAGMA journal_mode=WAL" << true;
    }
    void filesLeftAsTheyWere() {
        QFETCH(QString, change);
        QFETCH(bool, accepted);
        const QString p = archive(change);
        if (QString(QTest::currentDataTag()).startsWith("stale")) EngineFixture::overwrite(p, 28, 4, '\0');
        const QByteArray before = EngineFixture::fileBytes(p);
        {
            auto db = DBEngine::Workspaces(0).OpenDatabase(p, true, false);
            QCOMPARE(tipsdb::CheckCompatibility(*db) == tipsdb::Compatibility::Compatible, accepted);
            if (accepted) {
                db->UseDeleteJournal();
                // WAL checkpointed, its files gone; the journal of an exclusive opening stays until it
                // closes.
                QCOMPARE(beside(p).filter(QStringLiteral("-journal")), beside(p));
                db->Execute(QStringLiteral("UPDATE TipsTable SET Note = 'dopo'"));
            }
        }
        QCOMPARE(beside(p), QStringList());
        if (!accepted) QCOMPARE(EngineFixture::fileBytes(p), before);
        if (accepted) QCOMPARE(rawColumn(p, QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    }

    // SQLite reads a name starting with "file:" as a URI with options; a file may be called so.
    void fileNamesAreNeverUris() {
        const QString uri = QStringLiteral("file:uri.mdb?mode=memory");
        QVERIFY(QFile::rename(archive(), m_dir.filePath(uri)));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        long tables = -1;
        const long error = errorOf([&] { tables = DBEngine::OpenDatabase(uri, true)->TableDefs().Count(); });
        const long copied =
            errorOf([&] { DBEngine::CompactDatabase(uri, QStringLiteral("file:copia.mdb?mode=memory")); });
        QDir::setCurrent(previous);
        QCOMPARE(error + copied, 0L);
        QCOMPARE(tables, 1L);
        QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("file:copia.mdb?mode=memory"))));
    }

    // A value SQLite will not take is the engine's error, never a Null stored in its place.
    void refusedBindsAreErrors() {
        Connection conn(archive(), true, false);
        sqlite3_limit(conn.handle(), SQLITE_LIMIT_LENGTH, 100);
        Statement s(conn, "UPDATE TipsTable SET Procedura = ? WHERE KeyPrimary = 1");
        QCOMPARE(errorOf([&] { s.bindText(1, QString(101, QLatin1Char('x'))); }), err::FieldTooSmall);
        QCOMPARE(errorOf([&] { s.bindBlob(1, QByteArray(101, 'x')); }), err::FieldTooSmall);
        QCOMPARE(errorOf([&] { s.bindInt64(2, 1); }), err::TypeConversion);
        s.bindText(1, QStringLiteral("corto"));
        s.step();
        conn.close();
        QCOMPARE(
            rawColumn(conn.path(), QStringLiteral("SELECT Procedura FROM TipsTable WHERE KeyPrimary = 1")),
            QStringList{"corto"});
    }

    // A schema row may carry more statements than its CREATE; repair must run none of them.
    void repairRunsOnlyTheCreateStatements() {
        const QString evil = m_dir.filePath(QStringLiteral("piantato.db"));
        // Enough rows for pages of their own, one of which is then damaged.
        const QString p =
            archive(QStringLiteral("INSERT INTO TipsTable(Titolo, Procedura) SELECT 'x', "
                                   "printf('%.400c', 'p') FROM (WITH RECURSIVE c(i) AS (SELECT 1 "
                                   "UNION ALL SELECT i + 1 FROM c WHERE i < 200) SELECT i FROM c);"
                                   "CREATE TABLE Altro(a); PRAGMA writable_schema=ON; "
                                   "UPDATE sqlite_master SET sql = sql || '; ATTACH ''%1'' AS e; "
                                   "CREATE TABLE e.t(x)' WHERE name = 'Altro'")
                        .arg(evil));
        const QString leaf = rawColumn(p, QStringLiteral("SELECT max(pageno) FROM dbstat WHERE "
                                                         "name = 'TipsTable' AND pagetype = 'leaf'"))
                                 .value(0);
        EngineFixture::overwrite(p, (leaf.toLongLong() - 1) * 4096 + 8, 64);
        const RepairResult repaired = DBEngine::RepairDatabase(p);
        QVERIFY(!QFileInfo::exists(evil));
        QCOMPARE(rawColumn(p, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        // The entry with more than its CREATE is refused whole, and said so.
        QVERIFY(repaired.rebuilt && repaired.refused.contains(QStringLiteral("Altro")));
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
