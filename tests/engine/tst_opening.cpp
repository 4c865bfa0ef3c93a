// Opening and creating files: exclusive and read-only openings (also against a second process),
// error numbers for bad paths and files that are not databases, the stored schema.

#include "EngineFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>

using namespace qn;
using EngineFixture::errorOf;

class TestOpening : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("tips.mdb");
    QString path(const char* name) const { return m_dir.filePath(name); }
    long count(Database& db) { return db.OpenRecordset("TipsTable")->RecordCount(); }

private slots:
    void initTestCase() {
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(m_path), "Primo", "Rete");
    }

    void exclusiveAndSharedOpenings() {
        auto first = DBEngine::Workspaces(0).OpenDatabase(m_path, true, false);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).OpenDatabase(m_path, true, false); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::CompactDatabase(m_path, path("copy.mdb")); }), err::FileInUse);
        // The first opening still works, also for writing; SQLite's own lock keeps other tools out.
        QCOMPARE(first->Execute("UPDATE TipsTable SET Note = 'x'"), 1L);
        QVERIFY(
            EngineFixture::rawColumn(m_path, "SELECT Titolo FROM TipsTable").value(0).startsWith("<error:"));
        first.reset();
        auto a = DBEngine::OpenDatabase(m_path);
        auto b = DBEngine::OpenDatabase(m_path);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, true); }), err::FileInUse);
        a.reset();
        QCOMPARE(count(*b), 1L);
    }

    void secondProcessIsRefused() {
        auto hold = [&](QProcess& child, const char* exclusive) {
            child.start(QCoreApplication::applicationFilePath(), {"--hold", m_path, exclusive});
            QVERIFY(child.waitForStarted() && child.waitForReadyRead(20000));
        };
        QProcess child;
        hold(child, "1");
        QCOMPARE(child.readLine().trimmed(), "ready");
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, true); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, false, true); }), err::FileInUse);
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitCode(), 0);
        auto mine = DBEngine::OpenDatabase(m_path, true);
        QProcess refused;
        hold(refused, "0");
        QVERIFY(refused.waitForFinished(20000));
        QCOMPARE(refused.readAll().trimmed(), "error 3045");
    }

    void readOnlyOpeningRefusesChanges() {
        const QString ro = path("ro.mdb");
        QVERIFY(QFile::copy(m_path, ro));
        ::chmod(QFile::encodeName(ro).constData(), 0444);
        auto db = DBEngine::Workspaces(0).OpenDatabase(ro, true, true);
        QVERIFY(!db->Updatable());
        auto rs = db->OpenRecordset("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");
        QCOMPARE(rs->Fields("Titolo").Value().toString(), "Primo");
        QVERIFY(!rs->Updatable());
        for (auto edit : {&Recordset::Edit, &Recordset::AddNew, &Recordset::Delete})
            QCOMPARE(errorOf([&] { (rs.get()->*edit)(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { db->Execute("UPDATE TipsTable SET Note = 'y'"); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { EngineFixture::appendTipsTable(*db); }), err::ReadOnly);
        db.reset();
        if (::geteuid() != 0) // root may write anyway; the engine must refuse for everybody else
            QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(ro, false, false); }), err::FileLocked);
    }

    void badPathsAndFilesThatAreNotDatabases() {
        for (const QString& p : {path("nofolder/x.mdb"), m_dir.path(), QString()})
            QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(p); }), err::InvalidPath);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(path("missing.mdb")); }), err::FileNotFound);
        QByteArray random(8192, '\0'), jet(4096, '\0');
        for (int i = 0; i < random.size(); ++i)
            random[i] = char((i * 7919 + 13) % 251);
        jet.replace(4, 15, "Standard Jet DB");
        const QByteArray real = EngineFixture::fileBytes(m_path);
        QByteArray mangled = real;
        mangled.replace(100, 3000, QByteArray(3000, '\xff')); // schema page destroyed
        for (const QByteArray& bytes : {QByteArray(), random, QByteArray("SQLite format 2 but not really"),
                                        jet, real.left(50), mangled}) {
            QFile f(path("bad.mdb"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
            f.close();
            QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(f.fileName(), true, false); }),
                     bytes == mangled ? err::CannotOpen : err::UnrecognizedFormat);
            QCOMPARE(EngineFixture::fileBytes(f.fileName()), bytes); // refused files are left as they were
        }
    }

    void createDatabaseRules() {
        const QByteArray before = EngineFixture::fileBytes(m_path);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).CreateDatabase(m_path, {}); }), err::DatabaseExists);
        QCOMPARE(EngineFixture::fileBytes(m_path), before);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).CreateDatabase(path("none/new.mdb"), {}); }),
                 err::InvalidPath);
        const QString locale = ";LANGID=0x0409;CP=1252;COUNTRY=0";
        DBEngine::Workspaces(0).CreateDatabase(path("fresh.mdb"), locale)->Close();
        QCOMPARE(DBEngine::OpenDatabase(path("fresh.mdb"))->TableDefs().Count(), 0);
        QCOMPARE(EngineFixture::rawColumn(path("fresh.mdb"), "SELECT Value FROM QnProperties"),
                 QStringList{locale});
    }

    // Other programs read and write the file with no collation or function of ours.
    void schemaIsPlainSqlite() {
        const QString p = path("schema.mdb");
        EngineFixture::createTipsDatabase(p).reset();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(p).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        const std::pair<const char*, int> statements[] = {
            {"INSERT INTO TipsTable(Titolo, Categoria) VALUES ('Uno', 'Rete')", SQLITE_OK},
            {"INSERT INTO TipsTable(Titolo) VALUES ('Due')", SQLITE_OK},
            {"INSERT INTO TipsTable(KeyPrimary, Titolo) VALUES (1, 'dup')", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Titolo) VALUES (printf('%.61c', 'x'))", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Bookmark) VALUES (256)", SQLITE_CONSTRAINT},
            {"INSERT INTO TipsTable(Procedura, Note) VALUES ('', '')", SQLITE_OK},
            {"UPDATE TipsTable SET Procedura = 123 WHERE KeyPrimary = 2", SQLITE_OK}};
        for (const auto& [sql, rc] : statements)
            QVERIFY2(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == rc, sql);
        sqlite3_close(db);
        // KeyPrimary is the rowid, numbered; the memo keeps text affinity.
        QCOMPARE(EngineFixture::rawColumn(p,
                                          "SELECT KeyPrimary || Titolo || typeof(Procedura) FROM TipsTable "
                                          "WHERE Titolo = 'Due'"),
                 QStringList{"2Duetext"});
        QCOMPARE(
            EngineFixture::rawColumn(p, "SELECT name FROM sqlite_master WHERE type='index' AND sql NOT NULL "
                                        "ORDER BY name"),
            QStringList({"TipsTable:Categoria", "TipsTable:ChiaveRicerca"}));
    }

    void tableWithoutMetadataIsDescribed() {
        const QString p = path("foreign.mdb");
        DBEngine::Workspaces(0).CreateDatabase(p, {}).reset();
        QCOMPARE(EngineFixture::rawExec(
                     p, "CREATE TABLE Altro(id INTEGER PRIMARY KEY AUTOINCREMENT, nome "
                        "VARCHAR(12), testo TEXT, n SMALLINT); INSERT INTO Altro(nome) VALUES ('a')"),
                 SQLITE_OK);
        auto db = DBEngine::OpenDatabase(p);
        const TableDef t = db->TableDefs()[0];
        QCOMPARE(t.Name, "Altro");
        QCOMPARE(t.Fields.Count(), 4);
        QCOMPARE(t.Fields[0].Attributes & dbAutoIncrField, long(dbAutoIncrField));
        QCOMPARE(QList<int>({t.Fields[1].Type, t.Fields[1].Size, t.Fields[2].Type, t.Fields[3].Type}),
                 QList<int>({dbText, 12, dbMemo, dbInteger}));
        QCOMPARE(db->OpenRecordset("Altro")->Fields("nome").Value().toString(), "a");
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
    TestOpening test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_opening.moc"
