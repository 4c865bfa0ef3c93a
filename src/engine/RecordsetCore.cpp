#include "engine/RecordsetCore.h"

#include "engine/Dialect.h"
#include "engine/Schema.h"
#include "engine/Types.h"
#include "engine/Values.h"

#include <algorithm>
#include <sqlite3.h>
#include <unordered_set>

namespace qn {

namespace {

QString bareName(QString s) {
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('[')) && s.endsWith(QLatin1Char(']'))) s = s.mid(1, s.size() - 2);
    return s;
}

bool looksLikeQuery(const QString& source) {
    const QString s = source.trimmed();
    return s.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("TRANSFORM"), Qt::CaseInsensitive) ||
           (s.contains(QLatin1Char(' ')) && !s.startsWith(QLatin1Char('[')));
}

int typeOfStorage(int storageClass) {
    switch (storageClass) {
    case SQLITE_INTEGER:
        return dbLong;
    case SQLITE_FLOAT:
        return dbDouble;
    case SQLITE_BLOB:
        return dbLongBinary;
    default:
        return dbText;
    }
}

} // namespace

RecordsetCore::RecordsetCore(std::shared_ptr<Connection> conn, const QString& source, int type)
    : m_conn(std::move(conn)), m_type(type == dbOpenDefault ? dbOpenDynaset : type) {
    m_conn->ensureOpen();
    if (source.trimmed().isEmpty()) throw EngineError::fromNumber(err::InvalidArgument);
    if (looksLikeQuery(source))
        openQuery(source);
    else
        openTable(bareName(source));
    m_generation = m_conn->generation();
    m_pos = count() > 0 ? 0 : -1;
}

void RecordsetCore::openTable(const QString& table) {
    const auto def = readTableDef(*m_conn, table);
    if (!def) throw EngineError::fromNumber(err::TableNotFound, table);
    m_table = def->Name;
    setTableFields(m_table, {}, true);
    loadTableKeys();
}

void RecordsetCore::openQuery(const QString& sql) {
    const TranslatedSql t = translateSql(sql);
    if (!t.isSelect) throw EngineError::fromNumber(err::InvalidOperation);
    if (!t.readOnlyShape) {
        if (const auto def = readTableDef(*m_conn, t.baseTable)) {
            bool known = true;
            for (const QString& c : t.columns) {
                bool found = false;
                for (const Field& f : def->Fields)
                    found = found || f.Name.compare(c, Qt::CaseInsensitive) == 0;
                known = known && found;
            }
            if (known && (t.selectAll ? t.columns.isEmpty() : !t.columns.isEmpty())) {
                m_table = def->Name;
                setTableFields(m_table, t.columns, t.selectAll);
                loadKeyed(t.fromClause);
                return;
            }
        }
    }
    loadMaterialised(t.sql);
}

void RecordsetCore::setTableFields(const QString& table, const QStringList& columns, bool all) {
    const auto def = readTableDef(*m_conn, table);
    auto add = [this](const Field& f) {
        FieldInfo info{f.Name, f.Type, f.Size, (f.Attributes & dbAutoIncrField) != 0, -1};
        if (!isMemoType(f.Type)) info.cacheColumn = m_cachedCount++;
        m_fields.push_back(info);
    };
    if (all) {
        for (const Field& f : def->Fields)
            add(f);
        return;
    }
    for (const QString& c : columns)
        for (const Field& f : def->Fields)
            if (f.Name.compare(c, Qt::CaseInsensitive) == 0) add(f);
}

QString RecordsetCore::cachedColumnList() const {
    QStringList names;
    for (const FieldInfo& f : m_fields)
        if (f.cacheColumn >= 0) names << quoteName(f.name);
    return names.isEmpty() ? QStringLiteral("NULL") : names.join(QLatin1String(", "));
}

