#include "engine/SchemaGuard.h"

#include "engine/Connection.h"

#include <QByteArray>
#include <memory>
#include <sqlite3.h>

namespace qn {

namespace {

// Pragmas that only read; every other one, and any pragma given a value, is denied.
bool readOnlyPragma(const char* name) {
    static const char* const allowed[] = {"integrity_check", "quick_check", "table_info", "table_xinfo",
                                          "index_list",      "index_info",  "index_xinfo"};
    if (!name) return false;
    for (const char* a : allowed)
        if (sqlite3_stricmp(a, name) == 0) return true;
    return false;
}

bool isSchemaTable(const QString& name) {
    return name == QLatin1String("sqlite_master") || name == QLatin1String("sqlite_schema");
}

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

} // namespace

SchemaGuard::SchemaGuard(Connection& conn) : m_conn(conn) {
    sqlite3* db = conn.handle();
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_set_authorizer(db, &SchemaGuard::authorize, this);
}

SchemaGuard::~SchemaGuard() {
    if (m_conn.isOpen()) sqlite3_set_authorizer(m_conn.handle(), nullptr, nullptr);
}

int SchemaGuard::authorize(void* self, int code, const char* first, const char* second, const char* database,
                           const char*) {
    auto* guard = static_cast<SchemaGuard*>(self);
    if (code == SQLITE_ATTACH || code == SQLITE_DETACH) return SQLITE_DENY;
    if (code == SQLITE_PRAGMA && (second || !readOnlyPragma(first))) return SQLITE_DENY;
    if (guard->m_recording) guard->m_actions.append({code, text(first), text(second), text(database)});
    return SQLITE_OK;
}

// What preparing the statement asked for must be the creation of this entry and nothing else:
// no other table read, no second statement's worth of work, nothing outside "main".
bool SchemaGuard::acceptable(const SchemaEntry& entry, const QStringList& tables) const {
    const bool isTable = entry.type == QLatin1String("table");
    const bool isIndex = entry.type == QLatin1String("index");
    if ((!isTable && !isIndex) || (isIndex && !tables.contains(entry.table))) return false;
    const QString& own = isTable ? entry.name : entry.table;
    int creations = 0;
    for (const Action& a : m_actions) {
        if (!a.database.isEmpty() && a.database != QLatin1String("main")) return false;
        switch (a.code) {
        case SQLITE_CREATE_TABLE:
            if (isTable && a.first == entry.name)
                ++creations;
            else if (!isTable || a.first != QLatin1String("sqlite_sequence"))
                return false;
            break;
        case SQLITE_CREATE_INDEX:
            // A table's PRIMARY KEY or UNIQUE constraint comes with an index of its own.
            if (isTable && a.first.startsWith(QLatin1String("sqlite_autoindex_")) && a.second == entry.name)
                break;
            if (!isIndex || a.first != entry.name || a.second != entry.table) return false;
            ++creations;
            break;
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
            if (!isSchemaTable(a.first)) return false;
            break;
        case SQLITE_READ:
            if (!isSchemaTable(a.first) && a.first != own) return false;
            break;
        case SQLITE_REINDEX:
            if (a.first != entry.name) return false;
            break;
        case SQLITE_FUNCTION: // CHECK and index expressions; untrusted schema limits them
            break;
        default:
            return false;
        }
    }
    return creations == 1;
}

bool SchemaGuard::run(const SchemaEntry& entry, const QStringList& tables) {
    m_conn.ensureOpen();
    const QByteArray sql = entry.sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    m_actions.clear();
    m_recording = true;
    const int rc =
        sqlite3_prepare_v2(m_conn.handle(), sql.constData(), static_cast<int>(sql.size()), &raw, &tail);
    m_recording = false;
    std::unique_ptr<sqlite3_stmt, StatementDeleter> statement(raw);
    if (rc != SQLITE_OK || !statement) return false;
    const QByteArray rest =
        tail ? QByteArray(tail, static_cast<int>(sql.constData() + sql.size() - tail)) : "";
    if (!rest.trimmed().isEmpty() || !acceptable(entry, tables)) return false;
    // A savepoint, so that a statement failing half-way (a unique index the rows no longer
    // satisfy) leaves nothing behind.
    m_conn.exec("SAVEPOINT schema_entry");
    if (sqlite3_step(statement.get()) == SQLITE_DONE) {
        m_conn.exec("RELEASE schema_entry");
        return true;
    }
    statement.reset();
    m_conn.exec("ROLLBACK TO schema_entry");
    m_conn.exec("RELEASE schema_entry");
    return false;
}

} // namespace qn
