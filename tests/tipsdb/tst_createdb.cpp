// A new archive must hold exactly the tips table the program expects, readable by plain SQLite.
#include "EngineFixture.h"
#include "tipsdb/CreateDB.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using EngineFixture::errorOf;

class TestCreateDB : public QObject {
    Q_OBJECT

private slots:
    void newFileHasTheTipsTableSchema() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Nuovo.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(path));
        QCOMPARE(EngineFixture::rawColumn(path, "SELECT name FROM pragma_table_info('TipsTable')"),
                 QStringList({"KeyPrimary", "Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note",
                              "Bookmark", "Linguaggio"}));

        // The properties read back from the file, not from the definition we wrote.
        auto db = qn::DBEngine::OpenDatabase(path);
        auto defs = db->TableDefs();
        QCOMPARE(defs.Count(), 1);
        const qn::TableDef& tips = defs[0];
        QCOMPARE(tips.Name, QString("TipsTable"));
        QStringList fields;
        for (const qn::Field& f : tips.Fields)
            fields << QString("%1 %2 %3 %4 %5")
                          .arg(f.Name)
                          .arg(f.Type)
                          .arg(f.Size)
                          .arg(f.Attributes)
                          .arg(f.AllowZeroLength);
        QCOMPARE(fields, QStringList({"KeyPrimary 4 4 17 0", "Titolo 10 60 2 1", "Procedura 12 0 2 1",
                                      "Categoria 10 30 2 1", "ChiaveRicerca 10 20 2 1", "Note 10 50 2 1",
                                      "Bookmark 2 1 1 0", "Linguaggio 10 10 2 1"}));
        QStringList indexes;
        for (const qn::Index& ix : tips.Indexes)
            indexes << QString("%1(%2) %3%4%5")
                           .arg(ix.Name, ix.Fields[0].Name)
                           .arg(ix.Primary)
                           .arg(ix.Required)
                           .arg(ix.Unique);
        QCOMPARE(indexes, QStringList({"Categoria(Categoria) 000", "ChiaveRicerca(ChiaveRicerca) 000",
                                       "PrimaryKey(KeyPrimary) 111"}));
    }

    void newTableNumbersKeysAndEnforcesItsLimits() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Limiti.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(path));
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset("TipsTable", qn::dbOpenDynaset);

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
        QVERIFY(!rs->Fields("Procedura").Value().isNull());
        QVERIFY(rs->Fields("Bookmark").Value().isNull());
        rs->MoveNext();
        QCOMPARE(rs->Fields("KeyPrimary").Value().toLongLong(), first + 1);

        const std::pair<const char*, int> tooLong[] = {
            {"Titolo", 61}, {"Categoria", 31}, {"ChiaveRicerca", 21}, {"Note", 51}};
        for (const auto& [field, length] : tooLong) {
            rs->AddNew();
            rs->Fields(QString::fromLatin1(field)).SetValue(QString(length, QChar('x')));
            QCOMPARE(errorOf([&] { rs->Update(); }), qn::err::FieldTooSmall);
            rs->CancelUpdate();
        }
        rs->AddNew();
        rs->Fields("KeyPrimary").SetValue(first);
        QCOMPARE(errorOf([&] { rs->Update(); }), qn::err::DuplicateKey);
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
        const QString archive = dir.filePath("Archivio.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(archive));
        for (const QString& path : {existing, archive}) {
            const QByteArray before = EngineFixture::fileBytes(path);
            QVERIFY(!CreateDB::CreateTipsDatabase(path));
            QCOMPARE(EngineFixture::fileBytes(path), before);
        }
        QVERIFY(!CreateDB::CreateTipsDatabase(dir.filePath("manca/Nuovo.mdb")));
        QVERIFY(!QFile::exists(dir.filePath("manca/Nuovo.mdb")));
        QVERIFY(!CreateDB::CreateTipsDatabase(QString()));
    }
};

QTEST_GUILESS_MAIN(TestCreateDB)
#include "tst_createdb.moc"
