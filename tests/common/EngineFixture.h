#pragma once
// Engine-level helpers for tests: the program's tips table, raw SQLite access for checking files behind the engine's back, and file damage.

#include "engine/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace EngineFixture {

// Appends TipsTable (8 fields, 3 indexes) to an open database.
void appendTipsTable(qn::Database& db);
// Creates a new database file holding an empty TipsTable; returns it open.
std::unique_ptr<qn::Database> createTipsDatabase(const QString& path);
// Adds one tip through a table-type set; returns its KeyPrimary.
int addTip(qn::Database& db, const QString& title, const QVariant& category = QVariant(),
           const QVariant& procedure = QVariant());
// Every value of one column of `sql`, run through a raw SQLite connection (no engine).
QStringList rawColumn(const QString& path, const QString& sql);
// Runs `sql` on a raw SQLite connection; returns the SQLite result code.
int rawExec(const QString& path, const QString& sql);
// Overwrites `length` bytes at `offset` of a file with a repeating byte.
void overwrite(const QString& path, qint64 offset, qint64 length, char byte = '\x5A');
// The file's bytes, for before/after comparisons.
QByteArray fileBytes(const QString& path);
// The number the engine raised running `f`, or 0 when it raised nothing.
template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const qn::EngineError& e) {
        return e.number();
    }
    return 0;
}

} // namespace EngineFixture
