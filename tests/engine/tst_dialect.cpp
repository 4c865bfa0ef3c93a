// The classic SQL dialect's translation, the Like wildcards and the general text order.

#include "engine/Collation.h"
#include "engine/Dialect.h"
#include "engine/EngineError.h"

#include <QtTest>
#include <algorithm>
#include <random>

using namespace qn;

class TestDialect : public QObject {
    Q_OBJECT

private slots:
    void translatesStatements_data() {
        QTest::addColumn<QString>("classic");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default view") << "SELECT * FROM TipsTable ORDER BY[Titolo]ASC"
                                      << "SELECT * FROM TipsTable ORDER BY \"Titolo\" COLLATE QNGENERAL ASC";
        QTest::newRow("filter, no blank before ORDER")
            << "SELECT * FROM TipsTable WHERE [Categoria]='x'ORDER BY[Titolo]ASC"
            << "SELECT * FROM TipsTable WHERE \"Categoria\" = 'x' COLLATE QNGENERAL ORDER BY \"Titolo\" "
               "COLLATE QNGENERAL ASC";
        QTest::newRow("doubled quote")
            << "SELECT * FROM T WHERE [Titolo] Like '*l''uso*'"
            << "SELECT * FROM T WHERE \"Titolo\" Like '*l''uso*' COLLATE QNGENERAL";
        QTest::newRow("a list query groups by the bytes first")
            << "SELECT Categoria FROM TipsTable INDICE WHERE [Bookmark]=1 GROUP BY Categoria"
            << "SELECT min(qn_group) AS Categoria FROM (SELECT Categoria AS qn_group FROM TipsTable INDICE "
               "WHERE \"Bookmark\" = 1 GROUP BY Categoria COLLATE BINARY) GROUP BY qn_group COLLATE "
               "QNGENERAL "
               "ORDER BY qn_group COLLATE QNGENERAL";
        QTest::newRow("other group by gets its order")
            << "SELECT Categoria, Count(*) FROM TipsTable GROUP BY Categoria"
            << "SELECT Categoria , Count ( * ) FROM TipsTable GROUP BY Categoria COLLATE QNGENERAL ORDER BY "
               "Categoria COLLATE QNGENERAL";
        QTest::newRow("update") << "UPDATE TipsTable SET Categoria = 'Reti' WHERE Categoria = 'Rete'"
                                << "UPDATE TipsTable SET Categoria = 'Reti' COLLATE QNGENERAL WHERE "
                                   "Categoria = 'Rete' COLLATE QNGENERAL";
        QTest::newRow("double-quoted text") << "SELECT * FROM T WHERE a = \"it's\""
                                            << "SELECT * FROM T WHERE a = 'it''s' COLLATE QNGENERAL";
        QTest::newRow("several terms")
            << "SELECT * FROM T ORDER BY a DESC, [b c]"
            << "SELECT * FROM T ORDER BY a COLLATE QNGENERAL DESC, \"b c\" COLLATE QNGENERAL";
        QTest::newRow("distinctrow and top") << "SELECT DISTINCTROW TOP 5 * FROM T"
                                             << "SELECT * FROM T LIMIT 5";
        QTest::newRow("concatenation and operators") << "SELECT a & b FROM T WHERE n<>1.5 AND m>=2"
                                                     << "SELECT a || b FROM T WHERE n <> 1.5 AND m >= 2";
    }

    void translatesStatements() {
        QFETCH(QString, classic);
        QFETCH(QString, expected);
        QCOMPARE(translateSql(classic).sql, expected);
    }

    void recognisesShapes() {
        TranslatedSql t = translateSql(
            QStringLiteral("SELECT * FROM TipsTable WHERE [Procedura] Like '*w*'ORDER BY[Titolo]ASC"));
        QVERIFY(t.isSelect && !t.readOnlyShape && t.selectAll);
        QCOMPARE(t.baseTable, QStringLiteral("TipsTable"));
        QVERIFY(t.fromClause.startsWith(QLatin1String("FROM TipsTable WHERE")));
        t = translateSql(
            QStringLiteral("SELECT T.[Titolo], Note FROM [TipsTable] AS T WHERE x IN (SELECT y FROM U, V)"));
        QVERIFY(!t.readOnlyShape);
        QCOMPARE(t.columns, QStringList({"Titolo", "Note"}));
        const char* const readOnly[] = {"SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria",
                                        "SELECT DISTINCT Categoria FROM TipsTable",
                                        "SELECT count(*) FROM TipsTable",
                                        "SELECT a FROM T, U",
                                        "SELECT a FROM T JOIN U ON T.x = U.x",
                                        "SELECT a FROM T UNION SELECT a FROM U",
                                        "SELECT a AS b FROM T",
                                        "SELECT TOP 3 * FROM T"};
        for (const char* sql : readOnly)
            QVERIFY2(translateSql(QString::fromLatin1(sql)).readOnlyShape, sql);
        QVERIFY(!translateSql(QStringLiteral("UPDATE T SET a = 1")).isSelect);
    }

