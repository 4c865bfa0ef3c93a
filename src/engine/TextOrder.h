#pragma once
// The engine's general text order, the one its ORDER BY and GROUP BY follow, for callers that
// keep a sorted list of their own beside a view (and must place an entry where a new view would).

namespace qn {

// Negative, zero or positive as the UTF-8 text `a` sorts before, with or after `b`.
int CompareText(const char* a, int aBytes, const char* b, int bBytes);

} // namespace qn
