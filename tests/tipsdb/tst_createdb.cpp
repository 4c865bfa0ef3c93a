// A new archive must hold exactly the tips table the program expects, readable by plain SQLite.
#include "engine/Database.h"
#include "tipsdb/CreateDB.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Rows of a query through the plain SQLite C API, each row's columns joined with '|'.
QStringList rawRows(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList cols;
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                rows << cols.join('|');
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

} // namespace

class TestCreateDB : public QObject {
    Q_OBJECT

private slots:
    void newFileHasTheTipsTableSchema() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Nuovo.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(path));

        // Plain SQLite sees the table and its columns in creation order.
        QCOMPARE(rawRows(path, "SELECT name FROM pragma_table_info('TipsTable')"),
                 QStringList({"KeyPrimary", "Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note",
                              "Bookmark", "Linguaggio"}));

        auto db = qn::DBEngine::OpenDatabase(path);
        const qn::TableDef* tips = nullptr;
        auto defs = db->TableDefs();
        for (const auto& t : defs)
            if (t.Name == "TipsTable") tips = &t;
        QVERIFY(tips);
        QCOMPARE(tips->Fields.Count(), 8);
        const struct {
            const char* name;
            int type, size;
            long attributes;
            bool zeroLength;
        } expected[] = {{"KeyPrimary", 4, 4, 17, false}, {"Titolo", 10, 60, 2, true},
                        {"Procedura", 12, 0, 2, true},   {"Categoria", 10, 30, 2, true},
                        {"ChiaveRicerca", 10, 20, 2, true}, {"Note", 10, 50, 2, true},
                        {"Bookmark", 2, 1, 1, false},    {"Linguaggio", 10, 10, 2, true}};
        for (int i = 0; i < 8; ++i) {
            const qn::Field& f = tips->Fields[i];
            QCOMPARE(f.Name, QString::fromLatin1(expected[i].name));
            QCOMPARE(f.Type, expected[i].type);
            QCOMPARE(f.Size, expected[i].size);
            QCOMPARE(f.Attributes, expected[i].attributes);
            QCOMPARE(f.AllowZeroLength, expected[i].zeroLength);
        }
        QCOMPARE(tips->Indexes.Count(), 3);
        QCOMPARE(tips->Indexes[0].Name, QString("Categoria"));
        QCOMPARE(tips->Indexes[1].Name, QString("ChiaveRicerca"));
        const qn::Index& pk = tips->Indexes[2];
        QCOMPARE(pk.Name, QString("PrimaryKey"));
        QCOMPARE(pk.Fields[0].Name, QString("KeyPrimary"));
        QVERIFY(pk.Primary && pk.Required && pk.Unique);
        QVERIFY(!tips->Indexes[0].Unique && !tips->Indexes[0].Primary);
    }

    void newTableNumbersKeysAndEnforcesItsLimits() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Limiti.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(path));
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset("TipsTable", qn::dbOpenDynaset);
        QCOMPARE(rs->RecordCount(), 0L);

        // Empty text is accepted in every text field and in the memo; unassigned fields stay Null.
        rs->AddNew();
        for (const char* name : {"Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note", "Linguaggio"})
            rs->Fields(QString::fromLatin1(name)).SetValue(QString(""));
        rs->Update();
        rs->AddNew();
        rs->Fields("Titolo").SetValue(QString(60, QChar('t')));
        rs->Update();
        rs->MoveFirst();
        const qlonglong first = rs->Fields("KeyPrimary").Value().toLongLong();
        QCOMPARE(rs->Fields("Titolo").Value().toString(), QString(""));
        QVERIFY(!rs->Fields("Titolo").Value().isNull());
        QVERIFY(rs->Fields("Bookmark").Value().isNull());
        rs->MoveNext();
        QCOMPARE(rs->Fields("KeyPrimary").Value().toLongLong(), first + 1);

        const struct {
            const char* field;
            int length;
        } tooLong[] = {{"Titolo", 61}, {"Categoria", 31}, {"ChiaveRicerca", 21}, {"Note", 51}};
        for (const auto& c : tooLong) {
            rs->AddNew();
            rs->Fields(QString::fromLatin1(c.field)).SetValue(QString(c.length, QChar('x')));
            try {
                rs->Update();
                QFAIL(qPrintable(QString("%1 di %2 caratteri accettato").arg(c.field).arg(c.length)));
            } catch (const qn::EngineError& e) {
                QCOMPARE(e.number(), qn::err::FieldTooSmall);
            }
            rs->CancelUpdate();
        }

        rs->AddNew();
        rs->Fields("KeyPrimary").SetValue(first);
        try {
            rs->Update();
            QFAIL("chiave duplicata accettata");
        } catch (const qn::EngineError& e) {
            QCOMPARE(e.number(), qn::err::DuplicateKey);
        }
        rs->CancelUpdate();
        QCOMPARE(rs->RecordCount(), 2L);
    }

    void failuresAreFalseAndLeaveFilesAlone() {
        QTemporaryDir dir;
        const QString existing = dir.filePath("Esistente.mdb");
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("contenuto che non deve cambiare");
        }
        const QByteArray before = fileHash(existing);
        QVERIFY(!CreateDB::CreateTipsDatabase(existing));
        QCOMPARE(fileHash(existing), before);

        // An existing archive is not overwritten either.
        const QString archive = dir.filePath("Archivio.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(archive));
        const QByteArray archiveBefore = fileHash(archive);
        QVERIFY(!CreateDB::CreateTipsDatabase(archive));
        QCOMPARE(fileHash(archive), archiveBefore);

        QVERIFY(!CreateDB::CreateTipsDatabase(dir.filePath("manca/Nuovo.mdb")));
        QVERIFY(!QFile::exists(dir.filePath("manca/Nuovo.mdb")));
        QVERIFY(!CreateDB::CreateTipsDatabase(QString()));
    }
};

QTEST_GUILESS_MAIN(TestCreateDB)
#include "tst_createdb.moc"
