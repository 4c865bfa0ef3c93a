#pragma once
// Private to the engine: the general text order and the classic Like matcher, on UTF-8 bytes.
//
// General order: letters compare by their base letter, case folded and accents stripped; only
// when two texts are equal that way does the accent decide ('e' < 'è'). Case never decides,
// so 'Rete' and 'rete' are equal (one group) and 'È' equals 'è'.
//
// Like: `*` any run, `?` one character, `#` one digit, `[abc]`, `[a-z]`, `[!abc]`; letters
// match regardless of case ('È' matches 'è'), accents still count. The word searches build
// `*literal*`; such a pattern is answered by a search for the folded literal on the bytes, which
// gives the answers of the token walk without following it character by character.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

struct sqlite3;

namespace qn {

int compareGeneral(const char* a, int aBytes, const char* b, int bBytes);
int compareGeneral(const QString& a, const QString& b);

class LikePattern {
public:
    explicit LikePattern(const char* pattern, int bytes);
    bool matches(const char* value, int bytes) const;
    bool valid() const { return m_valid; } // false on an unclosed '['
    // True for `*literal*` (a literal with stars around it and no other wildcard).
    bool isLiteralSearch() const { return !m_literal.empty(); }
    // The token walk, whatever the pattern; matches() uses it for every pattern but `*literal*`.
    bool matchesTokens(const char* value, int bytes) const;

private:
    struct Range {
        char32_t low, high;
    };
    struct Token {
        enum Kind : uint8_t { Char, AnyRun, One, Digit, Set } kind;
        bool negate = false;
        char32_t ch = 0;               // folded character for Char
        uint32_t first = 0, count = 0; // slice of m_ranges for Set
    };
    bool matchSet(const Token& t, char32_t c) const;
    bool matchOne(const Token& t, char32_t c) const;
    bool containsLiteral(const char* value, int bytes) const;
    std::vector<Token> m_tokens;
    std::vector<Range> m_ranges;
    std::vector<char32_t> m_literal; // the folded characters of `*literal*`; empty otherwise
    bool m_valid = true;
};

bool likeMatch(const QString& pattern, const QString& value);

// Registers the QNGENERAL collation and replaces like(pattern, value) on a connection; returns
// SQLite's result code (SQLITE_OK, or the first registration that failed).
int registerTextFunctions(sqlite3* db);

} // namespace qn
