#include "engine/Connection.h"

#include "engine/Collation.h"
#include "engine/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

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

long mapSqliteError(int rc, const QString& message) {
    switch (rc & 0xFF) {
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
    case SQLITE_ERROR:
        if (message.startsWith(QLatin1String("no such table"))) return err::TableNotFound;
        if (message.startsWith(QLatin1String("no such column"))) return err::TooFewParameters;
        return err::SyntaxError;
    default:
        return err::ReservedError;
    }
}

// ---- Statement ---------------------------------------------------------------------------

Statement::Statement(Connection& conn, const QString& sql) : m_conn(conn) {
    prepare(sql.toUtf8());
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
    sqlite3_reset(m_stmt);
    const long number = mapSqliteError(extended, message);
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

void Statement::bindNull(int index) {
    check();
    sqlite3_bind_null(m_stmt, index);
}

void Statement::bindInt64(int index, int64_t value) {
    check();
    sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::bindDouble(int index, double value) {
    check();
    sqlite3_bind_double(m_stmt, index, value);
}

void Statement::bindText(int index, const QString& value) {
    check();
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void Statement::bindBlob(int index, const QByteArray& value) {
    check();
    sqlite3_bind_blob(m_stmt, index, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
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
    // SQLite would take a 0-byte or foreign file for an empty database; refuse it first.
    if (header.size() < 100 || !header.startsWith(QByteArray(kSqliteHeader, sizeof kSqliteHeader)))
        throw EngineError::fromNumber(err::UnrecognizedFormat, path);
    try {
        openHandle(readOnly);
        configure(exclusive);
    } catch (...) {
        close();
        throw;
    }
}

Connection::~Connection() {
    close();
}

void Connection::openHandle(bool readOnly) {
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const QByteArray native = QFile::encodeName(m_path);
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
        sqlite3_close(m_db);
        m_db = nullptr;
        throw EngineError::fromNumber(rc == SQLITE_CANTOPEN ? err::FileLocked : mapSqliteError(rc, message),
                                      m_path);
    }
    sqlite3_extended_result_codes(m_db, 1);
    // A misspelled [field] in a query must be an error, never the text "field". (Schemas made
    // by other tools may still use the old quoting: DDL keeps it.)
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    registerTextFunctions(m_db);
}

void Connection::configure(bool exclusive) {
    // Each write is its own transaction in a rollback journal synced to disk: a process killed
    // between two saves leaves a file holding every save that returned.
    exec("PRAGMA synchronous=FULL");
    exec("PRAGMA foreign_keys=OFF");
    if (exclusive && !m_readOnly) {
        // Keep SQLite's own lock from the first statement on, so other tools cannot use the
        // file behind our back either.
        exec("PRAGMA locking_mode=EXCLUSIVE");
        try {
            exec("BEGIN EXCLUSIVE");
            exec("COMMIT");
        } catch (const EngineError& e) {
            if (e.number() == err::Locked)
                throw EngineError::fromNumber(err::FileInUse, QFileInfo(m_path).absoluteFilePath());
            throw;
        }
    }
    // Reading the schema proves the file is a sound database.
    Statement probe(*this, "SELECT count(*) FROM sqlite_master");
    try {
        probe.step();
    } catch (const EngineError& e) {
        if (e.number() == err::Locked)
            throw EngineError::fromNumber(err::FileInUse, QFileInfo(m_path).absoluteFilePath());
        if (e.number() == err::CannotOpen || e.number() == err::UnrecognizedFormat)
            throw EngineError::fromNumber(e.number(), m_path);
        throw;
    }
}

void Connection::close() {
    for (Statement* s : m_statements)
        s->finalize();
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
    // Only after SQLite has let go of the file: dropping the lock earlier would let another
    // opening in.
    m_lock.reset();
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
    exec(sql.toUtf8().constData());
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
    const long number = mapSqliteError(extended ? extended : rc, message);
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
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc =
            sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA user_version=1;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        QFile::remove(path);
        throw EngineError::fromNumber(mapSqliteError(rc, {}), path);
    }
}

} // namespace qn
