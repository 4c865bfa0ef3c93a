// Record sets over a tips table (order, filters, moves, edits, finds, read-only shapes, writes
// elsewhere, limits); Like and the general text order under them.

#include "EngineFixture.h"
#include "engine/Collation.h"
#include "engine/TextOrder.h"

#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>
#include <random>
#include <string_view>

using namespace qn;
using EngineFixture::errorOf;
#define RAISES(statement, number) QCOMPARE(errorOf([&] { statement; }), number)

namespace {
const QString kView = "SELECT * FROM TipsTable ORDER BY[Titolo]ASC";
QString where(const QString& cond) {
    return "SELECT * FROM TipsTable WHERE " + cond + "ORDER BY[Titolo]ASC";
}
QString s(Recordset& rs, const char* name = "Titolo") {
    return rs.Fields(name).Value().toString();
}
QString titles(Recordset& rs) {
    QStringList out;
    for (rs.RecordCount() ? rs.MoveFirst() : void(); !rs.IsEOF(); rs.MoveNext())
        out << s(rs);
    return out.join(' ');
}
// Moves (F first, L last, N next, P previous, D delete, digit: position, . none), each answered
// "title/position[BOF|EOF]", "#error" when the move raised, "#error/position..." when the reading did.
QString walk(Recordset& rs, const char* moves) {
    QStringList out;
    for (const char* m = moves; *m; ++m) {
        QString at;
        const long e = errorOf([&] {
            using Move = void (Recordset::*)();
            const Move step[] = {&Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext,
                                 &Recordset::MovePrevious, &Recordset::Delete};
            const size_t op = std::string_view("FLNPD").find(*m);
            if (op < 5) (rs.*step[op])();
            if (*m >= '0' && *m <= '9') rs.SetAbsolutePosition(*m - '0');
            at = QString::number(rs.AbsolutePosition()) + (rs.IsBOF() ? "BOF" : "") +
                 (rs.IsEOF() ? "EOF" : "");
            at = s(rs) + '/' + at;
        });
        out << (e ? QString("#%1").arg(e) + (at.isEmpty() ? "" : "/" + at) : at);
    }
    return out.join(' ');
}
} // namespace

class TestRecordset : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
    int m_files = 0;

