#pragma once
// Private to the engine: what a Recordset is made of.
//
// A dynaset is a keyset (the base table's rowids in the query's order) with the non-memo values
// of every row cached compactly; memo values are read for the current record only. A set whose
// connection wrote since it was filled re-reads a row by rowid before showing it. A set opened on
// a table reads only its keys at first and each row's values when the row is first needed. Read-
// only shapes (GROUP BY, joins, expressions) keep all their rows, numbered from 0.

#include "engine/Connection.h"
#include "engine/RowCache.h"
#include "engine/Types.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace qn {

struct FieldInfo {
    QString name;
    int type = 0;
    int size = 0;
    bool autoIncrement = false;
    int cacheColumn = -1; // column in the row cache; -1 for memo values read on demand
};

class RecordsetCore {
public:
    RecordsetCore(std::shared_ptr<Connection> conn, const QString& source, int type);
    RecordsetCore(const RecordsetCore&) = delete;
    RecordsetCore& operator=(const RecordsetCore&) = delete;

    // State
    int type() const { return m_type; }
    bool updatable() const { return m_keyed && m_type != dbOpenSnapshot && !m_conn->readOnly(); }
    long count() const { return static_cast<long>(m_rows.size()); }
    bool bof() const;
    bool eof() const;
    long absolutePosition() const;
    void setAbsolutePosition(long position);
    bool isOpen() const { return !m_closed && m_conn->isOpen(); }
    void close();

    // Moves
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    // Fields
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    const FieldInfo& field(int index) const;
    int fieldIndex(const QString& name) const;
    QVariant value(int index);
    void setValue(int index, const QVariant& value);

    // Editing (RecordsetEdit.cpp)
    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void remove();
    int editMode() const { return m_editMode; }

    // Finding and bookmarks
    void find(const QString& criteria, bool forward, bool fromEnd);
    bool noMatch() const { return m_noMatch; }
    QByteArray bookmark() const;
    void setBookmark(const QByteArray& bookmark);
    QByteArray lastModified() const { return m_lastModified; }
    void readTexts(int keyField, int textField, const std::function<void(qint64, const char*, int)>& sink);

private:
    void openTable(const QString& table);
    void openQuery(const QString& sql);
    void loadKeyed(const QString& fromClause);
    void loadTableKeys();
    void prepareRowFetch(const QString& columns);
    void refreshForReading(size_t row);
    void loadMaterialised(const QString& sql);
    void setTableFields(const QString& table, const QStringList& columns, bool all);
    QString cachedColumnList() const;
    void ensureUsable() const;
    void requireCurrent() const;
    void cancelPendingEdit();
    void refreshRow(size_t row, bool force);
    QVariant memoValue(const FieldInfo& f, int64_t key);
    void requireUpdatable() const;
    std::vector<int64_t> matchingKeys(const QString& criteria);
    static QByteArray encodeBookmark(int64_t key);
    void afterWrite(bool wasCurrent);

    std::shared_ptr<Connection> m_conn; // declared first: statements below die before it
    int m_type;
    bool m_keyed = false; // rows are rowids of m_table (an updatable shape)
    bool m_closed = false;
    QString m_table;
    QString m_querySql; // for finds on a read-only shape
    std::vector<FieldInfo> m_fields;
    int m_cachedCount = 0;
    RowCache m_rows;

    // Position: -1 before the first row, count() after the last. After a Delete the current
    // record is gone: m_onDeleted, and m_pos is the row that followed it.
    long m_pos = -1;
    bool m_onDeleted = false;

    uint64_t m_generation = 0;
    std::unordered_map<int64_t, uint64_t> m_fresh; // rows re-read at a later generation

    int m_editMode = 0;
    std::vector<QVariant> m_buffer;
    std::vector<bool> m_assigned;
    bool m_noMatch = false;
    QByteArray m_lastModified;

    std::unique_ptr<Statement> m_rowFetch;
    std::vector<std::unique_ptr<Statement>> m_memoFetch;
    int64_t m_memoKey = 0;
    int m_memoField = -1;
    uint64_t m_memoGeneration = 0;
    QVariant m_memoValue;

    friend class RecordsetEditor;
};

} // namespace qn
