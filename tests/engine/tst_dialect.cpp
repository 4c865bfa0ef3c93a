// The classic SQL dialect's translation, the Like wildcards and the general text order.

#include "EngineFixture.h"
#include "engine/Collation.h"
#include "engine/Dialect.h"

#include <QtTest>
#include <algorithm>
#include <random>

using namespace qn;
using EngineFixture::errorOf;
#define RAISES(statement, number) QCOMPARE(errorOf([&] { statement; }), number)

class TestDialect : public QObject {
    Q_OBJECT

private slots:
    // What the record sets do not show on their own: the spellings of the classic dialect, as
    // "classic => translated" with @ for " COLLATE QNGENERAL".
    void translatesStatements() {
        const QStringList cases =
            QString(
                "SELECT * FROM T WHERE [Categoria]='x'ORDER BY[Titolo]ASC => SELECT * FROM T WHERE "
                "\"Categoria\" = 'x'@ ORDER BY \"Titolo\"@ ASC\n"
                "SELECT * FROM T WHERE [Titolo] Like '*l''uso*' => SELECT * FROM T WHERE \"Titolo\" Like "
                "'*l''uso*'@\n"
                "SELECT * FROM T WHERE a = \"it's\" => SELECT * FROM T WHERE a = 'it''s'@\n"
                "SELECT * FROM T ORDER BY a DESC, [b c] => SELECT * FROM T ORDER BY a@ DESC, \"b c\"@\n"
                "SELECT Categoria, Count(*) FROM T GROUP BY Categoria => SELECT Categoria , Count ( * ) FROM "
                "T GROUP BY Categoria@ ORDER BY Categoria@\n"
                "SELECT DISTINCTROW TOP 5 * FROM T => SELECT * FROM T LIMIT 5\n"
                "SELECT a & b FROM T WHERE n<>1.5 AND m>=2 => SELECT a || b FROM T WHERE n <> 1.5 AND m >= 2")
                .split('\n');
        for (const QString& c : cases)
            QCOMPARE(translateSql(c.section(" => ", 0, 0)).sql,
                     c.section(" => ", 1).replace("@", " COLLATE QNGENERAL"));
        RAISES(translateSql("SELECT * FROM T WHERE a = 'open"), err::SyntaxError);
    }

    void recognisesShapes() {
        TranslatedSql t =
            translateSql("SELECT * FROM TipsTable WHERE [Procedura] Like '*w*'ORDER BY[Titolo]ASC");
        QVERIFY(t.isSelect && !t.readOnlyShape && t.selectAll);
        QCOMPARE(t.baseTable, "TipsTable");
        QVERIFY(t.fromClause.startsWith("FROM TipsTable WHERE"));
        t = translateSql("SELECT T.[Titolo], Note FROM [TipsTable] AS T WHERE x IN (SELECT y FROM U, V)");
        QVERIFY(!t.readOnlyShape);
        QCOMPARE(t.columns, QStringList({"Titolo", "Note"}));
        for (const char* sql :
             {"SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria",
              "SELECT DISTINCT Categoria FROM TipsTable", "SELECT count(*) FROM TipsTable",
              "SELECT a FROM T, U", "SELECT a FROM T JOIN U ON T.x = U.x",
              "SELECT a FROM T UNION SELECT a FROM U", "SELECT a AS b FROM T", "SELECT TOP 3 * FROM T"})
            QVERIFY2(translateSql(sql).readOnlyShape, sql);
        QVERIFY(!translateSql("UPDATE T SET a = 1").isSelect);
    }

    void likeWildcards() {
        // "pattern=value", two blanks apart: those that match, then after '|' those that do not.
        const QStringList sets =
            QString("*word*=a Word here  *word*=word  a?c=abc  v#=v7  [abc]x=bx  [a-f]*=Delta  "
                    "[a-f]*=èco  [!abc]*=xyz  a[*]b=a*b  *PERCHÉ=perché  *a*b*c=xaxbxbxc|"
                    "*word*=wor d  abc=abcd  a?c=ac  v#=vx  [abc]x=dx  [!abc]*=abc  "
                    "perche=perché  *a*b*c=xaxbxbx  [abc=a")
                .split('|');
        for (int match = 1; match >= 0; --match)
            for (const QString& c : sets[1 - match].split("  "))
                QVERIFY2(likeMatch(c.section('=', 0, 0), c.section('=', 1)) == bool(match), qPrintable(c));
    }

