#pragma once
// Wrapping of very long lines in a plain-text box.
//
// Qt wraps a line at word boundaries by looking, for every line it makes, for the next place
// where the text may break, and that search runs to the end of an unbroken run of characters:
// a run of n characters wrapped into lines of w costs about n²/w. A pasted base64 blob or a
// minified file without blanks keeps the window busy for seconds or minutes. Wrapping anywhere
// costs n. So a box whose text holds such a run wraps anywhere; every other text wraps at word
// boundaries, breaking a word only when it is longer than a line. The text itself never changes.

#include <QStringView>

class QPlainTextEdit;
class QString;

namespace qn::ui {

// Longer unbroken runs make the box wrap anywhere; shorter ones cost little at word boundaries.
constexpr qsizetype LongestWordWrappedRun = 400;

// True when `text` holds more than LongestWordWrappedRun characters without a place where a line
// may break at a word boundary.
bool HasLongUnbrokenRun(QStringView text);

// Replaces the text of `box`, choosing its wrapping before the new text is laid out.
void SetWrappedPlainText(QPlainTextEdit* box, const QString& text);

// Watches the edits of `box`: a change that brings in a long unbroken run makes the box wrap
// anywhere before Qt lays the change out.
void KeepWrappingLinear(QPlainTextEdit* box);

} // namespace qn::ui