    void refusesUnterminatedText() {
        try {
            translateSql(QStringLiteral("SELECT * FROM T WHERE a = 'open"));
            QFAIL("no error");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), err::SyntaxError);
        }
    }

    void likeWildcards_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("match");
        QTest::newRow("star inside") << "*word*"
                                     << "a Word here" << true;
        QTest::newRow("star empty run") << "*word*"
                                        << "word" << true;
        QTest::newRow("star miss") << "*word*"
                                   << "wor d" << false;
        QTest::newRow("anchored") << "abc"
                                  << "abcd" << false;
        QTest::newRow("question") << "a?c"
                                  << "abc" << true;
        QTest::newRow("question needs one") << "a?c"
                                            << "ac" << false;
        QTest::newRow("digit") << "v#"
                               << "v7" << true;
        QTest::newRow("digit refuses letter") << "v#"
                                              << "vx" << false;
        QTest::newRow("set") << "[abc]x"
                             << "bx" << true;
        QTest::newRow("set miss") << "[abc]x"
                                  << "dx" << false;
        QTest::newRow("range") << "[a-f]*"
                               << "Delta" << true;
        QTest::newRow("range takes accented base") << "[a-f]*" << QString::fromUtf8("èco") << true;
        QTest::newRow("negated set") << "[!abc]*"
                                     << "abc" << false;
        QTest::newRow("negated set hit") << "[!abc]*"
                                         << "xyz" << true;
        QTest::newRow("literal star in brackets") << "a[*]b"
                                                  << "a*b" << true;
        QTest::newRow("accented case") << QString::fromUtf8("*PERCHÉ") << QString::fromUtf8("perché") << true;
        QTest::newRow("accent counts") << "perche" << QString::fromUtf8("perché") << false;
        QTest::newRow("backtracking") << "*a*b*c"
                                      << "xaxbxbxc" << true;
        QTest::newRow("backtracking miss") << "*a*b*c"
                                           << "xaxbxbx" << false;
        QTest::newRow("unclosed bracket") << "[abc"
                                          << "a" << false;
    }

    void likeWildcards() {
        QFETCH(QString, pattern);
        QFETCH(QString, value);
        QFETCH(bool, match);
        QCOMPARE(likeMatch(pattern, value), match);
    }

    void literalSearchAnswersAsTheTokenWalk() {
        // Pieces of UTF-8 that fold in unusual ways: case pairs, accents precomposed and combining,
        // ß and ẞ, Turkish dotted and dotless i, KELVIN SIGN and long s (which fold to ASCII), a
        // final sigma, four-byte letters, and invalid bytes (lone lead and continuation bytes,
        // truncated and overlong sequences, an encoded surrogate, bytes never used in UTF-8).
        const QList<QByteArray> pieces =
            QByteArray(
                "a|A|b|k|K|s|S|i|I|z| |1|.|ss|\xC3\xA8|\xC3\x88|\xC3\xA9|e\xCC\x81|E\xCC\x80|\xCC\x81|"
                "\xC3\x9F|\xE1\xBA\x9E|\xC4\xB0|\xC4\xB1|\xE2\x84\xAA|\xC5\xBF|\xCF\x83|\xCF\x82|\xCE\xA3|"
                "\xF0\x9D\x90\x80|\xF0\x9F\x98\x80|\xC3|\xA8|\x80|\xE2\x82|\xC0\x80|\xED\xA0\x80|"
                "\xF8\x88\x80\x80\x80|\xFF|\xFE")
                .split('|');
        std::mt19937 rng(1313);
        auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
        auto text = [&](size_t count) {
            QByteArray t;
            for (size_t i = 0; i < count; ++i)
                t += pieces[qsizetype(pick(size_t(pieces.size())))];
            return t;
        };
        int tried = 0, found = 0;
        for (int round = 0; round < 3000; ++round) {
            // Long values also run the block-wise skip and its tail.
            const QByteArray value = text(round % 10 == 0 ? 40 + pick(200) : pick(24));
            for (int k = 0; k < 8; ++k) {
                QByteArray literal;
                if (k < 5 && !value.isEmpty()) { // a part of the value, often cut inside a character
                    const qsizetype from = qsizetype(pick(size_t(value.size())));
                    literal = value.mid(from, 1 + qsizetype(pick(6)));
                    if (k % 2) literal = QString::fromUtf8(literal).toUpper().toUtf8(); // other letter case
                } else {
                    literal = text(1 + pick(3));
                }
                if (literal.contains('*') || literal.isEmpty()) continue;
                const QByteArray pattern = "*" + literal + "*";
                const LikePattern like(pattern.constData(), int(pattern.size()));
                QVERIFY2(like.isLiteralSearch(), pattern.toHex().constData());
                const bool fast = like.matches(value.constData(), int(value.size()));
                const bool walk = like.matchesTokens(value.constData(), int(value.size()));
                if (fast != walk)
                    QFAIL(qPrintable(
                        QStringLiteral("pattern %1, value %2: %3 against %4")
                            .arg(QString::fromLatin1(pattern.toHex()), QString::fromLatin1(value.toHex()))
                            .arg(fast)
                            .arg(walk)));
                ++tried;
                found += fast;
            }
        }
        // Both answers occur often, so the comparison says something about each.
        QVERIFY2(found > tried / 5 && found < tried * 4 / 5,
                 qPrintable(QStringLiteral("%1 of %2").arg(found).arg(tried)));
        // Every other pattern keeps the token walk.
        for (const char* other : {"*", "**", "*a", "a*", "a", "*a?b*", "*a#*", "*[ab]*", "*a*b*", "*[a*"})
            QVERIFY2(!LikePattern(other, int(qstrlen(other))).isLiteralSearch(), other);
    }

    void generalOrder() {
        QCOMPARE(compareGeneral(QStringLiteral("Rete"), QStringLiteral("rete")), 0);
        QCOMPARE(compareGeneral(QString::fromUtf8("È"), QString::fromUtf8("è")), 0);
        QVERIFY(compareGeneral(QStringLiteral("e"), QString::fromUtf8("è")) < 0);
        QVERIFY(compareGeneral(QString::fromUtf8("èa"), QStringLiteral("eb")) < 0); // base letters first
        QVERIFY(compareGeneral(QStringLiteral("abc"), QStringLiteral("abcd")) < 0);
        QStringList words = {QStringLiteral("zeta"),      QStringLiteral("Emacs"),
                             QString::fromUtf8("Èlite"),  QStringLiteral("elenco"),
                             QString::fromUtf8("Ålborg"), QStringLiteral("beta"),
                             QString::fromUtf8("ça"),     QStringLiteral("Casa")};
        std::sort(words.begin(), words.end(),
                  [](const QString& a, const QString& b) { return compareGeneral(a, b) < 0; });
        QCOMPARE(words, QStringList({QString::fromUtf8("Ålborg"), "beta", QString::fromUtf8("ça"), "Casa",
                                     "elenco", QString::fromUtf8("Èlite"), "Emacs", "zeta"}));
    }

    void generalOrderIsConsistent() {
        // A sort needs a total order: antisymmetric and transitive over mixed texts.
        const QStringList sample = {QStringLiteral("a"),    QStringLiteral("A"),    QString::fromUtf8("à"),
                                    QString::fromUtf8("À"), QStringLiteral("ab"),   QString::fromUtf8("àb"),
                                    QStringLiteral("b"),    QStringLiteral(""),     QStringLiteral("1"),
                                    QStringLiteral(" "),    QString::fromUtf8("ß"), QString::fromUtf8("Ω")};
        for (const QString& x : sample)
            for (const QString& y : sample) {
                QCOMPARE(compareGeneral(x, y) < 0, compareGeneral(y, x) > 0);
                for (const QString& z : sample)
                    if (compareGeneral(x, y) <= 0 && compareGeneral(y, z) <= 0)
                        QVERIFY(compareGeneral(x, z) <= 0);
            }
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
