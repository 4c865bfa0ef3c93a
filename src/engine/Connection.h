#pragma once
// Private to the engine: RAII wrappers over an SQLite connection and its statements.
// A Connection is shared (shared_ptr) by a Database and every Recordset opened from it, so a
// set outliving its database sees a closed connection (err::ObjectClosed) instead of a
// dangling handle.

#include "engine/EngineError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>

struct sqlite3;
struct sqlite3_stmt;

namespace qn {

class Connection;
class FileLock;

class Statement {
public:
    enum class Step { Row, Done };

    Statement(Connection& conn, const QString& sql);
    Statement(Connection& conn, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Step step(); // throws EngineError on any failure
    void reset();
    void bindNull(int index);
    void bindInt64(int index, int64_t value);
    void bindDouble(int index, double value);
    void bindText(int index, const QString& value);
    void bindBlob(int index, const QByteArray& value);
    void bindVariant(int index, const QVariant& value);

    int columnCount() const;
    int columnType(int column) const; // SQLITE_INTEGER, ... SQLITE_NULL
    int64_t columnInt64(int column) const;
    double columnDouble(int column) const;
    QString columnText(int column) const;
    QByteArray columnBlob(int column) const;
    QVariant columnVariant(int column) const; // by storage class; Null is an invalid QVariant
    QString columnName(int column) const;
    QString columnDeclType(int column) const;
    // The raw UTF-8 bytes of a text column, valid until the next step/reset.
    const char* columnRaw(int column, int* bytes) const;

    sqlite3_stmt* handle() const { return m_stmt; }

private:
    friend class Connection;
    void prepare(const QByteArray& sql);
    void finalize();
    void check() const;
    void checkBind(int rc) const;
    Connection& m_conn;
    sqlite3_stmt* m_stmt = nullptr;
};

class Connection {
public:
    // Opens an existing file; the checks and errors of a classic opening happen here.
    Connection(const QString& path, bool exclusive, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A new database file (fails with err::DatabaseExists when the path exists).
    static void createFile(const QString& path);

    // Throws when SQLite refuses to let go of the file; the handle is given up either way.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    void ensureOpen() const;     // throws err::ObjectClosed
    void ensureWritable() const; // throws err::ReadOnly
    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }

    // Every write bumps the generation, so record sets know their cached rows may be stale.
    // Generations come from one sequence for the whole process: two connections never share one.
    uint64_t generation() const { return m_generation; }
    void bumpGeneration() { m_generation = nextGeneration(); }

    void exec(const char* sql);
    void exec(const QString& sql);
    int64_t changes() const;
    int64_t lastInsertRowid() const;

    // Puts the file in the rollback journal mode that deletes its journal after each commit
    // (a file left in WAL mode is checkpointed first, and its -wal/-shm files go away).
    void useDeleteJournal();

    // Whether a statement met a damaged page or header since the connection was opened.
    bool damaged() const { return m_damaged; }
    // The errno behind the last I/O failure, 0 when there is none to tell.
    int systemErrno() const;
    // Records what a failure says about the file (a damaged page or header).
    void noteFailure(int rc) const;

    // Converts the connection's current SQLite error into an EngineError.
    [[noreturn]] void fail(int rc, const QString& context = {}) const;

private:
    friend class Statement;
    void openHandle(bool readOnly);
    void harden();
    // Sets a pragma and reads it back: a setting SQLite does not keep is an error.
    void setPragma(const char* name, const char* value, const char* expected);
    void configure(bool exclusive, bool lockNow);
    QString m_path;
    sqlite3* m_db = nullptr;
    std::shared_ptr<FileLock> m_lock; // released only after the SQLite handle is closed
    bool m_readOnly = false;
    static uint64_t nextGeneration() {
        static std::atomic<uint64_t> last{0};
        return ++last;
    }
    uint64_t m_generation = nextGeneration();
    mutable bool m_damaged = false;
    QStringList m_newSidecars; // -wal/-shm files that did not exist before this opening
    std::set<Statement*> m_statements; // finalised when the connection closes
};

// Maps an SQLite result code and message to the classic error number. `systemErrno` is the
// errno behind an I/O failure (sqlite3_system_errno): a file that may not grow is a full disk.
long mapSqliteError(int rc, const QString& message, int systemErrno = 0);

// The name SQLite is given for a file: its absolute path. SQLite reads a name that starts with
// "file:" as a URI whose parameters choose how to open it ("file:x.mdb?mode=memory" would be an
// empty database in memory); an absolute path never starts so.
QByteArray sqliteFileName(const QString& path);
// Flushes a folder's entries (a file created, renamed or deleted in it) to the disk.
void syncFolder(const QString& folder);

} // namespace qn
