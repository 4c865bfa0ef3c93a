// The SQL built from text (filter, word search, title jump, rename) over texts with quotes, brackets,
// % _, NUL, lone surrogates and non-UTF-8 bytes selects exactly what a comparison in C++ selects.
#include "EngineFixture.h"
#include "engine/Collation.h"
#include "engine/Dialect.h"
#include "tipsdb/TipsSql.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QString kAlphabet = QString::fromUtf8("aAbBèÈé 0'\"[]%_|;-") + QChar(0) + QChar(0xD800);

bool sameGeneral(const QByteArray& x, const QString& b) {
    const QByteArray y = qn::utf8Of(b);
    return qn::compareGeneral(x.constData(), int(x.size()), y.constData(), int(y.size())) == 0;
}

} // namespace

class TestText : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("testi.mdb");
    std::unique_ptr<qn::Database> m_db;
    QMap<int, QByteArray> m_title, m_category; // key -> the bytes stored
    QRandomGenerator m_rng{7};

    QString generate(int maxLength, const QString& alphabet = kAlphabet) {
        QString s;
        for (int n = 1 + m_rng.bounded(maxLength); n > 0; --n)
            s += alphabet[m_rng.bounded(int(alphabet.size()))];
        return s;
    }
    // The tips `sql` selects are those whose stored `column` `pred` accepts.
    template <class Pred> void expect(const QString& sql, const QMap<int, QByteArray>& column, Pred pred) {
        QList<int> found, expected;
        for (auto rs = m_db->OpenRecordset(sql, qn::dbOpenDynaset); !rs->IsEOF(); rs->MoveNext())
            found << rs->Fields("KeyPrimary").Value().toInt();
        std::sort(found.begin(), found.end());
        for (auto it = column.begin(); it != column.end(); ++it)
            if (pred(it.value())) expected << it.key();
        QCOMPARE(found, expected);
    }

private slots:
    void initTestCase() {
        m_db = EngineFixture::createTipsDatabase(m_path);
        for (int i = 0; i < 150; ++i) {
            const QString title = generate(20), category = generate(6);
            const int key = EngineFixture::addTip(*m_db, title, category);
            m_title[key] = qn::utf8Of(title) + (key % 10 ? "" : "\x80\xF8\x9F");
            m_category[key] = qn::utf8Of(category);
        }
        m_db.reset(); // bytes that are no UTF-8, as another program may leave them:
        QCOMPARE(EngineFixture::rawExec(m_path, "UPDATE TipsTable SET Titolo = CAST(Titolo || X'80F89F' AS "
                                                "TEXT) WHERE KeyPrimary % 10 = 0"),
                 0);
        m_db = qn::DBEngine::Workspaces(0).OpenDatabase(m_path, true, false);
    }

    void wordSearchesMatchWhatTheWordMatches() {
        const QString plain = QString(kAlphabet).remove(QChar(0xD800)).remove('[').remove(']');
        for (int round = 0; round < 60; ++round) {
            const bool wild = round % 3 == 0;
            const QString word = generate(3, wild ? plain + "*?#[]" : plain).trimmed();
            if (word.isEmpty()) continue;
            // Wildcards act on the bytes stored; a '[' without a ']' after it is itself.
            const QByteArray pattern = qn::utf8Of("*" + tipsdb::LikeWord(word) + "*");
            const qn::LikePattern like(pattern.constData(), int(pattern.size()));
            QVERIFY(like.valid());
            expect(tipsdb::WordFilter("Titolo", word), m_title, [&](const QByteArray& t) {
                return wild ? like.matches(t.constData(), int(t.size()))
                            : QString::fromUtf8(t).contains(word, Qt::CaseInsensitive);
            });
        }
    }

    void titleJumpFindsTheTitle() {
        auto rs = m_db->OpenRecordset(tipsdb::DefaultView(), qn::dbOpenDynaset);
        for (int key : m_title.keys().mid(0, 40)) {
            const QString title = QString::fromUtf8(m_title[key]);
            rs->FindFirst(tipsdb::TitleCriterion(title));
            // A title that is no UTF-8 in the file cannot be written back exactly: not found.
            QCOMPARE(rs->NoMatch(), m_title[key] != qn::utf8Of(title));
            if (!rs->NoMatch()) QVERIFY(sameGeneral(m_title[key], rs->Fields("Titolo").Value().toString()));
        }
    }

    // Filter and rename take the values equal to the one asked in any case, and only those.
    void filterAndRenameTakeExactlyTheEqualValues() {
        for (int round = 0; round < 60; ++round) {
            QString value =
                round % 2 ? QString::fromUtf8(m_category.values()[m_rng.bounded(150)]) : generate(6);
            if (round % 4 == 1) value = value.toUpper();
            const auto equal = [](const QString& v) {
                return [v](const QByteArray& c) { return sameGeneral(c, v); };
            };
            expect(tipsdb::EqualsFilter("Categoria", value), m_category, equal(value));
            if (round % 3) continue;
            const QString to = generate(6);
            long changed = 0;
            for (QByteArray& c : m_category)
                if (sameGeneral(c, value) && ++changed) c = qn::utf8Of(to);
            QCOMPARE(m_db->Execute(tipsdb::RenameUpdate("Categoria", to, value)), changed);
            expect(tipsdb::EqualsFilter("Categoria", to), m_category, equal(to));
        }
        m_db.reset();
        QStringList hex;
        for (const QByteArray& c : m_category)
            hex << QString::fromLatin1(c.toHex().toUpper());
        QCOMPARE(EngineFixture::rawColumn(m_path, "SELECT hex(Categoria) FROM TipsTable ORDER BY KeyPrimary"),
                 hex);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
