// Texts put into SQL by the program's own builders (category and key filters, word searches,
// the title jump, renaming a category) hold whatever users and other programs type: quotes,
// brackets, % and _, NUL characters, half characters, bytes that are not UTF-8. Over generated
// texts, each statement must run and select exactly what a direct comparison in C++ selects.
#include "EngineFixture.h"
#include "engine/Collation.h"
#include "engine/Dialect.h"
#include "tipsdb/TipsSql.h"

#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>

using tipsdb::QuoteSql;

namespace {

// Letters in both cases and with accents, and every character that means something to SQL,
// to the dialect or to Like; a lone surrogate stands for text that is not text at all.
const QString kAlphabet = QString::fromUtf8("aAbBèÈé 0'\"[]%_|;-") + QChar(0) + QChar(0xD800);
const QString kWildcards = QStringLiteral("*?#[]");

QString generate(QRandomGenerator& rng, int maxLength, const QString& alphabet) {
    QString s;
    for (int n = 1 + rng.bounded(maxLength); n > 0; --n)
        s += alphabet[rng.bounded(int(alphabet.size()))];
    return s;
}

// What SQLite is given for a text, and what comes back from it.
QString stored(const QString& text) {
    return QString::fromUtf8(qn::utf8Of(text));
}
bool sameGeneral(const QString& a, const QString& b) {
    const QByteArray x = qn::utf8Of(a), y = qn::utf8Of(b);
    return qn::compareGeneral(x.constData(), int(x.size()), y.constData(), int(y.size())) == 0;
}

} // namespace

class TestText : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<qn::Database> m_db;
    QMap<int, QStringList> m_rows;      // key -> Titolo, Categoria as read back
    QMap<int, QByteArray> m_titleBytes; // key -> Titolo as stored
    QRandomGenerator m_rng{7};

    QList<int> keysOf(const QString& sql) {
        QList<int> keys;
        auto rs = m_db->OpenRecordset(sql, qn::dbOpenDynaset);
        for (; !rs->IsEOF(); rs->MoveNext())
            keys << rs->Fields("KeyPrimary").Value().toInt();
        std::sort(keys.begin(), keys.end());
        return keys;
    }
    template <typename Pred> QList<int> keysWhere(Pred pred) const {
        QList<int> keys;
        for (auto it = m_rows.begin(); it != m_rows.end(); ++it)
            if (pred(it.value())) keys << it.key();
        return keys;
    }

private slots:
    void initTestCase() {
        m_path = m_dir.filePath("testi.mdb");
        m_db = EngineFixture::createTipsDatabase(m_path);
        for (int i = 0; i < 150; ++i) {
            const QString title = generate(m_rng, 20, kAlphabet), category = generate(m_rng, 6, kAlphabet);
            const int key = EngineFixture::addTip(*m_db, title, category);
            m_rows[key] = {stored(title), stored(category)};
            m_titleBytes[key] = qn::utf8Of(title);
        }
        // Bytes that are no UTF-8, as another program may leave them.
        m_db.reset();
        QCOMPARE(EngineFixture::rawExec(m_path,
                                        "UPDATE TipsTable SET Titolo = CAST(Titolo || X'80F89F' AS TEXT) "
                                        "WHERE KeyPrimary % 10 = 0"),
                 SQLITE_OK);
        m_db = qn::DBEngine::Workspaces(0).OpenDatabase(m_path, true, false);
        for (int key : m_rows.keys())
            if (key % 10 == 0) {
                m_rows[key][0] += QString(3, QChar::ReplacementCharacter);
                m_titleBytes[key] += QByteArray("\x80\xF8\x9F");
            }
    }

    void equalityFiltersSelectEqualTexts() {
        for (int round = 0; round < 60; ++round) {
            // Half the values are stored ones, half new; a stored one may come back in other case.
            QString value = generate(m_rng, 6, kAlphabet);
            if (round % 2) value = m_rows.value(m_rows.keys()[m_rng.bounded(int(m_rows.size()))])[1];
            if (round % 4 == 1) value = value.toUpper();
            const QList<int> expected =
                keysWhere([&](const QStringList& r) { return sameGeneral(r[1], value); });
            QCOMPARE(keysOf(tipsdb::EqualsFilter("Categoria", value)), expected);
        }
    }

    void wordSearchesMatchWhatTheWordMatches() {
        // No half characters in the words: what they become is checked by the equality filters.
        const QString plain = QString(kAlphabet).remove(QChar(0xD800)).remove('[').remove(']');
        for (int round = 0; round < 60; ++round) {
            const bool wild = round % 3 == 0;
            const QString word = generate(m_rng, 3, wild ? plain + kWildcards : plain).trimmed();
            if (word.isEmpty()) continue;
            const QList<int> found = keysOf(tipsdb::WordFilter("Titolo", word));
            if (!wild) { // found where the title holds it, whatever the letter case
                QCOMPARE(found, keysWhere([&](const QStringList& r) {
                             return r[0].contains(word, Qt::CaseInsensitive);
                         }));
                continue;
            }
            // Wildcards act as wildcards on the bytes stored; a '[' without a ']' after it is itself.
            const QByteArray pattern = qn::utf8Of("*" + tipsdb::LikeWord(word) + "*");
            const qn::LikePattern like(pattern.constData(), int(pattern.size()));
            QVERIFY(like.valid());
            QList<int> expected;
            for (auto it = m_titleBytes.begin(); it != m_titleBytes.end(); ++it)
                if (like.matches(it.value().constData(), int(it.value().size()))) expected << it.key();
            QCOMPARE(found, expected);
        }
    }

    void titleJumpFindsTheTitle() {
        auto rs = m_db->OpenRecordset(tipsdb::DefaultView(), qn::dbOpenDynaset);
        for (int key : m_rows.keys().mid(0, 40)) {
            const QString title = m_rows[key][0];
            rs->FindFirst(tipsdb::TitleCriterion(title));
            // A title that is no UTF-8 in the file cannot be written back exactly: not found.
            QCOMPARE(rs->NoMatch(), m_titleBytes[key] != qn::utf8Of(title));
            if (!rs->NoMatch()) QVERIFY(sameGeneral(rs->Fields("Titolo").Value().toString(), title));
        }
    }

    // The rename of a category, as the maintenance window runs it: every equal value, and only
    // those, becomes the new text, byte for byte.
    void renameChangesExactlyTheEqualValues() {
        for (int round = 0; round < 20; ++round) {
            const QString from = m_rows.value(m_rows.keys()[m_rng.bounded(int(m_rows.size()))])[1];
            const QString to = generate(m_rng, 6, kAlphabet);
            const QList<int> changed =
                keysWhere([&](const QStringList& r) { return sameGeneral(r[1], from); });
            const long n = m_db->Execute("UPDATE TipsTable SET Categoria = '" + QuoteSql(to) +
                                         "' WHERE Categoria = '" + QuoteSql(from) + "'");
            QCOMPARE(n, long(changed.size()));
            for (int key : changed)
                m_rows[key][1] = stored(to);
            QCOMPARE(keysOf(tipsdb::EqualsFilter("Categoria", to)),
                     keysWhere([&](const QStringList& r) { return sameGeneral(r[1], to); }));
        }
        m_db.reset();
        const QStringList file =
            EngineFixture::rawColumn(m_path, "SELECT hex(Categoria) FROM TipsTable ORDER BY KeyPrimary");
        QStringList expected;
        for (const QStringList& r : m_rows)
            expected << QString::fromLatin1(r[1].toUtf8().toHex().toUpper());
        QCOMPARE(file, expected);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
