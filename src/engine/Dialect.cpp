#include "engine/Dialect.h"

#include "engine/EngineError.h"

#include <vector>

namespace qn {

namespace {

const QString kCollate = QStringLiteral("COLLATE QNGENERAL");

struct Token {
    enum Kind { Ident, Name, Str, Num, Punct } kind;
    QString text; // Ident/Num/Punct: as written; Name: the bare name; Str: the value
};

bool isIdentStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isIdentPart(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Reads a quoted run ending with `close`, where a doubled `close` stands for itself.
QString readQuoted(const QString& s, int& i, QChar close, const QString& sql) {
    QString value;
    ++i;
    while (true) {
        if (i >= s.size()) throw EngineError::fromNumber(err::SyntaxError, sql);
        if (s[i] == close) {
            if (close != QLatin1Char(']') && i + 1 < s.size() && s[i + 1] == close) {
                value += close;
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        value += s[i++];
    }
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> out;
    int i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            out.push_back({Token::Str, readQuoted(s, i, c, s)});
        } else if (c == QLatin1Char('[')) {
            out.push_back({Token::Name, readQuoted(s, i, QLatin1Char(']'), s)});
        } else if (c == QLatin1Char('`')) {
            out.push_back({Token::Name, readQuoted(s, i, QLatin1Char('`'), s)});
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < s.size() && s[i + 1].isDigit())) {
            int j = i;
            while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('.') ||
                                    ((s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')) &&
                                     (s[j - 1] == QLatin1Char('e') || s[j - 1] == QLatin1Char('E')))))
                ++j;
            out.push_back({Token::Num, s.mid(i, j - i)});
            i = j;
        } else if (isIdentStart(c)) {
            int j = i;
            while (j < s.size() && isIdentPart(s[j]))
                ++j;
            out.push_back({Token::Ident, s.mid(i, j - i)});
            i = j;
        } else {
            static const char* const pairs[] = {"<>", "<=", ">=", "!=", "==", "||", "<<", ">>"};
            QString op(c);
            for (const char* p : pairs)
                if (s.mid(i, 2) == QLatin1String(p)) op = QLatin1String(p);
            out.push_back({Token::Punct, op});
            i += static_cast<int>(op.size());
        }
    }
    return out;
}

bool isWord(const Token& t, const char* word) {
    return t.kind == Token::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isPunct(const Token& t, const char* p) {
    return t.kind == Token::Punct && t.text == QLatin1String(p);
}

QString literal(const QString& value) {
    // SQLite reads statement text up to its first NUL: a value holding one is given as the
    // bytes of its text instead, so it neither cuts the statement short nor loses its tail.
    if (value.contains(QChar(0)))
        return QStringLiteral("CAST(X'%1' AS TEXT)").arg(QString::fromLatin1(utf8Of(value).toHex()));
    QString v = value;
    v.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString render(const Token& t) {
    switch (t.kind) {
    case Token::Name:
        return quoteName(t.text);
    case Token::Str:
        return literal(t.text) + QLatin1Char(' ') + kCollate;
    case Token::Punct:
        return t.text == QLatin1String("&") ? QStringLiteral("||") : t.text;
    default:
        return t.text;
    }
}

bool endsClause(const Token& t) {
    static const char* const words[] = {"FROM",  "WHERE", "GROUP",     "HAVING", "ORDER",
                                        "LIMIT", "UNION", "INTERSECT", "EXCEPT", "WINDOW"};
    for (const char* w : words)
        if (isWord(t, w)) return true;
    return isPunct(t, ";");
}

// The statement, walked once: clause boundaries at depth 0 and the rendered text.
class Translator {
public:
    explicit Translator(const QString& sql) : m_sql(sql), m_t(tokenize(sql)) {}

    TranslatedSql run() {
        TranslatedSql r;
        // "DISTINCTROW" has no equivalent: the sets are on one table anyway.
        std::erase_if(m_t, [](const Token& t) { return isWord(t, "DISTINCTROW"); });
        r.isSelect = !m_t.empty() && isWord(m_t[0], "SELECT");
        if (!m_t.empty() && isWord(m_t[0], "DELETE") && m_t.size() > 1 && isPunct(m_t[1], "*"))
            m_t.erase(m_t.begin() + 1); // DELETE * FROM
        QString limit = takeTop();
        QStringList parts;
        QStringList groupTerms;
        bool hasOrder = false;
        int depth = 0;
        int fromPart = -1;
        int groupPart = -1;    // where GROUP BY starts in `parts`
        size_t groupToken = 0; // and in the tokens
        for (size_t i = 0; i < m_t.size(); ++i) {
            const Token& t = m_t[i];
            if (isPunct(t, "(")) ++depth;
            if (isPunct(t, ")")) --depth;
            if (depth == 0 && isPunct(t, ";")) break;
            if (depth == 0 && fromPart < 0 && isWord(t, "FROM")) fromPart = static_cast<int>(parts.size());
            const bool group = isWord(t, "GROUP"), order = isWord(t, "ORDER");
            if (depth == 0 && (group || order) && i + 1 < m_t.size() && isWord(m_t[i + 1], "BY")) {
                if (group && groupPart < 0) {
                    groupPart = static_cast<int>(parts.size());
                    groupToken = i;
                }
                parts << t.text << m_t[i + 1].text;
                QStringList terms = termsFrom(i + 2, &i);
                parts << terms.join(QLatin1String(", "));
                if (group) groupTerms = terms;
                hasOrder = hasOrder || order;
                continue;
            }
            parts << render(t);
        }
        if (!groupTerms.isEmpty() && !hasOrder)
            parts << QStringLiteral("ORDER BY") << groupTerms.join(QLatin1String(", "));
        if (!limit.isEmpty()) parts << QStringLiteral("LIMIT") << limit;
        r.sql = parts.join(QLatin1Char(' '));
        if (fromPart >= 0) r.fromClause = parts.mid(fromPart).join(QLatin1Char(' '));
        if (r.isSelect) analyseShape(r);
        if (r.isSelect && fromPart >= 0 && groupPart > fromPart && groupsItsOneColumn(r, groupToken))
            r.sql = groupedInTwoSteps(render(m_t[1]),
                                      parts.mid(fromPart, groupPart - fromPart).join(QLatin1Char(' ')));
        return r;
    }

private:
    // "SELECT c FROM t [alias] [WHERE ...] GROUP BY c", the shape of every list query: one plain
    // column grouped by itself and nothing else.
    bool groupsItsOneColumn(const TranslatedSql& r, size_t groupToken) const {
        if (m_topRemoved || r.baseTable.isEmpty() || r.selectAll || r.columns.size() != 1) return false;
        if (m_t.size() < 4 || !(m_t[1].kind == Token::Ident || m_t[1].kind == Token::Name)) return false;
        if (!isWord(m_t[2], "FROM")) return false;
        const size_t term = groupToken + 2;
        const bool last = term + 1 == m_t.size() || (term + 2 == m_t.size() && isPunct(m_t[term + 1], ";"));
        if (term >= m_t.size() || !last) return false;
        const Token& g = m_t[term];
        if (!(g.kind == Token::Ident || g.kind == Token::Name)) return false;
        if (g.text.compare(m_t[1].text, Qt::CaseInsensitive) != 0) return false;
        for (size_t i = 3; i < groupToken; ++i) // a WHERE, but no other clause or combination
            if (isWord(m_t[i], "HAVING") || isWord(m_t[i], "UNION") || isWord(m_t[i], "INTERSECT") ||
                isWord(m_t[i], "EXCEPT") || isWord(m_t[i], "JOIN") || isWord(m_t[i], "LIMIT") ||
                isWord(m_t[i], "ORDER"))
                return false;
        return true;
    }

    // Grouping in the general order sorts every row with the collation (0.1 s for 100,000
    // tips). Grouped first by the bytes, which SQLite takes from an index of the column in order,
    // only the distinct values are sorted so. Each group shows its first value in byte order
    // (one shape of it; a single grouping shows an arbitrary one).
    static QString groupedInTwoSteps(const QString& column, const QString& fromWhere) {
        return QStringLiteral(
                   "SELECT min(qn_group) AS %1 FROM (SELECT %1 AS qn_group %2 GROUP BY %1 COLLATE BINARY) "
                   "GROUP BY qn_group %3 ORDER BY qn_group %3")
            .arg(column, fromWhere, kCollate);
    }

    // Jet's "SELECT TOP n" is SQLite's LIMIT n.
    QString takeTop() {
        if (m_t.size() > 2 && isWord(m_t[0], "SELECT") && isWord(m_t[1], "TOP") &&
            m_t[2].kind == Token::Num) {
            QString n = m_t[2].text;
            m_t.erase(m_t.begin() + 1, m_t.begin() + 3);
            m_topRemoved = true;
            return n;
        }
        return {};
    }

    // ORDER BY / GROUP BY terms from `start`, each ending in the general collation; `last` is
    // left on the clause's last token.
    QStringList termsFrom(size_t start, size_t* last) {
        QStringList terms;
        QStringList cur;
        QString direction;
        bool hasCollate = false;
        int depth = 0;
        size_t i = start;
        auto flush = [&] {
            if (cur.isEmpty()) return;
            QString term = cur.join(QLatin1Char(' '));
            if (!hasCollate) term += QLatin1Char(' ') + kCollate;
            if (!direction.isEmpty()) term += QLatin1Char(' ') + direction;
            terms << term;
            cur.clear();
            direction.clear();
            hasCollate = false;
        };
        for (; i < m_t.size(); ++i) {
            const Token& t = m_t[i];
            if (isPunct(t, "(")) ++depth;
            if (isPunct(t, ")")) {
                if (depth == 0) break;
                --depth;
            }
            if (depth == 0 && endsClause(t)) break;
            if (depth == 0 && isPunct(t, ",")) {
                flush();
                continue;
            }
            if (depth == 0 && (isWord(t, "ASC") || isWord(t, "DESC"))) {
                direction = t.text.toUpper();
                continue;
            }
            if (isWord(t, "COLLATE")) hasCollate = true;
            cur << (t.kind == Token::Str ? literal(t.text) : render(t));
        }
        flush();
        *last = i - 1;
        return terms;
    }

    void analyseShape(TranslatedSql& r) const {
        int depth = 0;
        size_t from = 0, fromEnd = m_t.size();
        bool complex = m_topRemoved;
        for (size_t i = 1; i < m_t.size(); ++i) {
            const Token& t = m_t[i];
            if (isPunct(t, "("))
                ++depth;
            else if (isPunct(t, ")"))
                --depth;
            if (depth != 0) continue;
            if (isWord(t, "FROM") && from == 0)
                from = i;
            else if (from && i > from && fromEnd == m_t.size() && endsClause(t))
                fromEnd = i;
            if (isWord(t, "GROUP") || isWord(t, "HAVING") || isWord(t, "UNION") || isWord(t, "INTERSECT") ||
                isWord(t, "EXCEPT") || isWord(t, "JOIN") || isWord(t, "DISTINCT"))
                complex = true;
        }
        if (from == 0) return;
        // FROM table [[AS] alias]
        std::vector<Token> f(m_t.begin() + static_cast<long>(from) + 1,
                             m_t.begin() + static_cast<long>(fromEnd));
        if (!f.empty() && f.size() <= 3 && (f[0].kind == Token::Ident || f[0].kind == Token::Name)) {
            const bool aliasOk = f.size() == 1 || (f.size() == 2 && f[1].kind != Token::Punct) ||
                                 (f.size() == 3 && isWord(f[1], "AS") && f[2].kind != Token::Punct);
            if (aliasOk) r.baseTable = f[0].text;
        }
        if (r.baseTable.isEmpty()) complex = true;
        complex = !selectList(r, from) || complex;
        r.readOnlyShape = complex;
    }

    // True when the select list holds only `*` and plain column names.
    bool selectList(TranslatedSql& r, size_t from) const {
        std::vector<Token> item;
        auto take = [&]() -> bool {
            if (item.size() == 3 && isPunct(item[1], "."))
                item.erase(item.begin(), item.begin() + 2); // table.column
            if (item.size() != 1) return false;
            if (isPunct(item[0], "*"))
                r.selectAll = true;
            else if (item[0].kind == Token::Ident || item[0].kind == Token::Name)
                r.columns << item[0].text;
            else
                return false;
            item.clear();
            return true;
        };
        for (size_t i = 1; i < from; ++i) {
            if (isPunct(m_t[i], ",")) {
                if (!take()) return false;
            } else {
                item.push_back(m_t[i]);
            }
        }
        return take();
    }

    QString m_sql;
    std::vector<Token> m_t;
    bool m_topRemoved = false;
};

} // namespace

QString quoteName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QByteArray utf8Of(const QString& text) {
    bool lone = false;
    for (qsizetype i = 0; i < text.size() && !lone; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else
            lone = c.isSurrogate();
    }
    if (!lone) return text.toUtf8();
    QString fixed;
    fixed.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            fixed += c;
            fixed += text[++i];
        } else {
            fixed += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
        }
    }
    return fixed.toUtf8();
}

TranslatedSql translateSql(const QString& classic) {
    return Translator(classic).run();
}

QString translateExpression(const QString& classic) {
    QStringList parts;
    for (const Token& t : tokenize(classic))
        parts << render(t);
    return parts.join(QLatin1Char(' '));
}

} // namespace qn
