#pragma once
// Most routines of the main window skip a failing statement and go on with the next one, and
// no error may leave an event handler. These helpers give that shape to C++ code: each
// statement that may fail runs through Skip, and the program-wide view and archive are reached
// through View() / TipsDb(), which treat a missing object like a closed one (an engine error)
// instead of dereferencing a null pointer.

#include "engine/Database.h"
#include "engine/EngineError.h"
#include "startup/GenericBas.h"

#include <QStringList>
#include <exception>
#include <utility>

namespace qn::ui {

// Runs one statement; true when it completed, false when it threw.
template <typename F> bool Skip(F&& statement) noexcept {
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The number and text of an error to report; anything that is not the engine's own error is
// reported under the engine's catch-all number.
inline std::pair<long, QString> ErrorOf(const std::exception& e) {
    if (const auto* engine = dynamic_cast<const qn::EngineError*>(&e))
        return {engine->number(), engine->description()};
    return {qn::err::ReservedError, QString::fromLocal8Bit(e.what())};
}

inline qn::Recordset& View() {
    if (!GenericBas::TipsRecordset) throw qn::EngineError::fromNumber(qn::err::ObjectClosed);
    return *GenericBas::TipsRecordset;
}

inline qn::Database& TipsDb() {
    if (!GenericBas::TipsDatabase) throw qn::EngineError::fromNumber(qn::err::ObjectClosed);
    return *GenericBas::TipsDatabase;
}

// The values of `field` in the rows of `sql` on the archive in use, in the query's order; Null
// values (and, with skipEmpty, empty texts) are left out. Every failing step is skipped, so an
// empty table or a refused query gives an empty list.
QStringList ListValues(const QString& sql, const QString& field, bool skipEmpty);

// The view's record count; 0 when there is no view or it cannot be read.
inline long ViewCount() noexcept {
    long n = 0;
    Skip([&] { n = View().RecordCount(); });
    return n;
}

} // namespace qn::ui
