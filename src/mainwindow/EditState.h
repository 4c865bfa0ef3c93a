#pragma once
// Small helpers shared by the editing, mode and bookmark routines of the main window.

#include "engine/Database.h"
#include "startup/GenericBas.h"

#include <QString>
#include <exception>

namespace qn::editing {

// The view shown in the main window, or nullptr when no open set is in use.
inline qn::Recordset* OpenTipsSet() {
    qn::Recordset* rs = GenericBas::TipsRecordset.get();
    return rs && rs->IsOpen() ? rs : nullptr;
}

// The view's edit mode; 0 when there is no open set or it cannot tell.
inline int PendingEditMode() {
    try {
        if (qn::Recordset* rs = OpenTipsSet()) return rs->EditMode();
    } catch (const std::exception&) {
    }
    return qn::dbEditNone;
}

inline bool EditPending() {
    const int mode = PendingEditMode();
    return mode == qn::dbEditInProgress || mode == qn::dbEditAdd;
}

// Removes leading and trailing blanks only: tabs and line breaks of a procedure are kept.
inline QString TrimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace qn::editing
