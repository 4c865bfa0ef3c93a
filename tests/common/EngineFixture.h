#pragma once
// Engine-level helpers: the program's tips table, raw SQLite access behind the engine's back, and
// file damage.
#include "engine/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace EngineFixture {

void appendTipsTable(qn::Database& db);
// A new database file holding an empty TipsTable, open.
std::unique_ptr<qn::Database> createTipsDatabase(const QString& path);
// Adds one tip through a table-type set; returns its KeyPrimary.
int addTip(qn::Database& db, const QString& title, const QVariant& category = QVariant(),
           const QVariant& procedure = QVariant());
// The first column of `sql` run on a raw SQLite connection, Null as "<null>".
QStringList rawColumn(const QString& path, const QString& sql);
// Runs `sql` on a raw SQLite connection; returns the SQLite result code.
int rawExec(const QString& path, const QString& sql);
// Overwrites `length` bytes at `offset` with `byte`.
void overwrite(const QString& path, qint64 offset, qint64 length, char byte = '\x5A');
QByteArray fileBytes(const QString& path);
// The number the engine raised running `f`, or 0.
template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const qn::EngineError& e) {
        return e.number();
    }
    return 0;
}

} // namespace EngineFixture
