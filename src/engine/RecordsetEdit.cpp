// Editing through a record set: AddNew/Edit fill a buffer, Update writes it in one statement
// (its own transaction), CancelUpdate drops it, Delete removes the current record.

#include "engine/Dialect.h"
#include "engine/RecordsetCore.h"
#include "engine/Types.h"
#include "engine/Values.h"

namespace qn {

void RecordsetCore::requireUpdatable() const {
    ensureUsable();
    if (!m_keyed || m_type == dbOpenSnapshot || m_conn->readOnly())
        throw EngineError::fromNumber(err::ReadOnly);
}

void RecordsetCore::setValue(int index, const QVariant& value) {
    const FieldInfo& f = field(index);
    if (m_editMode == dbEditNone) throw EngineError::fromNumber(err::UpdateWithoutEdit);
    if (f.autoIncrement && m_editMode == dbEditInProgress)
        throw EngineError::fromNumber(err::CannotUpdateField, f.name);
    m_buffer[static_cast<size_t>(index)] = coerceToType(value, f.type);
    m_assigned[static_cast<size_t>(index)] = true;
}

void RecordsetCore::addNew() {
    requireUpdatable();
    cancelPendingEdit();
    m_buffer.assign(m_fields.size(), QVariant());
    m_assigned.assign(m_fields.size(), false);
    m_editMode = dbEditAdd;
}

void RecordsetCore::edit() {
    requireUpdatable();
    cancelPendingEdit();
    requireCurrent();
    refreshRow(static_cast<size_t>(m_pos), true); // a record deleted elsewhere cannot be edited
    m_buffer.assign(m_fields.size(), QVariant());
    m_assigned.assign(m_fields.size(), false);
    m_editMode = dbEditInProgress;
}

void RecordsetCore::cancelUpdate() {
    ensureUsable();
    if (m_editMode == dbEditNone) throw EngineError::fromNumber(err::UpdateWithoutEdit);
    cancelPendingEdit();
}

// After a write: the connection's generation moves on. A set that was in step with it stays
// in step (it refreshes what it wrote itself); otherwise the written row is marked fresh.
void RecordsetCore::afterWrite(bool wasCurrent) {
    m_conn->bumpGeneration();
    if (wasCurrent) m_generation = m_conn->generation();
}

void RecordsetCore::update() {
    ensureUsable();
    if (m_editMode == dbEditNone) throw EngineError::fromNumber(err::UpdateWithoutEdit);
    requireUpdatable();
    QStringList names, marks;
    std::vector<size_t> assigned;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (!m_assigned[i]) continue;
        assigned.push_back(i);
        names << quoteName(m_fields[i].name);
        marks << QStringLiteral("?");
    }
    const bool wasCurrent = m_generation == m_conn->generation();
    const QString table = quoteName(m_table);
    if (m_editMode == dbEditAdd) {
        const QString sql = assigned.empty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                             : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                   .arg(table, names.join(QLatin1String(", ")),
                                                        marks.join(QLatin1String(", ")));
        Statement s(*m_conn, sql);
        for (size_t k = 0; k < assigned.size(); ++k)
            bindAsType(s, static_cast<int>(k) + 1, m_buffer[assigned[k]], m_fields[assigned[k]].type);
        s.step();
        const int64_t key = m_conn->lastInsertRowid();
        afterWrite(wasCurrent);
        const long oldCount = count();
        m_rowFetch->reset();
        m_rowFetch->bindInt64(1, key);
        if (m_rowFetch->step() == Statement::Step::Row) {
            m_rows.append(key, *m_rowFetch, 0, m_cachedCount);
            m_fresh[key] = m_conn->generation();
        }
        m_rowFetch->reset();
        if (m_pos >= oldCount) // the set stays after its last record
            m_pos = count();
        m_lastModified = encodeBookmark(key);
    } else {
        const auto row = static_cast<size_t>(m_pos);
        const int64_t key = m_rows.key(row);
        if (!assigned.empty()) {
            QStringList sets;
            for (const QString& n : names)
                sets << n + QStringLiteral(" = ?");
            Statement s(*m_conn, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                     .arg(table, sets.join(QLatin1String(", "))));
            for (size_t k = 0; k < assigned.size(); ++k)
                bindAsType(s, static_cast<int>(k) + 1, m_buffer[assigned[k]], m_fields[assigned[k]].type);
            s.bindInt64(static_cast<int>(assigned.size()) + 1, key);
            s.step();
            const bool changed = m_conn->changes() > 0;
            afterWrite(wasCurrent);
            if (!changed) throw EngineError::fromNumber(err::RecordDeleted);
            refreshRow(row, true);
            m_fresh[key] = m_conn->generation();
        }
        m_lastModified = encodeBookmark(key);
    }
    cancelPendingEdit();
}

void RecordsetCore::remove() {
    requireUpdatable();
    cancelPendingEdit();
    requireCurrent();
    const auto row = static_cast<size_t>(m_pos);
    const int64_t key = m_rows.key(row);
    const bool wasCurrent = m_generation == m_conn->generation();
    Statement s(*m_conn, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(m_table)));
    s.bindInt64(1, key);
    s.step();
    const bool deleted = m_conn->changes() > 0;
    afterWrite(wasCurrent);
    m_rows.erase(row);
    m_fresh.erase(key);
    m_onDeleted = true; // m_pos now names the record that followed
    if (!deleted) throw EngineError::fromNumber(err::RecordDeleted);
}

} // namespace qn
