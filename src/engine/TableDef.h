#pragma once
// Schema objects: a table definition with its fields and indexes. They are plain values:
// build one, append it to Database::TableDefs(), and read them back from an open file.

#include "engine/Types.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qn {

// Bytes (characters for text) a field of `type` takes when no size is given; 0 for memo.
int defaultFieldSize(int type);

// A small ordered collection with the Append/Count vocabulary of the schema objects.
template <typename T> class Collection {
public:
    void Append(const T& item) { m_items.append(item); }
    int Count() const { return static_cast<int>(m_items.size()); }
    const T& operator[](int index) const { return m_items.at(index); }
    T& operator[](int index) { return m_items[index]; }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }

private:
    QList<T> m_items;
};

struct Field {
    QString Name;
    int Type = dbText;
    int Size = 0;         // characters for text, bytes for numbers, 0 for memo
    long Attributes = 0;  // dbFixedField, dbVariableField, dbAutoIncrField
    bool AllowZeroLength = false;
    bool Required = false;
    int OrdinalPosition = 0;
};

struct Index {
    QString Name;
    Collection<Field> Fields; // only the names matter
    bool Primary = false;
    bool Required = false;
    bool Unique = false;
    bool IgnoreNulls = false;

    Field CreateField(const QString& name) const {
        Field f;
        f.Name = name;
        return f;
    }
};

class TableDef {
public:
    explicit TableDef(QString name = {}) : Name(std::move(name)) {}

    QString Name;
    Collection<Field> Fields;
    Collection<Index> Indexes;

    // Default size and attributes follow the type, as the classic engine does.
    Field CreateField(const QString& name, int type, int size = 0) const;
    Index CreateIndex(const QString& name) const {
        Index ix;
        ix.Name = name;
        return ix;
    }
};

} // namespace qn
