#include "engine/Connection.h"

#include "engine/Collation.h"
#include "engine/Dialect.h"
#include "engine/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

namespace qn {

namespace {

const char kSqliteHeader[] = "SQLite format 3"; // followed by a NUL: 16 bytes

QString constraintName(const QString& message) {
    // "CHECK constraint failed: size:Titolo"
    const int colon = message.indexOf(QLatin1String("failed: "));
    return colon < 0 ? QString() : message.mid(colon + 8).trimmed();
}

QString afterPrefix(const QString& name) {
    return name.mid(name.indexOf(QLatin1Char(':')) + 1);
}

// Whether the header's page count is one SQLite trusts (set, and written by the same change as
// the header's change counter). A write transaction rewrites a count it does not trust.
bool sizeFieldValid(const QByteArray& header) {
    return header.size() >= 100 && header.mid(28, 4) != QByteArray(4, '\0') &&
           header.mid(24, 4) == header.mid(92, 4);
}

// Checks the path before any file is opened, as the classic engine reports these cases.
void checkPath(const QString& path) {
    if (path.trimmed().isEmpty() || path.contains(QChar(0)))
        throw EngineError::fromNumber(err::InvalidPath, path);
    const QFileInfo info(path);
    if (info.isDir()) throw EngineError::fromNumber(err::InvalidPath, path);
    if (!info.exists()) {
        const QFileInfo folder(info.absolutePath());
        throw EngineError::fromNumber(folder.isDir() ? err::FileNotFound : err::InvalidPath, path);
    }
}

} // namespace

long mapSqliteError(int rc, const QString& message, int systemErrno) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_IOERR || primary == SQLITE_FULL || primary == SQLITE_CANTOPEN) {
        // A quota, a size limit or a full disk all mean the file cannot grow; a file system
        // remounted read-only refuses every write.
        if (systemErrno == ENOSPC || systemErrno == EDQUOT || systemErrno == EFBIG) return err::DiskFull;
        if (systemErrno == EROFS) return err::ReadOnly;
    }
    switch (primary) {
    case SQLITE_CONSTRAINT: {
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) return err::DuplicateKey;
        if (rc == SQLITE_CONSTRAINT_NOTNULL) return err::FieldRequired;
        const QString name = constraintName(message);
        if (name.startsWith(QLatin1String("size:"))) return err::FieldTooSmall;
        if (name.startsWith(QLatin1String("zerolen:"))) return err::ZeroLengthNotAllowed;
        if (name.startsWith(QLatin1String("range:"))) return err::NumericOverflow;
        if (name.startsWith(QLatin1String("required:"))) return err::FieldRequired;
        return err::DuplicateKey;
    }
    case SQLITE_READONLY:
        return err::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return err::Locked;
    case SQLITE_NOTADB:
        return err::UnrecognizedFormat;
    case SQLITE_CORRUPT:
        return err::CannotOpen;
    case SQLITE_FULL:
        return err::DiskFull;
    case SQLITE_IOERR:
        return err::DiskIo;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return err::FileLocked;
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return err::TypeConversion;
    case SQLITE_TOOBIG:
        return err::FieldTooSmall;
    case SQLITE_NOMEM:
        return err::OutOfMemory;
    case SQLITE_ERROR:
        if (message.startsWith(QLatin1String("no such table"))) return err::TableNotFound;
        if (message.startsWith(QLatin1String("no such column"))) return err::TooFewParameters;
        return err::SyntaxError;
    default:
        return err::ReservedError;
    }
}

QByteArray sqliteFileName(const QString& path) {
    return QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return; // a folder we cannot open is one we did not write in either
    ::fsync(fd);
    ::close(fd);
}

// ---- Statement ---------------------------------------------------------------------------

Statement::Statement(Connection& conn, const QString& sql) : m_conn(conn) {
    prepare(utf8Of(sql));
}

Statement::Statement(Connection& conn, const char* sql) : m_conn(conn) {
    prepare(QByteArray(sql));
}

Statement::~Statement() {
    finalize();
    m_conn.m_statements.erase(this);
}

