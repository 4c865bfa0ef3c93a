#include "mainwindow/LongLines.h"

#include <QPlainTextEdit>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace qn::ui {

namespace {

constexpr auto WordWrapping = QTextOption::WrapAtWordBoundaryOrAnywhere;

// Whether `part` has a stretch longer than LongestWordWrappedRun between two line-break
// opportunities (its ends count as such).
bool hasLongStretch(QStringView part) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, part.data(), part.size());
    qsizetype last = 0;
    for (qsizetype p = finder.toNextBoundary(); p >= 0; p = finder.toNextBoundary()) {
        if (p - last > LongestWordWrappedRun) return true;
        last = p;
    }
    return false;
}

// Whether a run without blanks still has line-break opportunities (after '/', '-', ...) close
// enough together for word wrapping. Looked at in overlapping pieces of four times the limit,
// two apart: a longer stretch lies for more than the limit in one of them, and a blob is
// recognised from its first piece instead of from all of its megabyte.
bool breaksOftenEnough(QStringView run) {
    constexpr qsizetype piece = 4 * LongestWordWrappedRun;
    for (qsizetype from = 0; from < run.size(); from += piece / 2) {
        if (hasLongStretch(run.mid(from, std::min(piece, run.size() - from)))) return false;
        if (from + piece >= run.size()) break;
    }
    return true;
}

} // namespace

bool HasLongUnbrokenRun(QStringView text) {
    if (text.size() <= LongestWordWrappedRun) return false;
    // Blanks and line ends always allow a break; only the long runs between them need Qt's rules.
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace()) continue;
        if (i - start > LongestWordWrappedRun && !breaksOftenEnough(text.mid(start, i - start))) return true;
        start = i + 1;
    }
    return false;
}

void SetWrappedPlainText(QPlainTextEdit* box, const QString& text) {
    // Emptied first: changing the wrapping lays out again whatever the box holds.
    box->clear();
    box->setWordWrapMode(HasLongUnbrokenRun(text) ? QTextOption::WrapAnywhere : WordWrapping);
    box->setPlainText(text);
}

void KeepWrappingLinear(QPlainTextEdit* box) {
    QTextDocument* doc = box->document();
    // contentsChange comes before the document's layout sees the change.
    QObject::connect(doc, &QTextDocument::contentsChange, box, [box, doc](int from, int, int added) {
        if (box->wordWrapMode() != WordWrapping) return;
        // A long run that the change takes part in lies within this window around it.
        const int last = doc->characterCount() - 1;
        QTextCursor around(doc);
        around.setPosition(std::clamp(from - int(LongestWordWrappedRun) - 1, 0, last));
        around.setPosition(std::clamp(from + added + int(LongestWordWrappedRun) + 1, 0, last),
                           QTextCursor::KeepAnchor);
        if (HasLongUnbrokenRun(around.selectedText())) box->setWordWrapMode(QTextOption::WrapAnywhere);
    });
}

} // namespace qn::ui
