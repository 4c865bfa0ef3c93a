// Opening and creating files: exclusive and read-only openings (also against a second
// process), error numbers for bad paths and files that are not databases, the stored schema.

#include "EngineFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>

using namespace qn;
using EngineFixture::errorOf;

namespace {

// Child mode: hold the file open until the parent closes our standard input.
int holdOpen(const QString& path, bool exclusive) {
    try {
        auto db = DBEngine::OpenDatabase(path, exclusive, false);
        std::cout << "ready" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        return 0;
    } catch (const EngineError& e) {
        std::cout << "error " << e.number() << std::endl;
        return 1;
    }
}

} // namespace

class TestOpening : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    void writeFile(const QString& p, const QByteArray& bytes) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private slots:
    void initTestCase() {
        m_path = path("tips.mdb");
        auto db = EngineFixture::createTipsDatabase(m_path);
        EngineFixture::addTip(*db, QStringLiteral("Primo"), QStringLiteral("Rete"));
    }

    void exclusiveOpeningRefusesASecondOne() {
        auto first = DBEngine::Workspaces(0).OpenDatabase(m_path, true, false);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).OpenDatabase(m_path, true, false); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::CompactDatabase(m_path, path("copy.mdb")); }), err::FileInUse);
        // The first opening still works, also for writing, after the refusals.
        QCOMPARE(first->Execute(QStringLiteral("UPDATE TipsTable SET Note = 'x'")), 1L);
        QCOMPARE(first->OpenRecordset(QStringLiteral("TipsTable"))->RecordCount(), 1L);
        // SQLite's own lock keeps other tools out too.
        QCOMPARE(
            EngineFixture::rawColumn(m_path, QStringLiteral("SELECT Titolo FROM TipsTable")).value(0).left(7),
            QStringLiteral("<error:"));
        first.reset();
        QCOMPARE(
            DBEngine::OpenDatabase(m_path, true)->OpenRecordset(QStringLiteral("TipsTable"))->RecordCount(),
            1L);
    }

    void sharedOpeningsCoexist() {
        auto a = DBEngine::OpenDatabase(m_path);
        auto b = DBEngine::OpenDatabase(m_path);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, true); }), err::FileInUse);
        a.reset();
        QCOMPARE(b->OpenRecordset(QStringLiteral("TipsTable"))->RecordCount(), 1L);
    }

    void secondProcessIsRefused() {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--hold"), m_path, QStringLiteral("1")});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, true); }), err::FileInUse);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_path, false, true); }), err::FileInUse);
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitCode(), 0);

        auto mine = DBEngine::OpenDatabase(m_path, true);
        QProcess refused;
        refused.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--hold"), m_path, QStringLiteral("0")});
        QVERIFY(refused.waitForFinished(20000));
        QCOMPARE(refused.readAll().trimmed(), QByteArray("error 3045"));
    }

    void readOnlyOpeningRefusesChanges() {
        const QString ro = path("ro.mdb");
        QVERIFY(QFile::copy(m_path, ro));
        ::chmod(QFile::encodeName(ro).constData(), 0444);
        auto db = DBEngine::Workspaces(0).OpenDatabase(ro, true, true);
        QVERIFY(!db->Updatable());
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC"));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Primo"));
        QVERIFY(!rs->Updatable());
        QCOMPARE(errorOf([&] { rs->Edit(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->AddNew(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->Delete(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { db->Execute(QStringLiteral("UPDATE TipsTable SET Note = 'y'")); }),
                 err::ReadOnly);
        QCOMPARE(errorOf([&] { EngineFixture::appendTipsTable(*db); }), err::ReadOnly);
        db.reset();
        if (::geteuid() != 0) // root may write anyway; the engine must refuse for everybody else
            QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(ro, false, false); }), err::FileLocked);
    }

    void pathErrors() {
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(path("missing.mdb")); }), err::FileNotFound);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(path("nofolder/x.mdb")); }), err::InvalidPath);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(m_dir.path()); }), err::InvalidPath);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(QString()); }), err::InvalidPath);
    }

    void filesThatAreNotDatabases_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<long>("number");
        QByteArray random(8192, '\0');
        for (int i = 0; i < random.size(); ++i)
            random[i] = static_cast<char>((i * 7919 + 13) % 251);
        QTest::newRow("empty") << QByteArray() << err::UnrecognizedFormat;
        QTest::newRow("random") << random << err::UnrecognizedFormat;
        QTest::newRow("text") << QByteArray("SQLite format 2 but not really") << err::UnrecognizedFormat;
        QByteArray jet(4096, '\0');
        jet.replace(4, 15, "Standard Jet DB");
        QTest::newRow("foreign header") << jet << err::UnrecognizedFormat;
        const QByteArray real = EngineFixture::fileBytes(m_path);
        QTest::newRow("truncated header") << real.left(50) << err::UnrecognizedFormat;
        QByteArray mangled = real;
        mangled.replace(100, 3000, QByteArray(3000, '\xff')); // schema page destroyed
        QTest::newRow("damaged schema") << mangled << err::CannotOpen;
    }

    void filesThatAreNotDatabases() {
        QFETCH(QByteArray, bytes);
        QFETCH(long, number);
        const QString bad = path("bad.mdb");
        writeFile(bad, bytes);
        QCOMPARE(errorOf([&] { DBEngine::OpenDatabase(bad, true, false); }), number);
        QCOMPARE(EngineFixture::fileBytes(bad), bytes); // refused files are left as they were
    }

    void createDatabaseRules() {
        const QByteArray before = EngineFixture::fileBytes(m_path);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).CreateDatabase(m_path, QString()); }),
                 err::DatabaseExists);
        QCOMPARE(EngineFixture::fileBytes(m_path), before);
        QCOMPARE(errorOf([&] { DBEngine::Workspaces(0).CreateDatabase(path("none/new.mdb"), QString()); }),
                 err::InvalidPath);
        auto fresh = DBEngine::Workspaces(0).CreateDatabase(
            path("fresh.mdb"), QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0"));
        QCOMPARE(fresh->TableDefs().Count(), 0);
        fresh->Close();
        QCOMPARE(DBEngine::OpenDatabase(path("fresh.mdb"))->TableDefs().Count(), 0);
        QCOMPARE(
            EngineFixture::rawColumn(path("fresh.mdb"), QStringLiteral("SELECT Value FROM QnProperties")),
            QStringList({";LANGID=0x0409;CP=1252;COUNTRY=0"}));
    }

    void schemaIsPlainSqlite() {
        const QString p = path("schema.mdb");
        EngineFixture::createTipsDatabase(p).reset();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(p).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        auto exec = [&](const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); };
        // No custom collation anywhere: a plain connection inserts, checks and reads.
        QCOMPARE(exec("INSERT INTO TipsTable(Titolo, Categoria) VALUES ('Uno', 'Rete')"), SQLITE_OK);
        QCOMPARE(exec("INSERT INTO TipsTable(Titolo) VALUES ('Due')"), SQLITE_OK);
        QCOMPARE(sqlite3_last_insert_rowid(db), sqlite3_int64(2)); // KeyPrimary is the rowid, numbered
        QCOMPARE(exec("INSERT INTO TipsTable(KeyPrimary, Titolo) VALUES (1, 'dup')"), SQLITE_CONSTRAINT);
        QCOMPARE(exec("INSERT INTO TipsTable(Titolo) VALUES "
                      "('1234567890123456789012345678901234567890123456789012345678901')"),
                 SQLITE_CONSTRAINT);
        QCOMPARE(exec("INSERT INTO TipsTable(Bookmark) VALUES (256)"), SQLITE_CONSTRAINT);
        QCOMPARE(exec("INSERT INTO TipsTable(Procedura, Note) VALUES ('', '')"), SQLITE_OK);
        QCOMPARE(exec("UPDATE TipsTable SET Procedura = 123 WHERE KeyPrimary = 2"), SQLITE_OK);
        sqlite3_close(db);
        QCOMPARE(EngineFixture::rawColumn(
                     p, QStringLiteral("SELECT typeof(Procedura) FROM TipsTable WHERE KeyPrimary = 2")),
                 QStringList({"text"})); // memo keeps text affinity
        QCOMPARE(
            EngineFixture::rawColumn(
                p,
                QStringLiteral(
                    "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL ORDER BY name")),
            QStringList({"TipsTable:Categoria", "TipsTable:ChiaveRicerca"}));
        const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (shell.isEmpty()) QSKIP("the sqlite3 shell is not installed");
        QProcess proc;
        proc.start(shell, {p, QStringLiteral("SELECT Titolo FROM TipsTable ORDER BY KeyPrimary LIMIT 2")});
        QVERIFY(proc.waitForFinished(20000));
        QCOMPARE(proc.exitCode(), 0);
        QCOMPARE(proc.readAllStandardOutput(), QByteArray("Uno\nDue\n"));
    }

    void tableWithoutMetadataIsDescribed() {
        const QString p = path("foreign.mdb");
        DBEngine::Workspaces(0).CreateDatabase(p, QString()).reset();
        QCOMPARE(EngineFixture::rawExec(
                     p, QStringLiteral("CREATE TABLE Altro(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                       "nome VARCHAR(12), testo TEXT, n SMALLINT); "
                                       "INSERT INTO Altro(nome) VALUES ('a')")),
                 SQLITE_OK);
        auto db = DBEngine::OpenDatabase(p);
        const TableDef t = db->TableDefs()[0];
        QCOMPARE(t.Name, QStringLiteral("Altro"));
        QCOMPARE(t.Fields.Count(), 4);
        QCOMPARE(t.Fields[0].Attributes & dbAutoIncrField, long(dbAutoIncrField));
        QCOMPARE(t.Fields[1].Type, int(dbText));
        QCOMPARE(t.Fields[1].Size, 12);
        QCOMPARE(t.Fields[2].Type, int(dbMemo));
        QCOMPARE(t.Fields[3].Type, int(dbInteger));
        auto rs = db->OpenRecordset(QStringLiteral("Altro"));
        QCOMPARE(rs->Fields(QStringLiteral("nome")).Value().toString(), QStringLiteral("a"));
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--hold")
        return holdOpen(QString::fromLocal8Bit(argv[2]), std::string(argv[3]) == "1");
    QCoreApplication app(argc, argv);
    TestOpening test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_opening.moc"
