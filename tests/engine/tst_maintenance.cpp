// Compaction and repair of a damaged file. (Saves under kill -9: tests/mainwindow/tst_durability.cpp.)

#include "EngineFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qn;
using EngineFixture::errorOf;

namespace {

QString filled(const QString& path, int rows) {
    auto db = EngineFixture::createTipsDatabase(path);
    auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), dbOpenTable);
    for (int i = 1; i <= rows; ++i) {
        rs->AddNew();
        rs->Fields(QStringLiteral("Titolo"))
            .SetValue(QStringLiteral("Tip %1").arg(i, 5, 10, QLatin1Char('0')));
        rs->Fields(QStringLiteral("Categoria")).SetValue(QStringLiteral("Cat %1").arg(i % 7));
        rs->Fields(QStringLiteral("Procedura")).SetValue(QString(300, QLatin1Char('a' + i % 26)));
        rs->Update();
    }
    return path;
}

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void compactionWritesACopy() {
        const QString src = filled(path(QStringLiteral("src.mdb")), 300);
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
        const QString src = filled(path(QStringLiteral("rosrc.mdb")), 20);
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
        const QString p = filled(path(QStringLiteral("sound.mdb")), 20);
        const QByteArray before = EngineFixture::fileBytes(p);
        DBEngine::RepairDatabase(p);
        QCOMPARE(EngineFixture::fileBytes(p), before);
    }

    void repairSalvagesRowsAroundADamagedPage() {
        const int rows = 1500;
        const QString p = filled(path(QStringLiteral("damaged.mdb")), rows);
        QStringList leaves = EngineFixture::rawColumn(
            p, QStringLiteral(
                   "SELECT pageno FROM dbstat WHERE name='TipsTable' AND pagetype='leaf' ORDER BY pageno"));
        if (leaves.isEmpty() || leaves[0].startsWith(QLatin1Char('<')))
            QSKIP("this SQLite has no dbstat table to find a page of the table");
        const qint64 page = leaves[leaves.size() / 2].toLongLong();
        EngineFixture::overwrite(p, (page - 1) * 4096, 4096);
        QVERIFY(EngineFixture::rawColumn(p, QStringLiteral("PRAGMA integrity_check")).value(0) !=
                QLatin1String("ok"));

        DBEngine::RepairDatabase(p);
        QCOMPARE(EngineFixture::rawColumn(p, QStringLiteral("PRAGMA integrity_check")), QStringList({"ok"}));
        auto db = DBEngine::OpenDatabase(p, true);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC"));
        const long survivors = rs->RecordCount();
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

    void repairRefusesAnUnreadableSchema() {
        const QString p = filled(path(QStringLiteral("noschema.mdb")), 10);
        EngineFixture::overwrite(p, 100, 3996); // page 1 after the header holds the schema
        QCOMPARE(errorOf([&] { DBEngine::RepairDatabase(p); }), err::CannotOpen);
        QCOMPARE(errorOf([&] { DBEngine::RepairDatabase(path(QStringLiteral("none.mdb"))); }),
                 err::FileNotFound);
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)

#include "tst_maintenance.moc"
