#include "engine/Schema.h"

#include "engine/Connection.h"
#include "engine/Dialect.h"

#include <QRegularExpression>

namespace qn {

namespace {

const char* const kMetadataDdl =
    "CREATE TABLE IF NOT EXISTS QnProperties(Name TEXT PRIMARY KEY, Value TEXT);"
    "CREATE TABLE IF NOT EXISTS QnFields(TableName TEXT NOT NULL, FieldName TEXT NOT NULL, Ordinal INTEGER,"
    " Type INTEGER, Size INTEGER, Attributes INTEGER, AllowZeroLength INTEGER, Required INTEGER,"
    " PRIMARY KEY(TableName, FieldName));"
    "CREATE TABLE IF NOT EXISTS QnIndexes(TableName TEXT NOT NULL, IndexName TEXT NOT NULL, Ordinal INTEGER,"
    " Fields TEXT, IsPrimary INTEGER, IsRequired INTEGER, IsUnique INTEGER, IgnoreNulls INTEGER,"
    " PRIMARY KEY(TableName, IndexName));";

bool isTextual(int type) {
    return type == dbText || type == dbMemo;
}

// A single-field primary index on an auto-increment Long becomes SQLite's rowid alias.
QString rowidField(const TableDef& table) {
    for (const Index& ix : table.Indexes) {
        if (!ix.Primary || ix.Fields.Count() != 1) continue;
        for (const Field& f : table.Fields)
            if (f.Name.compare(ix.Fields[0].Name, Qt::CaseInsensitive) == 0 && f.Type == dbLong &&
                (f.Attributes & dbAutoIncrField))
                return f.Name;
    }
    return {};
}

QString rangeCheck(const QString& q, const QString& name, long long low, long long high) {
    return QStringLiteral(" CONSTRAINT %1 CHECK(%2 BETWEEN %3 AND %4)")
        .arg(quoteName(QStringLiteral("range:") + name), q)
        .arg(low)
        .arg(high);
}

QString columnDdl(const Field& f, bool isRowid) {
    const QString q = quoteName(f.Name);
    if (isRowid) return q + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    QString d = q;
    switch (f.Type) {
    case dbBoolean:
        d += QStringLiteral(" BOOLEAN");
        break;
    case dbByte:
        d += QStringLiteral(" TINYINT") + rangeCheck(q, f.Name, 0, 255);
        break;
    case dbInteger:
        d += QStringLiteral(" SMALLINT") + rangeCheck(q, f.Name, -32768, 32767);
        break;
    case dbLong:
        d += QStringLiteral(" INTEGER") + rangeCheck(q, f.Name, -2147483648LL, 2147483647LL);
        break;
    case dbCurrency:
        d += QStringLiteral(" CURRENCY");
        break;
    case dbSingle:
        d += QStringLiteral(" FLOAT");
        break;
    case dbDouble:
        d += QStringLiteral(" DOUBLE");
        break;
    case dbDate:
        d += QStringLiteral(" DATETIME");
        break;
    case dbText: {
        const int size = f.Size > 0 ? f.Size : 255;
        d += QStringLiteral(" VARCHAR(%1) CONSTRAINT %2 CHECK(length(%3) <= %1)")
                 .arg(size)
                 .arg(quoteName(QStringLiteral("size:") + f.Name), q);
        break;
    }
    case dbMemo:
        d += QStringLiteral(" LONGTEXT"); // TEXT affinity: numbers typed in stay text
        break;
    case dbLongBinary:
        d += QStringLiteral(" LONGBLOB");
        break;
    default:
        throw EngineError::fromNumber(err::InvalidArgument);
    }
    if (isTextual(f.Type) && !f.AllowZeroLength)
        d += QStringLiteral(" CONSTRAINT %1 CHECK(%2 <> '')")
                 .arg(quoteName(QStringLiteral("zerolen:") + f.Name), q);
    if (f.Required) d += QStringLiteral(" NOT NULL");
    return d;
}

QString indexSqlName(const QString& table, const QString& index) {
    return table + QLatin1Char(':') + index;
}

QStringList indexFieldNames(const Index& ix) {
    QStringList names;
    for (const Field& f : ix.Fields)
        names << f.Name;
    return names;
}

void storeFieldMetadata(Connection& conn, const TableDef& table) {
    Statement ins(conn, "INSERT INTO QnFields(TableName, FieldName, Ordinal, Type, Size, Attributes,"
                        " AllowZeroLength, Required) VALUES (?,?,?,?,?,?,?,?)");
    int ordinal = 0;
    for (const Field& f : table.Fields) {
        ins.reset();
        ins.bindText(1, table.Name);
        ins.bindText(2, f.Name);
        ins.bindInt64(3, ordinal++);
        ins.bindInt64(4, f.Type);
        ins.bindInt64(5, f.Type == dbText ? (f.Size > 0 ? f.Size : 255) : defaultFieldSize(f.Type));
        ins.bindInt64(6, f.Attributes);
        ins.bindInt64(7, f.AllowZeroLength ? 1 : 0);
        ins.bindInt64(8, f.Required ? 1 : 0);
        ins.step();
    }
    Statement ix(conn, "INSERT INTO QnIndexes(TableName, IndexName, Ordinal, Fields, IsPrimary, IsRequired,"
                       " IsUnique, IgnoreNulls) VALUES (?,?,?,?,?,?,?,?)");
    ordinal = 0;
    for (const Index& index : table.Indexes) {
        ix.reset();
        ix.bindText(1, table.Name);
        ix.bindText(2, index.Name);
        ix.bindInt64(3, ordinal++);
        ix.bindText(4, indexFieldNames(index).join(QLatin1Char(';')));
        ix.bindInt64(5, index.Primary ? 1 : 0);
        ix.bindInt64(6, index.Required ? 1 : 0);
        ix.bindInt64(7, index.Unique || index.Primary ? 1 : 0);
        ix.bindInt64(8, index.IgnoreNulls ? 1 : 0);
        ix.step();
    }
}

bool tableExists(Connection& conn, const QString& name, QString* exactName = nullptr) {
    Statement s(conn, "SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
    s.bindText(1, name);
    if (s.step() != Statement::Step::Row) return false;
    if (exactName) *exactName = s.columnText(0);
    return true;
}

void readFields(Connection& conn, TableDef& t) {
    Statement meta(conn, "SELECT FieldName, Type, Size, Attributes, AllowZeroLength, Required FROM QnFields"
                         " WHERE TableName=? ORDER BY Ordinal");
    meta.bindText(1, t.Name);
    while (meta.step() == Statement::Step::Row) {
        Field f;
        f.Name = meta.columnText(0);
        f.Type = static_cast<int>(meta.columnInt64(1));
        f.Size = static_cast<int>(meta.columnInt64(2));
        f.Attributes = static_cast<long>(meta.columnInt64(3));
        f.AllowZeroLength = meta.columnInt64(4) != 0;
        f.Required = meta.columnInt64(5) != 0;
        f.OrdinalPosition = t.Fields.Count();
        t.Fields.Append(f);
    }
}

bool hasAutoIncrement(Connection& conn, const QString& table) {
    Statement s(conn, "SELECT sql FROM sqlite_master WHERE type='table' AND name=?");
    s.bindText(1, table);
    return s.step() == Statement::Step::Row &&
           s.columnText(0).contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
}

void readFieldsFromSqlite(Connection& conn, TableDef& t) {
    const bool autoinc = hasAutoIncrement(conn, t.Name);
    Statement info(conn, QStringLiteral("PRAGMA table_info(%1)").arg(quoteName(t.Name)));
    while (info.step() == Statement::Step::Row) {
        const bool pk = info.columnInt64(5) == 1;
        const QString decl = info.columnText(2);
        Field f = fieldFromDeclaredType(info.columnText(1), decl,
                                        pk && autoinc &&
                                            decl.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0);
        f.Required = info.columnInt64(3) != 0;
        f.OrdinalPosition = t.Fields.Count();
        t.Fields.Append(f);
    }
}

void readIndexes(Connection& conn, TableDef& t) {
    Statement meta(conn,
                   "SELECT IndexName, Fields, IsPrimary, IsRequired, IsUnique, IgnoreNulls FROM QnIndexes"
                   " WHERE TableName=? ORDER BY Ordinal");
    meta.bindText(1, t.Name);
    while (meta.step() == Statement::Step::Row) {
        Index ix;
        ix.Name = meta.columnText(0);
        for (const QString& name : meta.columnText(1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            ix.Fields.Append(ix.CreateField(name));
        ix.Primary = meta.columnInt64(2) != 0;
        ix.Required = meta.columnInt64(3) != 0;
        ix.Unique = meta.columnInt64(4) != 0;
        ix.IgnoreNulls = meta.columnInt64(5) != 0;
        t.Indexes.Append(ix);
    }
}

bool hasMetadata(Connection& conn) {
    return tableExists(conn, QStringLiteral("QnFields"));
}

} // namespace

bool isHiddenTable(const QString& name) {
    return name == QLatin1String("QnProperties") || name == QLatin1String("QnFields") ||
           name == QLatin1String("QnIndexes") || name.startsWith(QLatin1String("sqlite_"));
}

void createMetadataTables(Connection& conn) {
    conn.exec(kMetadataDdl);
}

void storeProperty(Connection& conn, const QString& name, const QString& value) {
    Statement s(conn, "INSERT OR REPLACE INTO QnProperties(Name, Value) VALUES (?, ?)");
    s.bindText(1, name);
    s.bindText(2, value);
    s.step();
}

QString tableDdl(const TableDef& table) {
    const QString rowid = rowidField(table);
    QStringList columns;
    for (const Field& f : table.Fields)
        columns << columnDdl(f, !rowid.isEmpty() && f.Name.compare(rowid, Qt::CaseInsensitive) == 0);
    for (const Index& ix : table.Indexes) {
        if (!ix.Primary || (!rowid.isEmpty() && ix.Fields.Count() == 1)) continue;
        QStringList names;
        for (const QString& n : indexFieldNames(ix))
            names << quoteName(n);
        columns << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                       .arg(quoteName(ix.Name), names.join(QLatin1String(", ")));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quoteName(table.Name), columns.join(QLatin1String(", ")));
}

void createTable(Connection& conn, const TableDef& table) {
    conn.ensureWritable();
    if (table.Name.trimmed().isEmpty() || table.Fields.Count() == 0)
        throw EngineError::fromNumber(err::InvalidArgument);
    if (tableExists(conn, table.Name)) throw EngineError::fromNumber(err::TableExists, table.Name);
    conn.exec("BEGIN IMMEDIATE");
    try {
        createMetadataTables(conn);
        conn.exec(tableDdl(table));
        for (const Index& ix : table.Indexes) {
            if (ix.Primary) continue;
            QStringList names;
            for (const QString& n : indexFieldNames(ix))
                names << quoteName(n);
            conn.exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                          .arg(ix.Unique ? QStringLiteral("UNIQUE ") : QString(),
                               quoteName(indexSqlName(table.Name, ix.Name)), quoteName(table.Name),
                               names.join(QLatin1String(", "))));
        }
        storeFieldMetadata(conn, table);
        conn.exec("COMMIT");
    } catch (...) {
        try {
            conn.exec("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
    conn.bumpGeneration();
}

QList<TableDef> readTableDefs(Connection& conn) {
    QList<TableDef> tables;
    for (const SchemaObject& o : readSchemaObjects(conn)) {
        if ((o.kind != SchemaObject::Table && o.kind != SchemaObject::VirtualTable) || isHiddenTable(o.name))
            continue;
        // A virtual table's fields are known only to its module, which listing the tables of a
        // file from outside must not call (and which may not even exist here).
        if (o.kind == SchemaObject::VirtualTable)
            tables.append(TableDef(o.name));
        else if (auto t = readTableDef(conn, o.name))
            tables.append(*t);
    }
    return tables;
}

std::optional<TableDef> readTableDef(Connection& conn, const QString& name) {
    QString exact;
    if (!tableExists(conn, name, &exact)) return std::nullopt;
    TableDef t(exact);
    const bool meta = hasMetadata(conn);
    if (meta) readFields(conn, t);
    if (t.Fields.Count() == 0) {
        readFieldsFromSqlite(conn, t);
    } else if (meta) {
        readIndexes(conn, t);
    }
    return t;
}

namespace {

// The first words of a statement in upper case, SQL comments and blanks skipped.
QStringList leadingWords(const QString& sql, int count) {
    QStringList words;
    int i = 0;
    const int n = static_cast<int>(sql.size());
    while (i < n && words.size() < count) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const int end = static_cast<int>(sql.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
        } else if (c.isLetter()) {
            int j = i;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_')))
                ++j;
            words << sql.mid(i, j - i).toUpper();
            i = j;
        } else {
            break; // a name in quotes or brackets: the kind is decided before it
        }
    }
    return words;
}

SchemaObject::Kind kindOfType(const QString& type) {
    if (type == QLatin1String("table")) return SchemaObject::Table;
    if (type == QLatin1String("view")) return SchemaObject::View;
    if (type == QLatin1String("index")) return SchemaObject::Index;
    if (type == QLatin1String("trigger")) return SchemaObject::Trigger;
    return SchemaObject::Other;
}

} // namespace

SchemaObject::Kind schemaKind(const QString& type, const QString& sql) {
    const SchemaObject::Kind byType = kindOfType(type.toLower());
    QStringList w = leadingWords(sql, 4);
    if (w.isEmpty() || w[0] != QLatin1String("CREATE")) return byType; // an automatic index: no SQL
    w.removeFirst();
    if (!w.isEmpty() && (w[0] == QLatin1String("TEMP") || w[0] == QLatin1String("TEMPORARY") ||
                         w[0] == QLatin1String("UNIQUE")))
        w.removeFirst();
    SchemaObject::Kind bySql = SchemaObject::Other;
    if (w.size() >= 2 && w[0] == QLatin1String("VIRTUAL") && w[1] == QLatin1String("TABLE"))
        bySql = SchemaObject::VirtualTable;
    else if (!w.isEmpty())
        bySql = kindOfType(w[0].toLower());
    // Whichever of the two names something that runs on its own decides.
    for (SchemaObject::Kind k : {SchemaObject::Trigger, SchemaObject::View, SchemaObject::VirtualTable})
        if (bySql == k || byType == k) return k;
    return bySql == SchemaObject::Other ? byType : bySql;
}

QList<SchemaObject> readSchemaObjects(Connection& conn) {
    QList<SchemaObject> objects;
    Statement s(conn, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid");
    while (s.step() == Statement::Step::Row) {
        SchemaObject o;
        o.kind = schemaKind(s.columnText(0), s.columnText(3));
        o.name = s.columnText(1);
        o.table = s.columnText(2);
        objects.append(o);
    }
    return objects;
}

Field fieldFromDeclaredType(const QString& name, const QString& declType, bool autoIncrement) {
    const QString d = declType.toUpper();
    Field f;
    f.Name = name;
    f.AllowZeroLength = true;
    static const QRegularExpression sized(QStringLiteral("\\((\\d+)"));
    const auto m = sized.match(d);
    if (d.contains(QLatin1String("TINYINT")))
        f.Type = dbByte;
    else if (d.contains(QLatin1String("SMALLINT")))
        f.Type = dbInteger;
    else if (d.contains(QLatin1String("BOOL")) || d == QLatin1String("BIT"))
        f.Type = dbBoolean;
    else if (d.contains(QLatin1String("INT")))
        f.Type = dbLong;
    else if (d.contains(QLatin1String("CURRENCY")) || d.contains(QLatin1String("MONEY")))
        f.Type = dbCurrency;
    else if (d.contains(QLatin1String("FLOA")) || d == QLatin1String("SINGLE"))
        f.Type = dbSingle;
    else if (d.contains(QLatin1String("DOUB")) || d.contains(QLatin1String("REAL")) ||
             d.contains(QLatin1String("NUM")) || d.contains(QLatin1String("DEC")))
        f.Type = dbDouble;
    else if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME")))
        f.Type = dbDate;
    else if (d.contains(QLatin1String("BLOB")) || d.contains(QLatin1String("BINARY")))
        f.Type = dbLongBinary;
    else if ((d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT"))) && m.hasMatch() &&
             !d.contains(QLatin1String("LONG")))
        f.Type = dbText;
    else
        f.Type = dbMemo; // TEXT, CLOB, LONGTEXT or no declared type: unbounded text
    f.Size = f.Type == dbText ? m.captured(1).toInt() : defaultFieldSize(f.Type);
    f.Attributes =
        (f.Type == dbText || f.Type == dbMemo || f.Type == dbLongBinary) ? dbVariableField : dbFixedField;
    if (autoIncrement) f.Attributes |= dbAutoIncrField;
    return f;
}

} // namespace qn