private slots:
    void init() {
        m_db = EngineFixture::createTipsDatabase(m_dir.filePath(QString("t%1.mdb").arg(++m_files)));
        for (const char* tip :
             {"Emacs|Rete", "elenco|rete", "Èlite|Grafica", "zeta|Rete", "Alfa|Grafica", "beta|Varie"})
            EngineFixture::addTip(*m_db, QString(tip).section('|', 0, 0), QString(tip).section('|', 1));
    }
    void cleanup() { m_db.reset(); }

    // Order and comparisons ignore case and accents; Like keeps accents apart. 3021: no current record.
    void queriesOrderFilterAndMove() {
        QCOMPARE(titles(*m_db->OpenRecordset(kView)), "Alfa beta elenco Èlite Emacs zeta");
        for (const QString& c :
             QString("[Categoria]='rete'=elenco Emacs zeta|[Titolo] Like 'E*'=elenco Emacs|"
                     "[Titolo] Like 'è*'=Èlite|[Categoria]='nessuna'=")
                 .split('|')) {
            auto rs = m_db->OpenRecordset(where(c.section('=', 0, -2)));
            QVERIFY(rs->Updatable());
            QCOMPARE(titles(*rs), c.section('=', -1));
        }
        QCOMPARE(walk(*m_db->OpenRecordset(where("[Categoria]='nessuna'")), ".FL"),
                 "#3021/-1BOFEOF #3021 #3021");
        auto rs = m_db->OpenRecordset(kView);
        QCOMPARE(rs->RecordCount(), 6L);
        QCOMPARE(walk(*rs, ".LNNPFPPN3"),
                 "Alfa/0 zeta/5 #3021/-1EOF #3021 zeta/5 Alfa/0 #3021/-1BOF #3021 Alfa/0 Èlite/3");
        // A snapshot, the list query and a join (rows not one row of the table each) are read-only.
        QCOMPARE(m_db->OpenRecordset(kView, dbOpenSnapshot)->RecordCount(), 6L);
        for (const QString& sql :
             {QString("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria"),
              QString("SELECT T.Titolo FROM TipsTable T JOIN TipsTable U ON T.KeyPrimary = U.KeyPrimary"),
              kView}) {
            auto ro = sql == kView ? m_db->OpenRecordset(sql, dbOpenSnapshot) : m_db->OpenRecordset(sql);
            QVERIFY2(!ro->Updatable(), qPrintable(sql));
            for (auto edit : {&Recordset::Edit, &Recordset::AddNew, &Recordset::Delete})
                RAISES((ro.get()->*edit)(), err::ReadOnly);
        }
    }

    // A list query groups by the bytes first (through the column's index, when there is one), then
    // in the general order: each group shown by its first spelling in byte order; Null first.
    void listQueriesGroupInTwoSteps() {
        const QStringList spellings =
            QString("Rete|rete|RETE|Àncora|ancora|Ancora||Zeta|zeta|ß|ss|SS").split('|');
        auto general = [](const QByteArray& a, const QByteArray& b) {
            return CompareText(a.constData(), int(a.size()), b.constData(), int(b.size())) < 0;
        };
        std::map<QByteArray, QByteArray, decltype(general)> expected(general); // group -> first in bytes
        std::mt19937 rng(77);
        QStringList rows;
        for (int i = 1; i <= 200; ++i) {
            const QByteArray v = spellings[int(rng() % 12)].toUtf8();
            rows << (i % 13 ? "('t', '" + v + "')" : "('t', NULL)");
            if (i % 13 && !expected.emplace(v, v).second) expected[v] = std::min(expected[v], v);
        }
        m_db->Execute("DELETE FROM TipsTable");
        m_db->Execute("INSERT INTO TipsTable (Titolo, Categoria) VALUES " + rows.join(", "));
        QStringList groups = {"<null>"};
        for (const auto& g : expected)
            groups << QString::fromUtf8(g.second);
        for (const bool indexed : {true, false}) {
            if (!indexed) m_db->Execute("DROP INDEX [TipsTable:Categoria]");
            QStringList listed;
            auto rs = m_db->OpenRecordset("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria");
            for (; !rs->IsEOF(); rs->MoveNext())
                listed << (rs->Fields("Categoria").Value().isValid() ? s(*rs, "Categoria") : "<null>");
            QCOMPARE(listed, groups);
        }
    }

    void editingThroughTheSet() {
        auto rs = m_db->OpenRecordset(kView);
        rs->Edit();
        rs->Fields("Note").SetValue(QString()); // a null QString
        rs->Fields("Categoria").SetValue("Nuova");
        rs->Update();
        QVERIFY(rs->Fields("Note").Value().isValid() && s(*rs, "Note").isEmpty()); // empty text, not Null
        rs->Edit();
        rs->Fields("Categoria").SetValue("Persa");
        rs->CancelUpdate();
        QCOMPARE(s(*rs, "Categoria"), "Nuova");
        RAISES(rs->Update(), err::UpdateWithoutEdit);
        RAISES(rs->CancelUpdate(), err::UpdateWithoutEdit);
        RAISES(rs->Fields("Titolo").SetValue("x"), err::UpdateWithoutEdit);
        QCOMPARE(titles(*m_db->OpenRecordset(where("[Categoria]='nuova'"))), "Alfa");
        // An added record comes at the end of the set; the current record stays.
        rs->MoveNext();
        rs->AddNew();
        rs->Fields("Titolo").SetValue("Aaa nuovo");
        rs->Update();
        QCOMPARE(rs->EditMode(), int(dbEditNone));
        QCOMPARE(walk(*rs, ".L"), "beta/1 Aaa nuovo/6");
        QCOMPARE(rs->Bookmark(), rs->LastModified());
        QVERIFY(rs->Fields("KeyPrimary").Value().toInt() > 6 && !rs->Fields("Note").Value().isValid());
        // A deleted record leaves the set (3167); moving on from it works at both ends.
        QCOMPARE(walk(*rs, "1DNLDNPFDP"), "beta/1 #3167/-1 elenco/1 Aaa nuovo/5 #3167/-1EOF #3021/-1EOF "
                                          "zeta/4 Alfa/0 #3167/-1 #3021/-1BOF");
        QCOMPARE(titles(*m_db->OpenRecordset(kView)), "elenco Èlite Emacs zeta");
    }

    void bookmarksAndFinds() {
        auto rs = m_db->OpenRecordset(kView);
        rs->SetAbsolutePosition(4);
        const QByteArray mark = rs->Bookmark();
        rs->MoveFirst();
        rs->SetBookmark(mark);
        QCOMPARE(s(*rs), "Emacs");
        RAISES(rs->SetBookmark("bad"), err::InvalidBookmark);
        // First, Next, Last, Previous: condition, then where the set stands (no match: it stays).
        for (const QString& c :
             QString("FCategoria = 'RETE'=elenco|NCategoria = 'RETE'=Emacs|LCategoria = 'rete'=zeta|"
                     "PCategoria = 'rete'=Emacs|FTitolo = 'manca'=Emacs|FKeyPrimary =4=zeta")
                 .split('|')) {
            const QString cond = c.mid(1).section('=', 0, -2);
            const auto find = c[0] == 'F'   ? &Recordset::FindFirst
                              : c[0] == 'N' ? &Recordset::FindNext
                              : c[0] == 'L' ? &Recordset::FindLast
                                            : &Recordset::FindPrevious;
            (rs.get()->*find)(cond);
            QCOMPARE(rs->NoMatch(), cond.contains("manca"));
            QCOMPARE(s(*rs), c.section('=', -1));
        }
        RAISES(rs->FindFirst("Titolo = = 'x'"), err::SyntaxError);
    }

    // Sets on a query and on the table keep their records and show later values; so does ReadTexts.
    void changesElsewhereAreSeen_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("listed"); // key:title of every record left, in the set's order
        QTest::newRow("query") << kView << "5:Alfa 6:beta 3:Èlite 1:Emacs 4:Zulu";
        QTest::newRow("table") << "TipsTable"
                               << "1:Emacs 3:Èlite 4:Zulu 5:Alfa 6:beta";
    }
    void changesElsewhereAreSeen() {
        QFETCH(QString, source);
        QFETCH(QString, listed);
        auto view = m_db->OpenRecordset(source);
        const quint64 opened = m_db->ChangeStamp();
        const QString first = listed.section(' ', 0, 0).section(':', 1); // not changed below
        QCOMPARE(s(*view), first);
        QCOMPARE(m_db->Execute("UPDATE TipsTable SET Categoria = 'Reti' WHERE Categoria = 'Rete'"), 3L);
        QVERIFY(m_db->ChangeStamp() != opened);
        m_db->Execute("UPDATE TipsTable SET Titolo = 'Zulu' WHERE Titolo = 'zeta'");
        view->FindFirst("Titolo = 'elenco'");
        QCOMPARE(s(*view, "Categoria"), "Reti");
        auto other = m_db->OpenRecordset("TipsTable");
        other->FindFirst("Titolo = 'elenco'");
        other->Delete();
        EngineFixture::addTip(*m_db, "Nuovo");
        RAISES(s(*view), err::RecordDeleted);
        RAISES(view->Edit(), err::RecordDeleted);
        QCOMPARE(view->RecordCount(), 6L); // the record added elsewhere is not in the set
        QStringList read;
        view->ReadTexts(view->FieldIndex("KeyPrimary"), view->FieldIndex("Titolo"),
                        [&](qint64 key, const char* text, int n) {
                            read << QString::number(key) + ':' + QString::fromUtf8(text, n);
                        });
        QCOMPARE(read.join(' '), listed);
        RAISES(view->ReadTexts(0, view->FieldIndex("Procedura"), {}), err::InvalidArgument);
        view->MoveFirst();
        QCOMPARE(s(*view), first);
        // Another opening of a file never shows a stamp seen before.
        const quint64 written = m_db->ChangeStamp();
        view.reset();
        other.reset();
        m_db = DBEngine::OpenDatabase(m_db->Name());
        QVERIFY(m_db->ChangeStamp() != written && m_db->ChangeStamp() != opened);
    }

    void valuesRefusalsAndClosing() {
        auto rs = m_db->OpenRecordset("TipsTable");
        rs->AddNew();
        const QString body = QString(3000, 'x') + "è";
        rs->Fields("Procedura").SetValue(body);
        rs->Fields("Bookmark").SetValue(1);
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        QCOMPARE(s(*rs, "Procedura") + s(*rs, "Bookmark"), body + "1");
        rs->Edit();
        RAISES(rs->Fields("Bookmark").SetValue(300), err::NumericOverflow);
        RAISES(rs->Fields("Bookmark").SetValue("abc"), err::TypeConversion);
        rs->Fields("Bookmark").SetValue(QVariant());
        rs->Update();
        QCOMPARE(m_db->OpenRecordset("SELECT * FROM TipsTable WHERE [Bookmark] = 1")->RecordCount(), 0L);
        RAISES(rs->Fields("Nessuno"), err::ItemNotFound);
        QCOMPARE(rs->RecordCount(), 7L); // text sizes: tipsdb/tst_createdb
        for (const auto& [sql, number] :
             {std::pair{"Manca", err::TableNotFound},
              {"SELECT * FROM Manca ORDER BY[Titolo]ASC", err::TableNotFound},
              {"SELECT * FROM TipsTable WHERE", err::SyntaxError},
              {"SELECT * FROM TipsTable WHERE [Nessuno] = 1", err::TooFewParameters}})
            RAISES(m_db->OpenRecordset(sql), number);
        RAISES(m_db->Execute("SELECT * FROM TipsTable"), err::CannotExecuteSelect);
        RAISES(m_db->Execute("UPDATE TipsTable SET Titolo = NULL WHERE Titolo = 'x"), err::SyntaxError);
        QCOMPARE(m_db->Execute("DELETE * FROM TipsTable WHERE [Categoria] = 'VARIE'"), 1L);
        QCOMPARE(m_db->RecordsAffected(), 1L);
        RAISES(EngineFixture::appendTipsTable(*m_db), err::TableExists);
        // Closing the database closes its sets (3420).
        rs = m_db->OpenRecordset(kView);
        m_db->Close();
        QCOMPARE(walk(*rs, "N."), "#3420 #3420");
        RAISES(m_db->OpenRecordset(kView), err::ObjectClosed);
        rs->Close();
        RAISES(rs->RecordCount(), err::ObjectClosed);
    }

    // Like's wildcards, and a general order that is total. (The dialect's translation shows in the
    // results of the queries above and in tipsdb/tst_text.)
    void likeAndGeneralOrder() {
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
        // Case and accents tie (see queriesOrderFilterAndMove); base letters first; a total order.
        QVERIFY(compareGeneral("e", "è") < 0 && compareGeneral("èa", "eb") < 0);
        auto before = [](const QString& a, const QString& b) { return compareGeneral(a, b) < 0; };
        const QStringList sample = {"a", "A", "à", "À", "ab", "àb", "b", "", "1", " ", "ß", "Ω"};
        for (const QString& x : sample)
            for (const QString& y : sample) {
                QCOMPARE(before(x, y), compareGeneral(y, x) > 0);
                for (const QString& z : sample)
                    if (!before(y, x) && !before(z, y)) QVERIFY(!before(z, x));
            }
    }

    // The fast "*literal*" search answers as the token walk on pieces that fold oddly (case pairs,
    // combining accents, ß ẞ, Turkish i, KELVIN, long s, sigma, 4-byte letters) and on invalid bytes.
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
        QVERIFY2(found > tried / 5 && found < tried * 4 / 5,
                 qPrintable(QStringLiteral("%1 of %2").arg(found).arg(tried)));
        for (const char* other : {"*", "**", "*a", "a*", "a", "*a?b*", "*a#*", "*[ab]*", "*a*b*", "*[a*"})
            QVERIFY2(!LikePattern(other, int(qstrlen(other))).isLiteralSearch(), other);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
