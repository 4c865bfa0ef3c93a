// A new archive holds exactly the tips table expected, with its limits; a failed creation changes no file.
#include "EngineFixture.h"
#include "tipsdb/CreateDB.h"

#include <QtTest>

using EngineFixture::errorOf;

class TestCreateDB : public QObject {
    Q_OBJECT

private slots:
    void newArchiveHasTheTableAndItsLimits() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Nuovo.mdb");
        QVERIFY(CreateDB::CreateTipsDatabase(path));
        // The properties as read back from the file, not from the definition written.
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto defs = db->TableDefs();
        QStringList read{QString::number(defs.Count()) + ' ' + defs[0].Name};
        for (const qn::Field& f : defs[0].Fields)
            read << f.Name +
                        QString::asprintf(" %d %d %ld %d", f.Type, f.Size, f.Attributes, f.AllowZeroLength);
        for (const qn::Index& ix : defs[0].Indexes)
            read << ix.Name + '(' + ix.Fields[0].Name +
                        QString::asprintf(") %d%d%d", ix.Primary, ix.Required, ix.Unique);
        QCOMPARE(read.join(", "),
                 "1 TipsTable, KeyPrimary 4 4 17 0, Titolo 10 60 2 1, Procedura 12 0 2 1, Categoria 10 30 2 "
                 "1, ChiaveRicerca 10 20 2 1, Note 10 50 2 1, Bookmark 2 1 1 0, Linguaggio 10 10 2 1, "
                 "Categoria(Categoria) 000, ChiaveRicerca(ChiaveRicerca) 000, PrimaryKey(KeyPrimary) 111");
        // Empty texts are accepted, unassigned fields stay Null; each text field takes its size in
        // characters and not one more (the refused record stays pending); keys count up, never twice.
        auto rs = db->OpenRecordset("TipsTable", qn::dbOpenDynaset);
        rs->AddNew();
        for (const char* name : {"Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note", "Linguaggio"})
            rs->Fields(name).SetValue(QString(""));
        rs->Update();
        rs->MoveFirst();
        const qlonglong first = rs->Fields("KeyPrimary").Value().toLongLong();
        QVERIFY(!rs->Fields("Procedura").Value().isNull() && rs->Fields("Bookmark").Value().isNull());
        for (const qn::Field& f : defs[0].Fields)
            if (f.Type == qn::dbText) {
                rs->AddNew();
                rs->Fields(f.Name).SetValue(QString(f.Size + 1, QChar(0xE8)));
                QVERIFY(errorOf([&] { rs->Update(); }) == qn::err::FieldTooSmall &&
                        rs->EditMode() == qn::dbEditAdd);
                rs->Fields(f.Name).SetValue(QString(f.Size, QChar(0xE8)));
                rs->Update();
            }
        rs->MoveLast();
        QCOMPARE(rs->Fields("KeyPrimary").Value().toLongLong(), first + 5);
        rs->AddNew();
        rs->Fields("KeyPrimary").SetValue(first);
        QCOMPARE(errorOf([&] { rs->Update(); }), qn::err::DuplicateKey);
        rs->CancelUpdate();
        QCOMPARE(rs->RecordCount(), 6L);
        rs.reset(), db.reset();

        // Neither an archive nor another file is ever overwritten; no folder, no name: false.
        const QString other = dir.filePath("Esistente.mdb");
        QFile f(other);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("contenuto che non deve cambiare") > 0 && f.flush());
        for (const QString& existing : {other, path}) {
            const QByteArray before = EngineFixture::fileBytes(existing);
            QVERIFY(!CreateDB::CreateTipsDatabase(existing));
            QCOMPARE(EngineFixture::fileBytes(existing), before);
        }
        QVERIFY(!CreateDB::CreateTipsDatabase(dir.filePath("manca/Nuovo.mdb")));
        QVERIFY(!QFile::exists(dir.filePath("manca/Nuovo.mdb")) && !CreateDB::CreateTipsDatabase(QString()));
    }
};

QTEST_GUILESS_MAIN(TestCreateDB)
#include "tst_createdb.moc"
