// Database, Workspace and DBEngine: opening, creating and querying database files.

#include "engine/Database.h"

#include "engine/Connection.h"
#include "engine/Dialect.h"
#include "engine/RecordsetCore.h"
#include "engine/Schema.h"

#include <QFile>
#include <sqlite3.h>

namespace qn {

namespace {

Connection& usable(const std::shared_ptr<Connection>& conn) {
    if (!conn || !conn->isOpen()) throw EngineError::fromNumber(err::ObjectClosed);
    return *conn;
}

} // namespace

// ---- Database ----------------------------------------------------------------------------

Database::Database(std::shared_ptr<Connection> connection) : m_conn(std::move(connection)) {}

Database::~Database() {
    Close();
}

QString Database::Name() const {
    return m_conn ? m_conn->path() : QString();
}
bool Database::Updatable() const {
    return m_conn && !m_conn->readOnly();
}
bool Database::IsOpen() const {
    return m_conn && m_conn->isOpen();
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString& source, int type, int) {
    auto core = std::make_unique<RecordsetCore>(m_conn, source, type);
    (void)usable(m_conn);
    return std::unique_ptr<Recordset>(new Recordset(std::move(core)));
}

long Database::Execute(const QString& sql, int) {
    Connection& conn = usable(m_conn);
    const TranslatedSql t = translateSql(sql);
    if (t.isSelect) throw EngineError::fromNumber(err::CannotExecuteSelect);
    conn.ensureWritable();
    Statement s(conn, t.sql);
    while (s.step() == Statement::Step::Row) {
    }
    m_recordsAffected = static_cast<long>(conn.changes());
    conn.bumpGeneration();
    return m_recordsAffected;
}

long Database::RecordsAffected() const {
    return m_recordsAffected;
}

TableDefsCollection Database::TableDefs() {
    return TableDefsCollection(this, readTableDefs(usable(m_conn)));
}

QList<SchemaObject> Database::SchemaObjects() {
    return readSchemaObjects(usable(m_conn));
}

void Database::UseDeleteJournal() {
    usable(m_conn).useDeleteJournal();
}

bool Database::IsDamaged() const {
    return m_conn && m_conn->damaged();
}

void Database::appendTableDef(const TableDef& table) {
    createTable(usable(m_conn), table);
}

void TableDefsCollection::Append(const TableDef& table) {
    m_db->appendTableDef(table);
    m_items.append(table);
}

quint64 Database::ChangeStamp() const {
    return m_conn ? m_conn->generation() : 0;
}

void Database::Close() {
    if (m_conn) m_conn->close(); // record sets still alive now report err::ObjectClosed
}

// ---- Workspace ---------------------------------------------------------------------------

std::unique_ptr<Database> Workspace::OpenDatabase(const QString& path, bool exclusive, bool readOnly) {
    auto conn = std::make_shared<Connection>(path, exclusive, readOnly);
    return std::unique_ptr<Database>(new Database(std::move(conn)));
}

std::unique_ptr<Database> Workspace::CreateDatabase(const QString& path, const QString& locale, int) {
    Connection::createFile(path);
    try {
        auto conn = std::make_shared<Connection>(path, false, false);
        conn->exec("BEGIN IMMEDIATE");
        createMetadataTables(*conn);
        storeProperty(*conn, QStringLiteral("Connect"), locale);
        conn->exec("COMMIT");
        return std::unique_ptr<Database>(new Database(std::move(conn)));
    } catch (const EngineError&) {
        QFile::remove(path); // the file is ours: we made it a moment ago
        throw;
    }
}

// ---- DBEngine ----------------------------------------------------------------------------

Workspace& DBEngine::Workspaces(int index) {
    static Workspace workspace;
    if (index != 0) throw EngineError::fromNumber(err::ItemNotFound);
    return workspace;
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const QString& path, bool exclusive, bool readOnly) {
    return Workspaces(0).OpenDatabase(path, exclusive, readOnly);
}

bool DBEngine::IsAvailable() {
    return sqlite3_libversion_number() >= 3035000;
}

QString DBEngine::Version() {
    return QString::fromLatin1(sqlite3_libversion());
}

} // namespace qn