    // The fast search for "*literal*" must answer as the general token walk on every text. The
    // pieces fold in unusual ways: case pairs, accents precomposed and combining, ß and ẞ, Turkish
    // dotted and dotless i, KELVIN SIGN and long s (which fold to ASCII), final sigma, four-byte
    // letters, and invalid bytes (lone lead and continuation bytes, truncated and overlong
    // sequences, an encoded surrogate, bytes never used in UTF-8).
    void literalSearchAnswersAsTheTokenWalk() {
        const QList<QByteArray> pieces =
            QByteArray(
                "a|A|b|k|K|s|S|i|I|z| |1|.|ss|\xC3\xA8|\xC3\x88|\xC3\xA9|e\xCC\x81|E\xCC\x80|\xCC\x81|"
                "\xC3\x9F|\xE1\xBA\x9E|\xC4\xB0|\xC4\xB1|\xE2\x84\xAA|\xC5\xBF|\xCF\x83|\xCF\x82|\xCE\xA3|"
                "\xF0\x9D\x90\x80|\xF0\x9F\x98\x80|\xC3|\xA8|\x80|\xE2\x82|\xC0\x80|\xED\xA0\x80|"
                "\xF8\x88\x80\x80\x80|\xFF|\xFE")
                .split('|');
        std::mt19937 rng(1313);
        auto pick = [&](size_t n) { return qsizetype(rng() % n); };
        auto text = [&](qsizetype count) {
            QByteArray t;
            while (count-- > 0)
                t += pieces[pick(size_t(pieces.size()))];
            return t;
        };
        int tried = 0, found = 0;
        for (int round = 0; round < 3000; ++round) {
            const QByteArray value =
                text(round % 10 == 0 ? 40 + pick(200) : pick(24)); // long: block-wise skip
            for (int k = 0; k < 8; ++k) {
                // Mostly a part of the value, often cut inside a character, in either letter case.
                QByteArray literal = k < 5 && !value.isEmpty()
                                         ? value.mid(pick(size_t(value.size())), 1 + pick(6))
                                         : text(1 + pick(3));
                if (k % 2 && k < 5) literal = QString::fromUtf8(literal).toUpper().toUtf8();
                if (literal.contains('*') || literal.isEmpty()) continue;
                const QByteArray pattern = "*" + literal + "*";
                const LikePattern like(pattern.constData(), int(pattern.size()));
                QVERIFY2(like.isLiteralSearch(), pattern.toHex().constData());
                const bool fast = like.matches(value.constData(), int(value.size()));
                if (fast != like.matchesTokens(value.constData(), int(value.size())))
                    QFAIL(pattern.toHex() + " in " + value.toHex() + (fast ? " only fast" : " only walk"));
                ++tried;
                found += fast;
            }
        }
        // Both answers occur often, so the comparison says something about each.
        QVERIFY2(found > tried / 5 && found < tried * 4 / 5,
                 qPrintable(QStringLiteral("%1 of %2").arg(found).arg(tried)));
        for (const char* other : {"*", "**", "*a", "a*", "a", "*a?b*", "*a#*", "*[ab]*", "*a*b*", "*[a*"})
            QVERIFY2(!LikePattern(other, int(qstrlen(other))).isLiteralSearch(), other);
    }

    void generalOrder() {
        QCOMPARE(compareGeneral("Rete", "rete"), 0);
        QCOMPARE(compareGeneral("È", "è"), 0);
        QVERIFY(compareGeneral("e", "è") < 0);
        QVERIFY(compareGeneral("èa", "eb") < 0); // base letters first
        QVERIFY(compareGeneral("abc", "abcd") < 0);
        auto before = [](const QString& a, const QString& b) { return compareGeneral(a, b) < 0; };
        QStringList words = {"zeta", "Emacs", "Èlite", "elenco", "Ålborg", "beta", "ça", "Casa"};
        std::sort(words.begin(), words.end(), before);
        QCOMPARE(words.join(' '), "Ålborg beta ça Casa elenco Èlite Emacs zeta");
        // A sort needs a total order: antisymmetric and transitive over mixed texts.
        const QStringList sample = {"a", "A", "à", "À", "ab", "àb", "b", "", "1", " ", "ß", "Ω"};
        for (const QString& x : sample)
            for (const QString& y : sample) {
                QCOMPARE(before(x, y), compareGeneral(y, x) > 0);
                for (const QString& z : sample)
                    if (!before(y, x) && !before(z, y)) QVERIFY(!before(z, x));
            }
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