void RecordsetCore::loadKeyed(const QString& fromClause) {
    m_keyed = true;
    const QString columns = cachedColumnList();
    Statement s(*m_conn, QStringLiteral("SELECT rowid, %1 %2").arg(columns, fromClause));
    while (s.step() == Statement::Step::Row)
        m_rows.append(s.columnInt64(0), s, 1, m_cachedCount);
    prepareRowFetch(columns);
}

// The whole table in key order. Its keys alone come from the smallest index (a few megabytes,
// where the rows fill every page of the file); which records the set holds is still fixed here.
// A row's values are read by key the first time they are needed, and are then what the eager
// load followed by a refresh would give, a row deleted meanwhile included (err::RecordDeleted).
void RecordsetCore::loadTableKeys() {
    m_keyed = true;
    std::vector<int64_t> keys;
    {
        Statement s(*m_conn, QStringLiteral("SELECT rowid FROM %1").arg(quoteName(m_table)));
        while (s.step() == Statement::Step::Row)
            keys.push_back(s.columnInt64(0));
    }
    std::sort(keys.begin(), keys.end());
    for (const int64_t key : keys)
        m_rows.appendPending(key, m_cachedCount);
    prepareRowFetch(cachedColumnList());
}

void RecordsetCore::prepareRowFetch(const QString& columns) {
    m_rowFetch = std::make_unique<Statement>(
        *m_conn, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(columns, quoteName(m_table)));
    m_memoFetch.resize(m_fields.size());
}

void RecordsetCore::loadMaterialised(const QString& sql) {
    m_keyed = false;
    m_querySql = sql;
    Statement s(*m_conn, sql);
    const int n = s.columnCount();
    for (int c = 0; c < n; ++c) {
        const QString decl = s.columnDeclType(c);
        Field f = fieldFromDeclaredType(s.columnName(c), decl, false);
        m_fields.push_back(FieldInfo{f.Name, decl.isEmpty() ? -1 : f.Type, f.Size, false, c});
    }
    m_cachedCount = n;
    int64_t row = 0;
    while (s.step() == Statement::Step::Row) {
        for (FieldInfo& f : m_fields) // an expression takes the type of its first value
            if (f.type < 0 && s.columnType(f.cacheColumn) != SQLITE_NULL)
                f.type = typeOfStorage(s.columnType(f.cacheColumn));
        m_rows.append(row++, s, 0, n);
    }
    for (FieldInfo& f : m_fields)
        if (f.type < 0) f.type = dbText;
}

// ---- state and moves ---------------------------------------------------------------------

void RecordsetCore::ensureUsable() const {
    if (m_closed || !m_conn->isOpen()) throw EngineError::fromNumber(err::ObjectClosed);
}

bool RecordsetCore::bof() const {
    ensureUsable();
    return count() == 0 || m_pos < 0;
}

bool RecordsetCore::eof() const {
    ensureUsable();
    return count() == 0 || m_pos >= count();
}

long RecordsetCore::absolutePosition() const {
    ensureUsable();
    if (m_onDeleted || m_pos < 0 || m_pos >= count()) return -1;
    return m_pos;
}

void RecordsetCore::setAbsolutePosition(long position) {
    ensureUsable();
    if (position < 0 || position >= count()) throw EngineError::fromNumber(err::InvalidArgument);
    cancelPendingEdit();
    m_pos = position;
    m_onDeleted = false;
}

void RecordsetCore::requireCurrent() const {
    ensureUsable();
    if (m_onDeleted) throw EngineError::fromNumber(err::RecordDeleted);
    if (m_pos < 0 || m_pos >= count()) throw EngineError::fromNumber(err::NoCurrentRecord);
}

void RecordsetCore::cancelPendingEdit() {
    m_editMode = dbEditNone;
    m_buffer.clear();
    m_assigned.clear();
}

void RecordsetCore::moveFirst() {
    ensureUsable();
    if (count() == 0) throw EngineError::fromNumber(err::NoCurrentRecord);
    cancelPendingEdit();
    m_pos = 0;
    m_onDeleted = false;
}

