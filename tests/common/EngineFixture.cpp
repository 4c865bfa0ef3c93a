#include "EngineFixture.h"

#include "tipsdb/CreateDB.h"

#include <QFile>
#include <sqlite3.h>

namespace EngineFixture {

using namespace qn;

void appendTipsTable(Database& db) {
    db.TableDefs().Append(CreateDB::TipsTableDef());
}

std::unique_ptr<Database> createTipsDatabase(const QString& path) {
    auto db = DBEngine::Workspaces(0).CreateDatabase(path, QString::fromLatin1(CreateDB::TipsLocale));
    appendTipsTable(*db);
    return db;
}

int addTip(Database& db, const QString& title, const QVariant& category, const QVariant& procedure) {
    auto rs = db.OpenRecordset(QStringLiteral("TipsTable"), dbOpenTable);
    rs->AddNew();
    rs->Fields(QStringLiteral("Titolo")).SetValue(title);
    if (category.isValid()) rs->Fields(QStringLiteral("Categoria")).SetValue(category);
    if (procedure.isValid()) rs->Fields(QStringLiteral("Procedura")).SetValue(procedure);
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    return rs->Fields(QStringLiteral("KeyPrimary")).Value().toInt();
}

QStringList rawColumn(const QString& path, const QString& sql) {
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        out << QStringLiteral("<error: %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

int rawExec(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
}

void overwrite(const QString& path, qint64 offset, qint64 length, char byte) {
    QFile f(path);
    if (f.open(QIODevice::ReadWrite) && f.seek(offset)) f.write(QByteArray(qsizetype(length), byte));
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace EngineFixture
