#pragma once
// What makes a file a tips archive: a table named exactly "TipsTable" whose fields include the
// eight names of the tips schema, in exact letter case. Types, sizes, indexes and further
// fields are not examined.
//
// An archive is data from outside, so what its schema would run on the user's behalf is
// refused too: a TipsTable that is a view or a virtual table (code decides what it holds), and
// triggers (statements that run at every change). These are checked first, from the schema's
// text alone, before anything in the file is opened.

#include <QString>
#include <QStringList>

namespace qn {
class Database;
}

namespace tipsdb {

enum class Compatibility {
    Compatible,
    NoTipsTable,
    MissingFields,
    TipsTableIsView,
    TipsTableIsVirtual,
    HoldsTriggers
};

// True when `db` holds a table named "TipsTable" (case-sensitive). Engine errors reach the caller.
bool HasTipsTable(qn::Database& db);
// True when `names` holds all eight field names of TipsTable (case-sensitive).
bool HasTipsFieldNames(const QStringList& names);
// True when TipsTable of `db` has the eight fields; false also when they cannot be read.
bool HasTipsFields(qn::Database& db);
// Compatible, or the first of TipsTableIsView, TipsTableIsVirtual, HoldsTriggers that applies.
// Engine errors reach the caller.
Compatibility CheckSchemaSafety(qn::Database& db);
// The schema check, then the table, then its fields. Engine errors of the first two reach the
// caller.
Compatibility CheckCompatibility(qn::Database& db);
// The line the refusal message adds to say why; empty for the verdicts the message itself
// covers (no TipsTable, missing fields) and for Compatible.
QString RefusalReason(Compatibility verdict);

} // namespace tipsdb
