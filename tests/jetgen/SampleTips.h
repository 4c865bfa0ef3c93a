#pragma once
// Tips that cover what a conversion must keep exactly: accents, €, curly quotes and CR LF line
// breaks, a memo of more than 16 KB over several long value pages, Null and the empty text in
// every text field, Bookmark 1, 0, 255 and Null, keys with gaps, and a deleted row.

#include "JetFile.h"

namespace jetgen {

// TipsTable holding the sample tips; the deleted one is the fourth row.
Table SampleTipsTable();
// The tips a conversion must produce from it, in key order (the deleted one left out).
QList<QVariantList> SampleTips();
// The long memo: over 16 KB of text, accents and CR LF included.
QString LongMemo();

} // namespace jetgen
