#include "engine/Collation.h"

#include <QChar>
#include <algorithm>
#include <sqlite3.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qn {

namespace {

// Per character: the base letter (case folded, accent stripped) that decides the order, and the
// case-folded character itself, whose difference breaks ties between accents.
struct CharKey {
    char32_t primary;
    char32_t folded;
};

constexpr char32_t kTableSize = 0x3000; // Latin, Greek, Cyrillic and the common punctuation

char32_t baseOf(char32_t c) {
    // Canonical decomposition only: 'è' -> 'e' + grave, while compatibility forms ('²', 'ﬁ')
    // keep their own place.
    for (int depth = 0; depth < 4; ++depth) {
        if (QChar::decompositionTag(c) != QChar::Canonical) break;
        const QString d = QChar::decomposition(c);
        if (d.isEmpty()) break;
        const char32_t first = d.at(0).isHighSurrogate() && d.size() > 1
                                   ? QChar::surrogateToUcs4(d.at(0), d.at(1))
                                   : d.at(0).unicode();
        if (first == c) break;
        c = first;
    }
    return c;
}

struct KeyTable {
    CharKey keys[kTableSize];
    KeyTable() {
        for (char32_t c = 0; c < kTableSize; ++c) {
            const char32_t folded = QChar::toCaseFolded(c);
            keys[c] = CharKey{QChar::toCaseFolded(baseOf(c)), folded};
        }
    }
};

const KeyTable& keyTable() {
    static const KeyTable table; // built once, thread-safe
    return table;
}

inline CharKey keyOf(char32_t c) {
    if (c < 0x80) {
        const char32_t l = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        return CharKey{l, l};
    }
    if (c < kTableSize) return keyTable().keys[c];
    const char32_t f = QChar::toCaseFolded(c);
    return CharKey{f, f};
}

// Decodes one UTF-8 character; a malformed byte stands for itself so nothing is skipped.
inline char32_t decode(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80) return b;
    int extra = (b >= 0xF0) ? 3 : (b >= 0xE0) ? 2 : (b >= 0xC0) ? 1 : 0;
    if (extra == 0 || end - p < extra) return b;
    char32_t c = b & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) return b;
        c = (c << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return c;
}

inline unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// The character at p as Like compares it (keyOf(c).folded), p moved past it.
inline char32_t foldedAt(const unsigned char*& p, const unsigned char* end) {
    if (*p < 0x80) return asciiLower(*p++);
    return keyOf(decode(p, end)).folded;
}

// The first byte from p on that is not ASCII or equals `a` or `b`; `end` when there is none.
// ASCII bytes are whole characters, so skipping them keeps p on a character boundary.
inline const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end, unsigned char a,
                                      unsigned char b) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
    const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // An equal byte gives 0xFF; a byte of 0x80 or more has its top bit set already.
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, wantA), _mm_cmpeq_epi8(v, wantB)), v);
        if (const int mask = _mm_movemask_epi8(hit)) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && *p < 0x80 && *p != a && *p != b)
        ++p;
    return p;
}

} // namespace

