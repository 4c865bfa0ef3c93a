#include "mainwindow/LongLines.h"

#include <QPlainTextEdit>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace qn::ui {

namespace {

constexpr auto WordWrapping = QTextOption::WrapAtWordBoundaryOrAnywhere;

// Whether a run without blanks still has line-break opportunities (after '/', '-', ...) close
// enough together for word wrapping.
bool breaksOftenEnough(QStringView run) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, run.data(), run.size());
    qsizetype last = 0;
    for (qsizetype p = finder.toNextBoundary(); p >= 0; p = finder.toNextBoundary()) {
        if (p - last > LongestWordWrappedRun) return false;
        last = p;
    }
    return run.size() - last <= LongestWordWrappedRun;
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