void Statement::prepare(const QByteArray& sql) {
    m_conn.ensureOpen();
    const int rc =
        sqlite3_prepare_v2(m_conn.m_db, sql.constData(), static_cast<int>(sql.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_conn.fail(rc, QString::fromUtf8(sql));
    }
    if (!m_stmt) // only blanks or a comment: nothing would run, and a step would find no statement
        throw EngineError::fromNumber(err::SyntaxError, QString::fromUtf8(sql));
    m_conn.m_statements.insert(this);
}

void Statement::finalize() {
    if (m_stmt) sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

void Statement::check() const {
    if (!m_stmt) throw EngineError::fromNumber(err::ObjectClosed);
}

Statement::Step Statement::step() {
    check();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return Step::Row;
    if (rc == SQLITE_DONE) return Step::Done;
    // The extended code and message describe the failure; read them before the reset.
    const int extended = sqlite3_extended_errcode(m_conn.m_db);
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_conn.m_db));
    const int systemErrno = m_conn.systemErrno();
    sqlite3_reset(m_stmt); // returns the same failure again: already read above
    m_conn.noteFailure(extended);
    const long number = mapSqliteError(extended, message, systemErrno);
    QString argument = number == err::FieldRequired || number == err::ZeroLengthNotAllowed
                           ? afterPrefix(constraintName(message))
                           : message;
    if (number == err::FieldRequired && extended == SQLITE_CONSTRAINT_NOTNULL)
        argument = message.section(QLatin1Char('.'), -1);
    if (number == err::CannotOpen || number == err::UnrecognizedFormat) argument = m_conn.path();
    throw EngineError::fromNumber(number, argument);
}

void Statement::reset() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

void Statement::checkBind(int rc) const {
    // A value SQLite refuses (too long, no such parameter, no memory) must never stay Null.
    if (rc != SQLITE_OK)
        throw EngineError::fromNumber(mapSqliteError(rc, QString::fromUtf8(sqlite3_errmsg(m_conn.m_db))),
                                      m_conn.path());
}

void Statement::bindNull(int index) {
    check();
    checkBind(sqlite3_bind_null(m_stmt, index));
}

void Statement::bindInt64(int index, int64_t value) {
    check();
    checkBind(sqlite3_bind_int64(m_stmt, index, value));
}

void Statement::bindDouble(int index, double value) {
    check();
    checkBind(sqlite3_bind_double(m_stmt, index, value));
}

