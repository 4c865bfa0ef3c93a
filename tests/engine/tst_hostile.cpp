// Files as data from outside: what a schema holds never runs (triggers, views, extensions,
// rewritten schemas), refused files keep their bytes and leave nothing beside them, names are
// never URIs, and values SQLite refuses to bind are errors. (Repair: tst_maintenance.)

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

class TestHostile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A new tips archive with three tips, changed by `sql` as another program would change it.
    QString archive(const QString& sql = {}) {
        const QString p = m_dir.filePath(QString("a%1.mdb").arg(++m_files));
        auto db = EngineFixture::createTipsDatabase(p);
        for (const char* title : {"Uno", "Due", "Tre"})
            EngineFixture::addTip(*db, title, "Rete");
        db.reset();
        if (!sql.isEmpty() && EngineFixture::rawExec(p, sql) != SQLITE_OK) qFatal("%s", qPrintable(sql));
        return p;
    }
    QStringList beside(const QString& p) const {
        return QDir(m_dir.path()).entryList({QFileInfo(p).fileName() + "-*"}, QDir::Files);
    }

private slots:
    // Behind the opening checks: even on a connection that skipped them, nothing stored in the
    // file runs, the schema cannot be rewritten through SQL, and the checks see every kind.
    void schemaCodeNeverRuns() {
        const QString p =
            archive("CREATE TRIGGER wipe AFTER UPDATE ON TipsTable BEGIN DELETE FROM TipsTable; END;"
                    "CREATE VIEW Tutti AS SELECT * FROM TipsTable;"
                    "CREATE TABLE Controllo(t TEXT CHECK (t LIKE '*a*'));"
                    "CREATE VIRTUAL TABLE f USING fts5(x);");
        auto db = DBEngine::OpenDatabase(p, true);
        QCOMPARE(db->Execute("UPDATE TipsTable SET Note = 'x'"), 3L);
        QCOMPARE(db->OpenRecordset("TipsTable")->RecordCount(), 3L);
        for (const char* sql : {"SELECT * FROM Tutti", "SELECT load_extension('x')"})
            QCOMPARE(errorOf([&] { db->OpenRecordset(sql); }), err::SyntaxError);
        QCOMPARE(errorOf([&] {
                     db->Execute("PRAGMA writable_schema=ON");
                     db->Execute("UPDATE sqlite_master SET sql = 'x' WHERE name = 'Tutti'");
                 }),
                 err::SyntaxError);
        // Our like() may serve in a schema (it is innocuous); what it refuses, it refuses.
        QCOMPARE(db->Execute("INSERT INTO Controllo VALUES ('casa')"), 1L);
        QCOMPARE(errorOf([&] { db->Execute("INSERT INTO Controllo VALUES ('pollo')"); }), err::DuplicateKey);
        QStringList seen; // the kind SQLite reads from each statement
        for (const SchemaObject& o : db->SchemaObjects())
            if (o.kind != SchemaObject::Table && o.kind != SchemaObject::Index)
                seen << QString("%1:%2").arg(o.name).arg(int(o.kind));
        QCOMPARE(seen, QStringList({"wipe:4", "Tutti:2", "f:1"}));
        QCOMPARE(tipsdb::CheckCompatibility(*db), tipsdb::Compatibility::HoldsTriggers);
        db.reset();
        QCOMPARE(rawColumn(p, "SELECT count(*) FROM TipsTable WHERE Note = 'x'"), QStringList{"3"});
        // Listing the tables calls no module: one this SQLite lacks is listed all the same.
        QCOMPARE(EngineFixture::rawExec(p, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = "
                                           "replace(sql, 'fts5', 'altrui') WHERE name = 'f'"),
                 SQLITE_OK);
        QStringList names;
        for (const TableDef& t : DBEngine::OpenDatabase(p, true)->TableDefs())
            names << t.Name;
        QVERIFY(names.contains("f") && names.contains("TipsTable"));
        // A schema row whose type disagrees with its statement is damage: the file does not open.
        QCOMPARE(EngineFixture::rawExec(p, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET type='index' "
                                           "WHERE name = 'wipe'"),
                 SQLITE_OK);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(p, true); }), err::CannotOpen);
    }

    // Refused or accepted: a refused file keeps every byte, and no -wal, -shm or -journal file is
    // left beside either.
    void filesLeftAsTheyWere_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("TipsTable a view") << "ALTER TABLE TipsTable RENAME TO T2; "
                                             "CREATE VIEW TipsTable AS SELECT * FROM T2"
                                          << false;
        QTest::newRow("in WAL mode, refused")
            << "PRAGMA journal_mode=WAL; CREATE TRIGGER t AFTER INSERT ON TipsTable BEGIN SELECT 1; END"
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
                // WAL checkpointed, its files gone; an exclusive opening's journal stays until it closes.
                QCOMPARE(beside(p).filter("-journal"), beside(p));
                db->Execute("UPDATE TipsTable SET Note = 'dopo'");
            }
        }
        QCOMPARE(beside(p), QStringList());
        if (!accepted) QCOMPARE(EngineFixture::fileBytes(p), before);
        if (accepted) QCOMPARE(rawColumn(p, "PRAGMA journal_mode"), QStringList{"delete"});
    }

    // SQLite reads a name starting with "file:" as a URI with options; a file may be called so.
    void fileNamesAreNeverUris() {
        const QString uri = "file:uri.mdb?mode=memory", copy = "file:copia.mdb?mode=memory";
        QVERIFY(QFile::rename(archive(), m_dir.filePath(uri)));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        long tables = -1;
        const long error = errorOf([&] { tables = DBEngine::OpenDatabase(uri, true)->TableDefs().Count(); }) +
                           errorOf([&] { DBEngine::CompactDatabase(uri, copy); });
        QDir::setCurrent(previous);
        QCOMPARE(error, 0L);
        QCOMPARE(tables, 1L);
        QVERIFY(QFileInfo::exists(m_dir.filePath(copy)));
    }

    // A value SQLite will not take is the engine's error, never a Null stored in its place.
    void refusedBindsAreErrors() {
        Connection conn(archive(), true, false);
        sqlite3_limit(conn.handle(), SQLITE_LIMIT_LENGTH, 100);
        Statement s(conn, "UPDATE TipsTable SET Procedura = ? WHERE KeyPrimary = 1");
        QCOMPARE(errorOf([&] { s.bindText(1, QString(101, 'x')); }), err::FieldTooSmall);
        QCOMPARE(errorOf([&] { s.bindBlob(1, QByteArray(101, 'x')); }), err::FieldTooSmall);
        QCOMPARE(errorOf([&] { s.bindInt64(2, 1); }), err::TypeConversion);
        s.bindText(1, "corto");
        s.step();
        conn.close();
        QCOMPARE(rawColumn(conn.path(), "SELECT Procedura FROM TipsTable WHERE KeyPrimary = 1"),
                 QStringList{"corto"});
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