int compareGeneral(const char* a, int aBytes, const char* b, int bBytes) {
    auto p = reinterpret_cast<const unsigned char*>(a);
    auto q = reinterpret_cast<const unsigned char*>(b);
    const unsigned char* pe = p + aBytes;
    const unsigned char* qe = q + bBytes;
    int accent = 0; // first accent difference, used only when the base letters tie
    while (p < pe && q < qe) {
        if (*p < 0x80 && *q < 0x80) {
            const unsigned char x = asciiLower(*p++), y = asciiLower(*q++);
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        const CharKey x = keyOf(decode(p, pe));
        const CharKey y = keyOf(decode(q, qe));
        if (x.primary != y.primary) return x.primary < y.primary ? -1 : 1;
        if (accent == 0 && x.folded != y.folded) accent = x.folded < y.folded ? -1 : 1;
    }
    if (p < pe) return 1;
    if (q < qe) return -1;
    return accent;
}

int compareGeneral(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return compareGeneral(x.constData(), static_cast<int>(x.size()), y.constData(),
                          static_cast<int>(y.size()));
}

LikePattern::LikePattern(const char* pattern, int bytes) {
    auto p = reinterpret_cast<const unsigned char*>(pattern);
    const unsigned char* end = p + bytes;
    while (p < end) {
        const char32_t c = decode(p, end);
        Token t{Token::Char};
        if (c == '*') {
            if (!m_tokens.empty() && m_tokens.back().kind == Token::AnyRun) continue; // "**" is "*"
            t.kind = Token::AnyRun;
        } else if (c == '?') {
            t.kind = Token::One;
        } else if (c == '#') {
            t.kind = Token::Digit;
        } else if (c == '[') {
            t.kind = Token::Set;
            t.first = static_cast<uint32_t>(m_ranges.size());
            if (p < end && *p == '!') {
                t.negate = true;
                ++p;
            }
            bool closed = false;
            while (p < end) {
                char32_t low = decode(p, end);
                if (low == ']') {
                    closed = true;
                    break;
                }
                char32_t high = low;
                if (p + 1 < end && *p == '-' && p[1] != ']') {
                    ++p;
                    high = decode(p, end);
                }
                m_ranges.push_back(Range{keyOf(low).folded, keyOf(high).folded});
            }
            if (!closed) m_valid = false;
            t.count = static_cast<uint32_t>(m_ranges.size()) - t.first;
        } else {
            t.ch = keyOf(c).folded;
        }
        m_tokens.push_back(t);
    }
    // `*literal*`: stars at both ends and only plain characters between them.
    const size_t n = m_tokens.size();
    if (m_valid && n >= 3 && m_tokens.front().kind == Token::AnyRun &&
        m_tokens.back().kind == Token::AnyRun &&
        std::all_of(m_tokens.begin() + 1, m_tokens.end() - 1,
                    [](const Token& t) { return t.kind == Token::Char; })) {
        m_literal.reserve(n - 2);
        for (size_t i = 1; i + 1 < n; ++i)
            m_literal.push_back(m_tokens[i].ch);
    }
}

bool LikePattern::matchSet(const Token& t, char32_t c) const {
    const CharKey k = keyOf(c);
    bool in = false;
    for (uint32_t i = t.first; i < t.first + t.count && !in; ++i) {
        const Range& r = m_ranges[i];
        if (r.low == r.high)
            in = k.folded == r.low;
        else // a range takes accented letters by their base letter: 'è' is in [a-z]
            in = (k.folded >= r.low && k.folded <= r.high) || (k.primary >= r.low && k.primary <= r.high);
    }
    return in != t.negate;
}

bool LikePattern::matchOne(const Token& t, char32_t c) const {
    switch (t.kind) {
    case Token::Char:
        return keyOf(c).folded == t.ch;
    case Token::One:
        return true;
    case Token::Digit:
        return c >= '0' && c <= '9';
    case Token::Set:
        return matchSet(t, c);
    case Token::AnyRun:
        break;
    }
    return false;
}

bool LikePattern::matches(const char* value, int bytes) const {
    return m_literal.empty() ? matchesTokens(value, bytes) : containsLiteral(value, bytes);
}

// The token walk tries the literal at every character of the value; so does this search, but it
// skips the ASCII bytes that cannot start a match in blocks, and allocates nothing. Characters
// are decoded and folded exactly as the walk does, invalid bytes included, so both answer alike.
bool LikePattern::containsLiteral(const char* value, int bytes) const {
    auto p = reinterpret_cast<const unsigned char*>(value);
    const unsigned char* end = p + bytes;
    const char32_t first = m_literal.front();
    // Stop at the ASCII spellings of the first character; every non-ASCII character (which may
    // fold to it: 'K' KELVIN SIGN is 'k') is looked at too.
    const unsigned char a = first < 0x80 ? static_cast<unsigned char>(first) : 0x80;
    const unsigned char b = (a >= 'a' && a <= 'z') ? static_cast<unsigned char>(a - 32) : a;
    const size_t n = m_literal.size();
    while ((p = skipAscii(p, end, a, b)) < end) {
        if (foldedAt(p, end) != first) continue;
        const unsigned char* q = p; // past the first character; the next try starts here
        size_t i = 1;
        while (i < n && q < end && foldedAt(q, end) == m_literal[i])
            ++i;
        if (i == n) return true;
    }
    return false;
}

bool LikePattern::matchesTokens(const char* value, int bytes) const {
    auto v = reinterpret_cast<const unsigned char*>(value);
    const unsigned char* end = v + bytes;
    const size_t n = m_tokens.size();
    size_t ti = 0;
    size_t starTi = n + 1; // none yet
    const unsigned char* starV = nullptr;
    while (v < end) {
        if (ti < n && m_tokens[ti].kind == Token::AnyRun) {
            starTi = ++ti;
            starV = v;
            continue;
        }
        if (ti < n) {
            const unsigned char* save = v;
            if (matchOne(m_tokens[ti], decode(v, end))) {
                ++ti;
                continue;
            }
            v = save;
        }
        if (starTi > n) return false;
        decode(starV, end); // let the last '*' swallow one more character
        v = starV;
        ti = starTi;
    }
    while (ti < n && m_tokens[ti].kind == Token::AnyRun)
        ++ti;
    return ti == n;
}

bool likeMatch(const QString& pattern, const QString& value) {
    const QByteArray p = pattern.toUtf8(), v = value.toUtf8();
    LikePattern compiled(p.constData(), static_cast<int>(p.size()));
    return compiled.valid() && compiled.matches(v.constData(), static_cast<int>(v.size()));
}

namespace {

int collateGeneral(void*, int aBytes, const void* a, int bBytes, const void* b) {
    return compareGeneral(static_cast<const char*>(a), aBytes, static_cast<const char*>(b), bBytes);
}

void deletePattern(void* p) {
    delete static_cast<LikePattern*>(p);
}

// like(pattern, value): `value LIKE pattern` in SQL.
void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return; // NULL result
    auto value = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int valueBytes = sqlite3_value_bytes(argv[1]);
    // The compiled pattern is kept with the statement while the pattern is a constant.
    if (auto* cached = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0))) {
        sqlite3_result_int(ctx, cached->matches(value ? value : "", valueBytes) ? 1 : 0);
        return;
    }
    auto text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    auto* pattern = new LikePattern(text ? text : "", sqlite3_value_bytes(argv[0]));
    if (!pattern->valid()) {
        delete pattern;
        sqlite3_result_error(ctx, "invalid Like pattern", -1);
        return;
    }
    const bool match = pattern->matches(value ? value : "", valueBytes);
    sqlite3_set_auxdata(ctx, 0, pattern, deletePattern); // SQLite owns it from here
    sqlite3_result_int(ctx, match ? 1 : 0);
}

} // namespace

int registerTextFunctions(sqlite3* db) {
    const int rc = sqlite3_create_collation_v2(db, "QNGENERAL", SQLITE_UTF8, nullptr, collateGeneral, nullptr);
    if (rc != SQLITE_OK) return rc;
    // like() depends on its two arguments alone and has no side effects: deterministic, and
    // innocuous, so a schema may use it like the built-in one it replaces.
    return sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                      nullptr, likeFunction, nullptr, nullptr, nullptr);
}

} // namespace qn
