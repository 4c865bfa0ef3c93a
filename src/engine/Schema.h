#pragma once
// Private to the engine: tables as real SQLite DDL (readable by the stock sqlite3 shell) plus
// the classic properties that DDL cannot hold (type codes, sizes, attributes, index flags), kept
// in small metadata tables that TableDefs hides.

#include "engine/Database.h"
#include "engine/TableDef.h"

#include <QList>
#include <QString>
#include <optional>

namespace qn {

class Connection;

// Names of the metadata tables; never listed as the user's tables.
bool isHiddenTable(const QString& name);

void createMetadataTables(Connection& conn);
void storeProperty(Connection& conn, const QString& name, const QString& value);

// Creates the table, its indexes and its metadata in one transaction.
void createTable(Connection& conn, const TableDef& table);

// Every user table, in creation order.
QList<TableDef> readTableDefs(Connection& conn);
// One table (case-insensitive name); empty when there is none.
std::optional<TableDef> readTableDef(Connection& conn, const QString& name);

// Every row of sqlite_master, classified by the statement SQLite parses for it.
QList<SchemaObject> readSchemaObjects(Connection& conn);
// What `sql` creates; `type` is the row's type column, which a damaged or hostile file may
// set to anything.
SchemaObject::Kind schemaKind(const QString& type, const QString& sql);

// A field described from an SQLite declared type, for tables made without our metadata.
Field fieldFromDeclaredType(const QString& name, const QString& declType, bool autoIncrement);

// The SQL text that creates `table` (exposed for tests).
QString tableDdl(const TableDef& table);

} // namespace qn
