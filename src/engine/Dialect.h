#pragma once
// Private to the engine: translation of the classic SQL dialect into SQLite's.
//
// [bracketed names] become "quoted names", "double-quoted texts" become 'literals', every text
// literal and every ORDER BY / GROUP BY term gets COLLATE QNGENERAL (the general, case-insensitive
// order), a GROUP BY without ORDER BY gets one (the classic engine returns groups sorted), and
// `&` concatenates. A SELECT is also taken apart so the engine can tell an updatable set on one
// table from a read-only shape.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qn {

struct TranslatedSql {
    QString sql; // runnable SQLite text
    bool isSelect = false;
    bool readOnlyShape = true; // GROUP BY, DISTINCT, UNION, JOIN, several tables, expressions
    QString baseTable;         // the one table of a simple SELECT
    bool selectAll = false;    // `*` (or `table.*`) in the select list
    QStringList columns;       // the plain column names of the select list, in order
    QString fromClause;        // translated text from FROM to the end
};

TranslatedSql translateSql(const QString& classic);

// A WHERE-style expression (FindFirst criteria); same rules as in a statement.
QString translateExpression(const QString& classic);

// `name` as a quoted SQLite identifier.
QString quoteName(const QString& name);

// The UTF-8 bytes SQLite is given for `text`. A lone surrogate (half a character, no
// character at all) becomes U+FFFD, the replacement character: QString::toUtf8 would make it
// '?', which a Like pattern reads as a wildcard and an equality as a question mark.
QByteArray utf8Of(const QString& text);

} // namespace qn
