#pragma once
// Private to the engine: running SQL that comes from a file's own schema, which a damaged or
// crafted archive may have filled with anything. Used when a repair rebuilds a file.

#include <QList>
#include <QString>

namespace qn {

class Connection;

// One row of sqlite_master.
struct SchemaEntry {
    QString type, name, table, sql;
};

class SchemaGuard {
public:
    // Hardens `conn` (defensive mode, untrusted schema, no triggers) and installs an authorizer
    // that denies ATTACH, DETACH and every pragma that could write, for the connection's life.
    explicit SchemaGuard(Connection& conn);
    ~SchemaGuard();
    SchemaGuard(const SchemaGuard&) = delete;
    SchemaGuard& operator=(const SchemaGuard&) = delete;

    // Runs the entry's SQL as exactly one statement, only when it is the CREATE TABLE or CREATE
    // INDEX of that very entry in the main database with nothing after it (an index only on one
    // of `tables`). False when it was refused or failed to run; the connection is unchanged then.
    bool run(const SchemaEntry& entry, const QStringList& tables);

    struct Action {
        int code;
        QString first, second, database;
    };

private:
    static int authorize(void* self, int code, const char* first, const char* second, const char* database,
                         const char* trigger);
    bool acceptable(const SchemaEntry& entry, const QStringList& tables) const;
    Connection& m_conn;
    bool m_recording = false;
    QList<Action> m_actions;
};

} // namespace qn