void RecordsetCore::moveLast() {
    ensureUsable();
    if (count() == 0) throw EngineError::fromNumber(err::NoCurrentRecord);
    cancelPendingEdit();
    m_pos = count() - 1;
    m_onDeleted = false;
}

void RecordsetCore::moveNext() {
    ensureUsable();
    if (eof() && !m_onDeleted) throw EngineError::fromNumber(err::NoCurrentRecord);
    cancelPendingEdit();
    if (m_onDeleted)
        m_onDeleted = false; // m_pos already names the record that followed (or the end)
    else
        ++m_pos;
}

void RecordsetCore::movePrevious() {
    ensureUsable();
    if (bof() && !m_onDeleted) throw EngineError::fromNumber(err::NoCurrentRecord);
    cancelPendingEdit();
    m_onDeleted = false;
    m_pos = std::max(-1L, m_pos - 1);
}

void RecordsetCore::close() {
    m_closed = true;
    cancelPendingEdit();
    m_memoFetch.clear();
    m_rowFetch.reset();
    m_rows.clear();
    m_fresh.clear();
}

// ---- fields ------------------------------------------------------------------------------

const FieldInfo& RecordsetCore::field(int index) const {
    ensureUsable();
    if (index < 0 || index >= fieldCount()) throw EngineError::fromNumber(err::ItemNotFound);
    return m_fields[static_cast<size_t>(index)];
}

int RecordsetCore::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

void RecordsetCore::refreshRow(size_t row, bool force) {
    const uint64_t gen = m_conn->generation();
    if (!m_keyed || (!force && m_generation == gen)) return;
    const int64_t key = m_rows.key(row);
    if (!force) {
        auto it = m_fresh.find(key);
        if (it != m_fresh.end() && it->second == gen) return;
    }
    m_rowFetch->reset();
    m_rowFetch->bindInt64(1, key);
    if (m_rowFetch->step() != Statement::Step::Row) throw EngineError::fromNumber(err::RecordDeleted);
    m_rows.replace(row, *m_rowFetch, 0, m_cachedCount);
    m_rowFetch->reset();
    if (m_generation != gen) m_fresh[key] = gen;
}

// Before a row's cached values are read: a row of a table-type set is read the first time.
void RecordsetCore::refreshForReading(size_t row) {
    refreshRow(row, m_keyed && m_rows.isPending(row));
}

void RecordsetCore::readTexts(int keyField, int textField,
                              const std::function<void(qint64, const char*, int)>& sink) {
    const FieldInfo& key = field(keyField);
    const FieldInfo& text = field(textField);
    if (key.cacheColumn < 0 || text.cacheColumn < 0) throw EngineError::fromNumber(err::InvalidArgument);
    QByteArray converted;
    for (size_t row = 0; row < m_rows.size(); ++row) {
        try {
            refreshForReading(row);
        } catch (const EngineError& e) {
            if (e.number() == err::RecordDeleted) continue;
            throw;
        }
        const char* bytes = nullptr;
        int size = 0;
        if (!m_rows.text(row, text.cacheColumn, bytes, size)) {
            // Not stored as text (or Null): as the field presents it.
            const QVariant v = presentAs(m_rows.value(row, text.cacheColumn), text.type);
            converted = v.isValid() ? v.toString().toUtf8() : QByteArray();
            bytes = v.isValid() ? converted.constData() : nullptr;
            size = static_cast<int>(converted.size());
        }
        int64_t number = 0;
        if (!m_rows.integer(row, key.cacheColumn, number))
            number = presentAs(m_rows.value(row, key.cacheColumn), key.type).toLongLong();
        sink(number, bytes, size);
    }
}

