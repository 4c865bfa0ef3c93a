#pragma once
// The engine's object model: DBEngine, Workspace, Database, Recordset.
// Files are SQLite databases; SQL is written in the classic dialect (brackets, Like with
// * ? # [..] wildcards, ORDER BY[Titolo]ASC) and translated before it runs.
// Every failure throws qn::EngineError.

#include "engine/EngineError.h"
#include "engine/TableDef.h"
#include "engine/Types.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace qn {

class Connection;      // the shared SQLite connection behind a Database and its sets
class RecordsetCore;   // keyset, cached rows, edit buffer
class Recordset;
class Database;

// One field of the current record of a set. Value() is an invalid QVariant for Null.
class FieldRef {
public:
    FieldRef(Recordset* owner, int index) : m_owner(owner), m_index(index) {}
    QString Name() const;
    int Type() const;
    int Size() const;
    QVariant Value() const;
    void SetValue(const QVariant& value); // only between AddNew/Edit and Update

private:
    Recordset* m_owner;
    int m_index;
};

class FieldsCollection {
public:
    explicit FieldsCollection(Recordset* owner) : m_owner(owner) {}
    int Count() const;
    FieldRef operator[](int index) const;
    FieldRef operator[](const QString& name) const;

private:
    Recordset* m_owner;
};

class Recordset {
public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int Type() const;
    bool Updatable() const;
    long RecordCount() const;          // exact at all times
    bool IsBOF() const;                // before the first record (or the set is empty)
    bool IsEOF() const;                // after the last record (or the set is empty)
    long AbsolutePosition() const;     // zero-based; -1 at BOF, EOF or on a deleted record
    void SetAbsolutePosition(long position);

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    FieldsCollection Fields() { return FieldsCollection(this); }
    FieldRef Fields(int index);
    FieldRef Fields(const QString& name);
    int FieldIndex(const QString& name) const; // -1 when unknown (case-insensitive)

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    int EditMode() const;

    void FindFirst(const QString& criteria);
    void FindLast(const QString& criteria);
    void FindNext(const QString& criteria);
    void FindPrevious(const QString& criteria);
    bool NoMatch() const;

    QByteArray Bookmark() const;
    void SetBookmark(const QByteArray& bookmark);
    QByteArray LastModified() const;

    // For filling lists: calls `sink` once per record, first to last, with the value of `keyField`
    // as a number and the value of `textField` as UTF-8 (nullptr for Null, else the bytes of
    // Value().toString()), without moving the set and without a QVariant per value. The bytes last
    // until `sink` returns. Both fields must be ones the set keeps in memory (not memo fields:
    // err::InvalidArgument). Records deleted since the set was opened are left out.
    void ReadTexts(int keyField, int textField,
                   const std::function<void(qint64 key, const char* text, int bytes)>& sink);

    void Close();
    bool IsOpen() const;

private:
    friend class Database;
    friend class FieldRef;
    friend class FieldsCollection;
    explicit Recordset(std::unique_ptr<RecordsetCore> core);
    std::unique_ptr<RecordsetCore> m_core;
};

// The table definitions of an open database, as read when TableDefs() was called.
class TableDefsCollection {
public:
    TableDefsCollection(Database* db, QList<TableDef> items) : m_db(db), m_items(std::move(items)) {}
    int Count() const { return static_cast<int>(m_items.size()); }
    const TableDef& operator[](int index) const { return m_items.at(index); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    void Append(const TableDef& table); // creates the table in the file

private:
    Database* m_db;
    QList<TableDef> m_items;
};

// One object of the file's schema, classified by the CREATE statement SQLite reads for it
// (a row of sqlite_master whose type column says otherwise is classified by what it makes).
struct SchemaObject {
    enum Kind { Table, VirtualTable, View, Index, Trigger, Other };
    Kind kind = Other;
    QString name;
    QString table; // for an index or a trigger: the table it belongs to
};

class Database {
public:
    ~Database(); // closes
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString Name() const;         // the path it was opened with
    bool Updatable() const;       // false when opened read-only
    bool IsOpen() const;

    // A table name or a SELECT in the classic dialect. A plain SELECT on one table gives an
    // updatable dynaset; GROUP BY, DISTINCT, joins or expressions give a read-only set.
    std::unique_ptr<Recordset> OpenRecordset(const QString& source, int type = dbOpenDefault, int options = 0);
    // An UPDATE or DELETE statement; returns the rows changed (also in RecordsAffected()).
    long Execute(const QString& sql, int options = 0);
    long RecordsAffected() const;

    TableDefsCollection TableDefs();
    TableDef CreateTableDef(const QString& name) const { return TableDef(name); }
    // Every object of the schema, without opening any of them (a virtual table's module is
    // never called, a view never expanded).
    QList<SchemaObject> SchemaObjects();
    // Puts a writable file in the rollback journal mode whose journal is deleted after each
    // commit (a file in WAL mode is checkpointed, its -wal and -shm files removed).
    void UseDeleteJournal();
    // True once any statement on this database met a damaged page or header; stays true
    // after Close.
    bool IsDamaged() const;
    void Close();

    // Changes with every write made through this database (its record sets, Execute, new tables)
    // and differs between databases, also between two openings of one file: a caller that finds
    // the stamp it saw before knows that nothing was written since.
    quint64 ChangeStamp() const;

private:
    friend class Workspace;
    friend class TableDefsCollection;
    explicit Database(std::shared_ptr<Connection> connection);
    void appendTableDef(const TableDef& table);
    std::shared_ptr<Connection> m_conn;
    long m_recordsAffected = 0;
};

class Workspace {
public:
    // Exclusive: no other opening of the file (this process or another) is allowed while
    // this one lasts. Read-only: every change is refused with err::ReadOnly.
    std::unique_ptr<Database> OpenDatabase(const QString& path, bool exclusive = false, bool readOnly = false);
    // A new, empty database file; fails with err::DatabaseExists when the file exists.
    // `locale` is the classic ";LANGID=0x0409;CP=1252;COUNTRY=0" string, kept in the file.
    std::unique_ptr<Database> CreateDatabase(const QString& path, const QString& locale, int options = 0);
};

// What RepairDatabase did to a file.
struct RepairResult {
    bool rebuilt = false;     // the file was damaged and has been rebuilt from what could be read
    QMap<QString, long> rows; // rows saved, by table (only when rebuilt)
    QStringList refused;      // schema entries left out of the rebuilt file, by name
};

class DBEngine {
public:
    static Workspace& Workspaces(int index); // only 0, the default workspace
    static std::unique_ptr<Database> OpenDatabase(const QString& path, bool exclusive = false,
                                                  bool readOnly = false);
    // Writes a compacted copy of `source` to `destination`; never changes the source.
    // Fails when the destination exists or the source is in use.
    static void CompactDatabase(const QString& source, const QString& destination);
    // Checks the file and, when it is damaged, rebuilds it in place from every readable record.
    // The file's schema is data from outside: each entry is run alone and only when it creates
    // a table or an index, never anything beyond the file. `tables` names the tables to keep
    // (with their indexes and the engine's own tables; empty keeps every table); one of them
    // that cannot be rebuilt fails the repair. On failure the file is left as it was.
    static RepairResult RepairDatabase(const QString& path, const QStringList& tables = {});

    // Whether the linked SQLite library is present and new enough for this engine.
    static bool IsAvailable();
    static QString Version();
};

} // namespace qn
