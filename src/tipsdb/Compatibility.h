#pragma once
// What makes a file a tips archive: a table named exactly "TipsTable" whose fields include the
// eight names of the tips schema, in exact letter case. Types, sizes, indexes and further
// fields are not examined.

#include <QString>
#include <QStringList>

namespace qn {
class Database;
}

namespace tipsdb {

enum class Compatibility { Compatible, NoTipsTable, MissingFields };

// True when `db` holds a table named "TipsTable" (case-sensitive). Engine errors reach the caller.
bool HasTipsTable(qn::Database& db);
// True when `names` holds all eight field names of TipsTable (case-sensitive).
bool HasTipsFieldNames(const QStringList& names);
// True when TipsTable of `db` has the eight fields; false also when they cannot be read.
bool HasTipsFields(qn::Database& db);
// Both checks in order. Engine errors of the first one reach the caller.
Compatibility CheckCompatibility(qn::Database& db);

} // namespace tipsdb