QVariant RecordsetCore::memoValue(const FieldInfo& f, int64_t key) {
    const int index = static_cast<int>(&f - m_fields.data());
    const uint64_t gen = m_conn->generation();
    if (m_memoField == index && m_memoKey == key && m_memoGeneration == gen) return m_memoValue;
    auto& stmt = m_memoFetch[static_cast<size_t>(index)];
    if (!stmt)
        stmt = std::make_unique<Statement>(
            *m_conn,
            QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quoteName(f.name), quoteName(m_table)));
    stmt->reset();
    stmt->bindInt64(1, key);
    if (stmt->step() != Statement::Step::Row) throw EngineError::fromNumber(err::RecordDeleted);
    m_memoValue = stmt->columnVariant(0);
    stmt->reset();
    m_memoField = index;
    m_memoKey = key;
    m_memoGeneration = gen;
    return m_memoValue;
}

QVariant RecordsetCore::value(int index) {
    const FieldInfo& f = field(index);
    if (m_editMode != dbEditNone) {
        if (m_assigned[static_cast<size_t>(index)]) return m_buffer[static_cast<size_t>(index)];
        if (m_editMode == dbEditAdd) return QVariant();
    }
    requireCurrent();
    const auto row = static_cast<size_t>(m_pos);
    refreshForReading(row);
    if (f.cacheColumn < 0) return presentAs(memoValue(f, m_rows.key(row)), f.type);
    return presentAs(m_rows.value(row, f.cacheColumn), f.type);
}

// ---- finds and bookmarks -----------------------------------------------------------------

std::vector<int64_t> RecordsetCore::matchingKeys(const QString& criteria) {
    const QString where = translateExpression(criteria);
    const QString sql =
        m_keyed ? QStringLiteral("SELECT rowid FROM %1 WHERE (%2)").arg(quoteName(m_table), where)
                : QStringLiteral("SELECT qn_row FROM (SELECT row_number() OVER () - 1 AS qn_row, * "
                                 "FROM (%1)) WHERE (%2)")
                      .arg(m_querySql, where);
    std::vector<int64_t> keys;
    try {
        Statement s(*m_conn, sql);
        while (s.step() == Statement::Step::Row)
            keys.push_back(s.columnInt64(0));
    } catch (const EngineError& e) {
        if (e.number() == err::ObjectClosed) throw;
        throw EngineError::fromNumber(err::SyntaxError, criteria);
    }
    return keys;
}

void RecordsetCore::find(const QString& criteria, bool forward, bool fromEnd) {
    ensureUsable();
    cancelPendingEdit();
    const std::vector<int64_t> found = matchingKeys(criteria);
    const std::unordered_set<int64_t> wanted(found.begin(), found.end());
    const long n = count();
    long i;
    if (fromEnd)
        i = forward ? 0 : n - 1;
    else if (forward)
        i = m_onDeleted ? m_pos : m_pos + 1;
    else
        i = m_pos - 1;
    for (; i >= 0 && i < n; i += forward ? 1 : -1) {
        if (wanted.count(m_rows.key(static_cast<size_t>(i)))) {
            m_pos = i;
            m_onDeleted = false;
            m_noMatch = false;
            return;
        }
    }
    m_noMatch = true;
}

QByteArray RecordsetCore::encodeBookmark(int64_t key) {
    QByteArray b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<char>((static_cast<uint64_t>(key) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray RecordsetCore::bookmark() const {
    requireCurrent();
    return encodeBookmark(m_rows.key(static_cast<size_t>(m_pos)));
}

void RecordsetCore::setBookmark(const QByteArray& bookmark) {
    ensureUsable();
    if (bookmark.size() != 8) throw EngineError::fromNumber(err::InvalidBookmark);
    uint64_t key = 0;
    for (int i = 0; i < 8; ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(bookmark[i])) << (8 * i);
    const long row = m_rows.find(static_cast<int64_t>(key));
    if (row < 0) throw EngineError::fromNumber(err::InvalidBookmark);
    cancelPendingEdit();
    m_pos = row;
    m_onDeleted = false;
}

} // namespace qn