void Statement::bindText(int index, const QString& value) {
    check();
    const QByteArray utf8 = utf8Of(value);
    checkBind(sqlite3_bind_text64(m_stmt, index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                  SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::bindBlob(int index, const QByteArray& value) {
    check();
    checkBind(sqlite3_bind_blob64(m_stmt, index, value.constData(), static_cast<sqlite3_uint64>(value.size()),
                                  SQLITE_TRANSIENT));
}

void Statement::bindVariant(int index, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        bindInt64(index, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        return;
    case QMetaType::QByteArray:
        bindBlob(index, value.toByteArray());
        return;
    case QMetaType::QDateTime:
        bindText(index, value.toDateTime().toString(Qt::ISODate));
        return;
    default:
        bindText(index, value.toString());
    }
}

int Statement::columnCount() const {
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}
int Statement::columnType(int column) const {
    return sqlite3_column_type(m_stmt, column);
}
int64_t Statement::columnInt64(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}
double Statement::columnDouble(int column) const {
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::columnText(int column) const {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

QByteArray Statement::columnBlob(int column) const {
    auto data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

const char* Statement::columnRaw(int column, int* bytes) const {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    *bytes = sqlite3_column_bytes(m_stmt, column);
    return text;
}

QVariant Statement::columnVariant(int column) const {
    switch (columnType(column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(columnInt64(column)));
    case SQLITE_FLOAT:
        return QVariant(columnDouble(column));
    case SQLITE_TEXT:
        return QVariant(columnText(column));
    case SQLITE_BLOB:
        return QVariant(columnBlob(column));
    default:
        return QVariant();
    }
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString Statement::columnDeclType(int column) const {
    const char* t = sqlite3_column_decltype(m_stmt, column);
    return t ? QString::fromUtf8(t) : QString();
}

// ---- Connection --------------------------------------------------------------------------

Connection::Connection(const QString& path, bool exclusive, bool readOnly)
    : m_path(path), m_readOnly(readOnly) {
    checkPath(path);
    if (!readOnly && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        throw EngineError::fromNumber(err::FileLocked, path);
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        throw EngineError::fromNumber(err::FileLocked, path);
    QByteArray header;
    m_lock = FileLock::acquire(path, exclusive, &header);
    for (const char* suffix : {"-wal", "-shm"})
        if (!QFileInfo::exists(path + QLatin1String(suffix))) m_newSidecars << path + QLatin1String(suffix);
    // SQLite would take a 0-byte or foreign file for an empty database; refuse it first.
    if (header.size() < 100 || !header.startsWith(QByteArray(kSqliteHeader, sizeof kSqliteHeader)))
        throw EngineError::fromNumber(err::UnrecognizedFormat, path);
    try {
        openHandle(readOnly);
        configure(exclusive, sizeFieldValid(header));
    } catch (...) {
        try {
            close();
        } catch (const EngineError&) {
            // The failure that ended the opening is the one to report.
        }
        throw;
    }
}

Connection::~Connection() {
    try {
        close();
    } catch (const EngineError&) {
        // Nothing to report to from a destructor; the handle is given up all the same.
    }
}

void Connection::openHandle(bool readOnly) {
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const QByteArray native = sqliteFileName(m_path);
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
        // The opening's own failure is the one to report; closing a handle that never opened
        // only frees it.
        (void)sqlite3_close(m_db);
        m_db = nullptr;
        throw EngineError::fromNumber(rc == SQLITE_CANTOPEN ? err::FileLocked : mapSqliteError(rc, message),
                                      m_path);
    }
    if (sqlite3_extended_result_codes(m_db, 1) != SQLITE_OK) fail(SQLITE_ERROR, m_path);
    harden();
    if (const int registered = registerTextFunctions(m_db); registered != SQLITE_OK) fail(registered, m_path);
}

namespace {

struct DbSetting {
    int option;
    int value;
    const char* name; // for the error raised when SQLite does not keep the setting
};

// An archive is data from outside: nothing its schema holds may run with more rights than a
// plain query, and nothing in it may load code or rewrite the schema.
constexpr DbSetting kHardening[] = {
    // A misspelled [field] in a query must be an error, never the text "field". (Schemas made
    // by other tools may still use the old quoting: DDL keeps it.)
    {SQLITE_DBCONFIG_DQS_DML, 0, "DQS_DML"},
    {SQLITE_DBCONFIG_DEFENSIVE, 1, "DEFENSIVE"},
    {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, "TRUSTED_SCHEMA"},
    {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, "ENABLE_LOAD_EXTENSION"},
    {SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, "ENABLE_FTS3_TOKENIZER"},
    // The program runs neither; an archive holding them is refused, and should one slip
    // through (a file changed while open), it still never runs.
    {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, "ENABLE_TRIGGER"},
    {SQLITE_DBCONFIG_ENABLE_VIEW, 0, "ENABLE_VIEW"},
    // Closing must not write: a refused file in WAL mode keeps its bytes. An accepted one is
    // put in the delete journal mode, which checkpoints it once.
    {SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, "NO_CKPT_ON_CLOSE"},
};

} // namespace

void Connection::harden() {
    for (const DbSetting& s : kHardening) {
        int kept = -1;
        const int rc = sqlite3_db_config(m_db, s.option, s.value, &kept);
        if (rc != SQLITE_OK) fail(rc, m_path);
        if (kept != s.value) throw EngineError::fromNumber(err::ReservedError, QString::fromLatin1(s.name));
    }
}

void Connection::setPragma(const char* name, const char* value, const char* expected) {
    exec(QStringLiteral("PRAGMA %1=%2").arg(QLatin1String(name), QLatin1String(value)));
    Statement read(*this, QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    if (read.step() != Statement::Step::Row ||
        read.columnText(0).compare(QLatin1String(expected), Qt::CaseInsensitive) != 0)
        throw EngineError::fromNumber(err::ReservedError,
                                      QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
}

void Connection::configure(bool exclusive, bool lockNow) {
    const bool locking = exclusive && !m_readOnly;
    try {
        // Before anything reads the file: in this mode a file in WAL mode keeps its index in
        // memory and gets no -shm file beside it.
        if (locking) setPragma("locking_mode", "EXCLUSIVE", "exclusive");
        // Every write is its own transaction in a rollback journal, synced before the call
        // returns: a process killed or a power cut one instant after a save keeps that save.
        // EXTRA also syncs the folder after a journal is deleted, so a deleted journal cannot
        // come back after a power cut and roll a committed save back.
        setPragma("synchronous", "EXTRA", "3");
        setPragma("foreign_keys", "OFF", "0");
        // Damaged pages are recognised as such before their cells are used.
        setPragma("cell_size_check", "ON", "1");
        if (locking && lockNow) {
            // Keep SQLite's own lock from the first statement on, so other tools cannot use
            // the file behind our back either. (Not when the header's page count is stale, as
            // very old versions of SQLite left it: any write transaction corrects that field,
            // and a file must not change before it is accepted. Its first change locks it.)
            exec("BEGIN EXCLUSIVE");
            exec("COMMIT");
        }
        // Reading the schema proves the file is a sound database.
        Statement probe(*this, "SELECT count(*) FROM sqlite_master");
        probe.step();
    } catch (const EngineError& e) {
        if (e.number() == err::Locked)
            throw EngineError::fromNumber(err::FileInUse, QFileInfo(m_path).absoluteFilePath());
        // A schema SQLite cannot read (damaged, or naming what this program does not have)
        // means the file cannot be opened; its SQL text means nothing to the user.
        if (e.number() == err::SyntaxError || e.number() == err::TableNotFound ||
            e.number() == err::TooFewParameters || e.number() == err::CannotOpen)
            throw EngineError::fromNumber(err::CannotOpen, m_path);
        if (e.number() == err::UnrecognizedFormat) throw EngineError::fromNumber(e.number(), m_path);
        throw;
    }
}

void Connection::useDeleteJournal() {
    ensureWritable();
    Statement mode(*this, "PRAGMA journal_mode=DELETE");
    if (mode.step() != Statement::Step::Row || mode.columnText(0) != QLatin1String("delete"))
        throw EngineError::fromNumber(err::ReservedError, QStringLiteral("PRAGMA journal_mode"));
}

int Connection::systemErrno() const {
    if (!m_db) return 0;
    // The errno SQLite keeps for the connection is read after its roll-back has made more
    // system calls; the database file keeps the errno of its own last failed write.
    const int kept = sqlite3_system_errno(m_db);
    int file = 0;
    if (kept != ENOSPC && kept != EDQUOT && kept != EFBIG &&
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_LAST_ERRNO, &file) == SQLITE_OK && file != 0)
        return file;
    return kept;
}

void Connection::noteFailure(int rc) const {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) m_damaged = true;
}

void Connection::close() {
    for (Statement* s : m_statements)
        s->finalize();
    m_statements.clear();
    const int rc = m_db ? sqlite3_close_v2(m_db) : SQLITE_OK;
    m_db = nullptr;
    // Reading a file in WAL mode makes an empty -wal file (and, read-only, a -shm file) beside
    // it; those this opening made are removed, so a refused file is left as it was found. A
    // -wal file with content is part of the archive and stays.
    for (const QString& sidecar : std::exchange(m_newSidecars, {})) {
        const QFileInfo info(sidecar);
        if (info.exists() && (sidecar.endsWith(QLatin1String("-shm")) || info.size() == 0))
            QFile::remove(sidecar);
    }
    // Only after SQLite has let go of the file: dropping the lock earlier would let another
    // opening in.
    m_lock.reset();
    if (rc != SQLITE_OK) throw EngineError::fromNumber(mapSqliteError(rc, {}), m_path);
}

void Connection::ensureOpen() const {
    if (!m_db) throw EngineError::fromNumber(err::ObjectClosed);
}

void Connection::ensureWritable() const {
    ensureOpen();
    if (m_readOnly) throw EngineError::fromNumber(err::ReadOnly);
}

void Connection::exec(const char* sql) {
    ensureOpen();
    // sqlite3_exec runs every statement of a script; errors are mapped like a step's.
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(rc, QString::fromUtf8(sql));
}

void Connection::exec(const QString& sql) {
    exec(utf8Of(sql).constData());
}

int64_t Connection::changes() const {
    return m_db ? sqlite3_changes64(m_db) : 0;
}
int64_t Connection::lastInsertRowid() const {
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

void Connection::fail(int rc, const QString& context) const {
    const int extended = m_db ? sqlite3_extended_errcode(m_db) : rc;
    const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    noteFailure(extended ? extended : rc);
    const long number = mapSqliteError(extended ? extended : rc, message, systemErrno());
    if (number == err::SyntaxError || number == err::TableNotFound || number == err::TooFewParameters) {
        QString argument =
            number == err::SyntaxError ? context : message.section(QLatin1Char(':'), -1).trimmed();
        if (number == err::TooFewParameters) argument = QStringLiteral("1");
        throw EngineError::fromNumber(number, argument);
    }
    throw EngineError::fromNumber(number, m_path);
}

void Connection::createFile(const QString& path) {
    if (path.trimmed().isEmpty()) throw EngineError::fromNumber(err::InvalidPath, path);
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) throw EngineError::fromNumber(err::DatabaseExists, path);
    if (!QFileInfo(info.absolutePath()).isDir()) throw EngineError::fromNumber(err::InvalidPath, path);
    // O_EXCL: never truncate or reuse a file that appeared since the check above.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int e = errno;
        throw EngineError::fromNumber(e == EEXIST                 ? err::DatabaseExists
                                      : e == ENOSPC               ? err::DiskFull
                                      : e == EACCES || e == EROFS ? err::FileLocked
                                                                  : err::InvalidPath,
                                      path);
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(sqliteFileName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA synchronous=EXTRA; PRAGMA journal_mode=DELETE; PRAGMA user_version=1;",
                          nullptr, nullptr, nullptr);
    const int systemErrno = db ? sqlite3_system_errno(db) : 0;
    const int closed = sqlite3_close(db);
    if (rc == SQLITE_OK) rc = closed;
    if (rc != SQLITE_OK) {
        QFile::remove(path);
        throw EngineError::fromNumber(mapSqliteError(rc, {}, systemErrno), path);
    }
    syncFolder(info.absolutePath()); // the new file's name is on the disk as well as its bytes
}

} // namespace qn
