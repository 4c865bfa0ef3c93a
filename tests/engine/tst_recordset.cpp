// Record sets over a tips table: order and filters, moves at both ends, editing through the set,
// bookmarks and finds, read-only shapes, staleness after writes elsewhere, values and limits.

#include "EngineFixture.h"
#include "engine/TextOrder.h"

#include <QTemporaryDir>
#include <QtTest>
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
// Runs moves (F first, L last, N next, P previous, D delete, a digit: that position, . none) and
// says after each where the set is: "title/position", with BOF or EOF when there; "#number"
// alone for an error the move raised, "#number/position..." for one the reading raised.
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

    // Order and comparisons ignore case and accents; Like folds case but keeps accents apart.
    // 3021: no current record.
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
        // A snapshot and a list query are read-only.
        std::unique_ptr<Recordset> sets[] = {
            m_db->OpenRecordset(kView, dbOpenSnapshot),
            m_db->OpenRecordset("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria")};
        QCOMPARE(sets[0]->RecordCount() * 10 + sets[1]->RecordCount(), 63L);
        for (const auto& ro : sets) {
            QVERIFY(!ro->Updatable());
            for (auto edit : {&Recordset::Edit, &Recordset::AddNew, &Recordset::Delete})
                RAISES((ro.get()->*edit)(), err::ReadOnly);
        }
    }

    // A list query groups by the bytes first (through the column's index, when there is one), then
    // in the general order: each group shown by its first spelling in byte order; Null first.
    void listQueriesGroupInTwoSteps() {
        const QStringList spellings =
            QString("Rete|rete|RETE|Àncora|ancora|Ancora||Zeta|zeta|ß|ss|SS").split('|');
        std::mt19937 rng(77);
        QStringList rows;
        for (int i = 0; i < 200; ++i)
            rows << (i % 13 ? QString("('t', '%1')").arg(spellings[int(rng() % 12)])
                            : QString("('t', NULL)"));
        m_db->Execute("INSERT INTO TipsTable (Titolo, Categoria) VALUES " + rows.join(", "));
        QList<QByteArray> values;
        for (auto all = m_db->OpenRecordset("TipsTable"); !all->IsEOF(); all->MoveNext())
            values << (all->Fields("Categoria").Value().isValid() ? s(*all, "Categoria").toUtf8()
                                                                  : QByteArray());
        auto general = [](const QByteArray& a, const QByteArray& b) {
            return CompareText(a.constData(), int(a.size()), b.constData(), int(b.size()));
        };
        std::sort(values.begin(), values.end(), [&](const QByteArray& a, const QByteArray& b) {
            const int c = general(a, b);
            return a.isNull() != b.isNull() ? a.isNull() : c != 0 ? c < 0 : a < b;
        });
        QStringList expected;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (i == 0 || values[i].isNull() != values[i - 1].isNull() || general(values[i], values[i - 1]))
                expected << (values[i].isNull() ? "<null>" : QString::fromUtf8(values[i]));
        for (const bool indexed : {true, false}) {
            if (!indexed) m_db->Execute("DROP INDEX [TipsTable:Categoria]");
            QStringList groups;
            auto rs = m_db->OpenRecordset("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria");
            for (; !rs->IsEOF(); rs->MoveNext())
                groups << (rs->Fields("Categoria").Value().isValid() ? s(*rs, "Categoria") : "<null>");
            QCOMPARE(groups, expected);
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
        QCOMPARE(rs->EditMode(), int(dbEditAdd));
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
        using Find = void (Recordset::*)(const QString&);
        const std::tuple<Find, const char*, const char*> finds[] = {
            {&Recordset::FindFirst, "Categoria = 'RETE'", "elenco"},
            {&Recordset::FindNext, "Categoria = 'RETE'", "Emacs"},
            {&Recordset::FindLast, "Categoria = 'rete'", "zeta"},
            {&Recordset::FindPrevious, "Categoria = 'rete'", "Emacs"},
            {&Recordset::FindFirst, "Titolo = 'manca'", "Emacs"}, // no match: the record stays
            {&Recordset::FindFirst, "KeyPrimary =4", "zeta"}};
        for (const auto& [find, cond, title] : finds) {
            (rs.get()->*find)(cond);
            QCOMPARE(rs->NoMatch(), QByteArray(cond).contains("manca"));
            QCOMPARE(s(*rs), title);
        }
        RAISES(rs->FindFirst("Titolo = = 'x'"), err::SyntaxError);
    }

    // A set on a query and a set on the table (whose values are read when first needed) hold the
    // records they were opened with and show the values written since; the list reader agrees.
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

    void valuesAndLimits() {
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
        // Text sizes count characters; a refused save keeps the pending record.
        for (const auto& [field, size] :
             {std::pair{"Titolo", 60}, {"Categoria", 30}, {"ChiaveRicerca", 20}, {"Note", 50}}) {
            rs->AddNew();
            rs->Fields(field).SetValue(QString(size + 1, QChar(0xE8)));
            RAISES(rs->Update(), err::FieldTooSmall);
            QCOMPARE(rs->EditMode(), int(dbEditAdd));
            rs->Fields(field).SetValue(QString(size, QChar(0xE8)));
            rs->Update();
        }
        QCOMPARE(rs->RecordCount(), 11L);
    }

    void refusalsAndClosing() {
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
        auto rs = m_db->OpenRecordset(kView);
        m_db->Close();
        QVERIFY(!rs->IsOpen());
        QCOMPARE(walk(*rs, "N."), "#3420 #3420");
        RAISES(m_db->OpenRecordset(kView), err::ObjectClosed);
        rs->Close();
        RAISES(rs->RecordCount(), err::ObjectClosed);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
