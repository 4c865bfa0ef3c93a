// Record sets over a tips table: order, positions at both ends, editing through the set,
// bookmarks and finds, read-only shapes, staleness after writes elsewhere, values.

#include "EngineFixture.h"
#include "engine/TextOrder.h"

#include <QTemporaryDir>
#include <QtTest>
#include <random>

using namespace qn;
using EngineFixture::errorOf;

namespace {
const QString kDefaultView = QStringLiteral("SELECT * FROM TipsTable ORDER BY[Titolo]ASC");

QStringList titles(Recordset& rs) {
    QStringList out;
    if (rs.RecordCount() == 0) return out;
    rs.MoveFirst();
    while (!rs.IsEOF()) {
        out << rs.Fields(QStringLiteral("Titolo")).Value().toString();
        rs.MoveNext();
    }
    return out;
}
} // namespace

class TestRecordset : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;

private slots:
    void init() {
        const QString path =
            m_dir.filePath(QStringLiteral("t%1.mdb").arg(QDateTime::currentMSecsSinceEpoch()));
        m_db = EngineFixture::createTipsDatabase(path);
        const char* const rows[][2] = {{"Emacs", "Rete"}, {"elenco", "rete"},  {"Èlite", "Grafica"},
                                       {"zeta", "Rete"},  {"Alfa", "Grafica"}, {"beta", "Varie"}};
        for (const auto& r : rows)
            EngineFixture::addTip(*m_db, QString::fromUtf8(r[0]), QString::fromUtf8(r[1]));
    }
    void cleanup() { m_db.reset(); }

    void defaultViewSortsCaseAndAccentInsensitively() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        QCOMPARE(titles(*rs),
                 QStringList({"Alfa", "beta", "elenco", QString::fromUtf8("Èlite"), "Emacs", "zeta"}));
        QVERIFY(rs->Updatable());
    }

    void positionsAtBothEnds() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        QCOMPARE(rs->RecordCount(), 6L);
        QCOMPARE(rs->AbsolutePosition(), 0L);
        QVERIFY(!rs->IsBOF());
        rs->MoveLast();
        QCOMPARE(rs->AbsolutePosition(), 5L);
        rs->MoveNext();
        QVERIFY(rs->IsEOF());
        QCOMPARE(rs->AbsolutePosition(), -1L);
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Titolo")).Value(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->MoveNext(); }), err::NoCurrentRecord);
        rs->MovePrevious();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("zeta"));
        rs->MoveFirst();
        rs->MovePrevious();
        QVERIFY(rs->IsBOF());
        QVERIFY(!rs->IsEOF());
        QCOMPARE(errorOf([&] { rs->MovePrevious(); }), err::NoCurrentRecord);
        rs->MoveNext();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Alfa"));
        rs->SetAbsolutePosition(3);
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QString::fromUtf8("Èlite"));
    }

    void emptySetIsAtBothEnds() {
        auto rs = m_db->OpenRecordset(
            QStringLiteral("SELECT * FROM TipsTable WHERE [Categoria]='nessuna'ORDER BY[Titolo]ASC"));
        QCOMPARE(rs->RecordCount(), 0L);
        QVERIFY(rs->IsBOF() && rs->IsEOF());
        QCOMPARE(errorOf([&] { rs->MoveFirst(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->MoveLast(); }), err::NoCurrentRecord);
    }

    void filtersMatchCaseInsensitively() {
        auto rs = m_db->OpenRecordset(
            QStringLiteral("SELECT * FROM TipsTable WHERE [Categoria]='rete'ORDER BY[Titolo]ASC"));
        QCOMPARE(titles(*rs), QStringList({"elenco", "Emacs", "zeta"}));
        auto like = m_db->OpenRecordset(
            QStringLiteral("SELECT * FROM TipsTable WHERE [Titolo] Like 'E*'ORDER BY[Titolo]ASC"));
        QCOMPARE(titles(*like), QStringList({"elenco", "Emacs"})); // È is not E
        auto accent = m_db->OpenRecordset(
            QString::fromUtf8("SELECT * FROM TipsTable WHERE [Titolo] Like 'è*'ORDER BY[Titolo]ASC"));
        QCOMPARE(titles(*accent), QStringList({QString::fromUtf8("Èlite")}));
    }

    void groupByGivesSortedReadOnlyGroups() {
        auto rs =
            m_db->OpenRecordset(QStringLiteral("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria"));
        QStringList groups;
        for (; !rs->IsEOF(); rs->MoveNext())
            groups << rs->Fields(QStringLiteral("Categoria")).Value().toString().toLower();
        QCOMPARE(groups, QStringList({"grafica", "rete", "varie"}));
        QVERIFY(!rs->Updatable());
        rs->MoveFirst();
        QCOMPARE(errorOf([&] { rs->Edit(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->AddNew(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->Delete(); }), err::ReadOnly);
        QCOMPARE(rs->Fields(0).Type(), int(dbText));
        rs->FindFirst(QStringLiteral("Categoria = 'VARIE'"));
        QVERIFY(!rs->NoMatch());
        QCOMPARE(rs->AbsolutePosition(), 2L);
    }

    // A list query groups by the bytes first (through the column's index, when there is one),
    // then in the general order: the groups of a single grouping, in its order, each shown by its
    // first spelling in byte order. Null is a group of its own, first.
    void listQueriesGroupInTwoSteps() {
        const QStringList spellings = {
            "Rete", "rete", "RETE", QString::fromUtf8("Àncora"), "ancora", "Ancora",
            "",     "Zeta", "zeta", QString::fromUtf8("ß"),      "ss",     "SS"};
        std::mt19937 rng(77);
        QStringList rows;
        for (int i = 0; i < 200; ++i)
            rows << (i % 13 == 0 ? QString("('t', NULL)")
                                 : QString("('t', '%1')").arg(spellings[int(rng() % 12)]));
        m_db->Execute("INSERT INTO TipsTable (Titolo, Categoria) VALUES " + rows.join(", ")); // one write
        // The groups worked out here: values sorted in the general order, then by bytes.
        QList<QByteArray> values;
        auto all = m_db->OpenRecordset(QStringLiteral("TipsTable"));
        for (; !all->IsEOF(); all->MoveNext()) {
            const QVariant v = all->Fields(QStringLiteral("Categoria")).Value();
            values << (v.isValid() ? v.toString().toUtf8() : QByteArray());
        }
        auto general = [](const QByteArray& a, const QByteArray& b) {
            return CompareText(a.constData(), int(a.size()), b.constData(), int(b.size()));
        };
        std::sort(values.begin(), values.end(), [&](const QByteArray& a, const QByteArray& b) {
            if (a.isNull() != b.isNull()) return a.isNull();
            const int c = general(a, b);
            return c != 0 ? c < 0 : a < b;
        });
        QStringList expected;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (i == 0 || values[i].isNull() != values[i - 1].isNull() ||
                general(values[i], values[i - 1]) != 0)
                expected << (values[i].isNull() ? "<null>" : QString::fromUtf8(values[i]));
        for (const bool indexed : {true, false}) {
            if (!indexed) m_db->Execute(QStringLiteral("DROP INDEX [TipsTable:Categoria]"));
            auto rs = m_db->OpenRecordset(
                QStringLiteral("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria"));
            QStringList groups;
            for (; !rs->IsEOF(); rs->MoveNext()) {
                const QVariant v = rs->Fields(QStringLiteral("Categoria")).Value();
                groups << (v.isValid() ? v.toString() : "<null>");
            }
            QCOMPARE(groups, expected);
        }
    }

    void addedRecordAppearsAtTheEnd() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        rs->MoveFirst();
        rs->MoveNext(); // "beta"
        rs->AddNew();
        QCOMPARE(rs->EditMode(), int(dbEditAdd));
        rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Aaa nuovo"));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Aaa nuovo"));
        QVERIFY(!rs->Fields(QStringLiteral("Note")).Value().isValid()); // unassigned: Null
        rs->Update();
        QCOMPARE(rs->EditMode(), int(dbEditNone));
        QCOMPARE(rs->RecordCount(), 7L);
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("beta"));
        rs->MoveLast();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Aaa nuovo"));
        QVERIFY(rs->Fields(QStringLiteral("KeyPrimary")).Value().toInt() > 6);
        QVERIFY(!rs->Fields(QStringLiteral("Note")).Value().isValid());
        QCOMPARE(rs->Bookmark(), rs->LastModified());
    }

    void editAndCancel() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        rs->Edit();
        QCOMPARE(rs->EditMode(), int(dbEditInProgress));
        rs->Fields(QStringLiteral("Note")).SetValue(QString());
        rs->Fields(QStringLiteral("Categoria")).SetValue(QStringLiteral("Nuova"));
        rs->Update();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Alfa"));
        const QVariant note = rs->Fields(QStringLiteral("Note")).Value();
        QVERIFY(note.isValid() && note.toString().isEmpty()); // empty text, not Null
        rs->Edit();
        rs->Fields(QStringLiteral("Categoria")).SetValue(QStringLiteral("Persa"));
        rs->CancelUpdate();
        QCOMPARE(rs->Fields(QStringLiteral("Categoria")).Value().toString(), QStringLiteral("Nuova"));
        QCOMPARE(errorOf([&] { rs->Update(); }), err::UpdateWithoutEdit);
        QCOMPARE(errorOf([&] { rs->CancelUpdate(); }), err::UpdateWithoutEdit);
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("x")); }),
                 err::UpdateWithoutEdit);
        auto again = m_db->OpenRecordset(
            QStringLiteral("SELECT * FROM TipsTable WHERE [Categoria]='nuova'ORDER BY[Titolo]ASC"));
        QCOMPARE(titles(*again), QStringList({"Alfa"}));
    }

    void deleteLeavesTheSet() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        rs->MoveFirst();
        rs->MoveNext(); // beta
        rs->Delete();
        QCOMPARE(rs->RecordCount(), 5L);
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Titolo")).Value(); }), err::RecordDeleted);
        QCOMPARE(rs->AbsolutePosition(), -1L);
        rs->MoveNext();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("elenco"));
        rs->MoveLast();
        rs->Delete();
        rs->MoveNext();
        QVERIFY(rs->IsEOF());
        rs->MovePrevious();
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Emacs"));
        rs->MoveFirst();
        rs->Delete();
        rs->MovePrevious();
        QVERIFY(rs->IsBOF());
        QCOMPARE(titles(*m_db->OpenRecordset(kDefaultView)),
                 QStringList({"elenco", QString::fromUtf8("Èlite"), "Emacs"}));
    }

    void bookmarksAndFinds() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        rs->SetAbsolutePosition(4);
        const QByteArray mark = rs->Bookmark();
        rs->MoveFirst();
        rs->SetBookmark(mark);
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Emacs"));
        QCOMPARE(errorOf([&] { rs->SetBookmark(QByteArray("bad")); }), err::InvalidBookmark);

        rs->FindFirst(QStringLiteral("Categoria = 'RETE'"));
        QVERIFY(!rs->NoMatch());
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("elenco"));
        rs->FindNext(QStringLiteral("Categoria = 'RETE'"));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Emacs"));
        rs->FindLast(QStringLiteral("Categoria = 'rete'"));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("zeta"));
        rs->FindPrevious(QStringLiteral("Categoria = 'rete'"));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("Emacs"));

        rs->FindFirst(QStringLiteral("Titolo = 'manca'"));
        QVERIFY(rs->NoMatch());
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(),
                 QStringLiteral("Emacs")); // unchanged
        rs->FindFirst(QStringLiteral("KeyPrimary =4"));
        QVERIFY(!rs->NoMatch());
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Value().toString(), QStringLiteral("zeta"));
        QCOMPARE(errorOf([&] { rs->FindFirst(QStringLiteral("Titolo = = 'x'")); }), err::SyntaxError);
    }

    // A set on a query and a set on the table (whose values are read when first needed) hold the
    // records they were opened with and show the values written since; the list reader agrees.
    void changesElsewhereAreSeen_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("listed"); // key:title of every record left, in the set's order
        QTest::newRow("query") << kDefaultView << QString::fromUtf8("5:Alfa 6:beta 3:Èlite 1:Emacs 4:Zulu");
        QTest::newRow("table") << "TipsTable" << QString::fromUtf8("1:Emacs 3:Èlite 4:Zulu 5:Alfa 6:beta");
    }
    void changesElsewhereAreSeen() {
        QFETCH(QString, source);
        QFETCH(QString, listed);
        auto view = m_db->OpenRecordset(source);
        const quint64 opened = m_db->ChangeStamp();
        const QString first = listed.section(' ', 0, 0).section(':', 1); // not changed below
        QCOMPARE(view->Fields(QStringLiteral("Titolo")).Value().toString(), first);
        QCOMPARE(
            m_db->Execute(QStringLiteral("UPDATE TipsTable SET Categoria = 'Reti' WHERE Categoria = 'Rete'")),
            3L);
        QVERIFY(m_db->ChangeStamp() != opened);
        m_db->Execute(QStringLiteral("UPDATE TipsTable SET Titolo = 'Zulu' WHERE Titolo = 'zeta'"));
        view->FindFirst(QStringLiteral("Titolo = 'elenco'"));
        QCOMPARE(view->Fields(QStringLiteral("Categoria")).Value().toString(), QStringLiteral("Reti"));
        auto other = m_db->OpenRecordset(QStringLiteral("TipsTable"));
        other->FindFirst(QStringLiteral("Titolo = 'elenco'"));
        other->Delete();
        other->AddNew();
        other->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Nuovo"));
        other->Update();
        QCOMPARE(errorOf([&] { view->Fields(QStringLiteral("Titolo")).Value(); }), err::RecordDeleted);
        QCOMPARE(errorOf([&] { view->Edit(); }), err::RecordDeleted);
        QCOMPARE(view->RecordCount(), 6L); // the record added elsewhere is not in the set
        QStringList read;
        view->ReadTexts(view->FieldIndex(QStringLiteral("KeyPrimary")),
                        view->FieldIndex(QStringLiteral("Titolo")),
                        [&](qint64 key, const char* text, int bytes) {
                            read << QString::number(key) + ':' + QString::fromUtf8(text, bytes);
                        });
        QCOMPARE(read.join(' '), listed);
        QCOMPARE(errorOf([&] { view->ReadTexts(0, view->FieldIndex(QStringLiteral("Procedura")), {}); }),
                 err::InvalidArgument);
        view->MoveFirst();
        QCOMPARE(view->Fields(QStringLiteral("Titolo")).Value().toString(), first);
        // Another opening of a file never shows a stamp seen before.
        const quint64 written = m_db->ChangeStamp();
        const QString path = m_db->Name();
        view.reset();
        other.reset();
        m_db.reset();
        m_db = DBEngine::OpenDatabase(path);
        QVERIFY(m_db->ChangeStamp() != written && m_db->ChangeStamp() != opened);
    }

    void memoAndValueTypes() {
        auto rs = m_db->OpenRecordset(QStringLiteral("TipsTable"));
        rs->AddNew();
        const QString body = QString(3000, QLatin1Char('x')) + QString::fromUtf8("è");
        rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("memo"));
        rs->Fields(QStringLiteral("Procedura")).SetValue(body);
        rs->Fields(QStringLiteral("Bookmark")).SetValue(1);
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        QCOMPARE(rs->Fields(QStringLiteral("Procedura")).Value().toString(), body);
        QCOMPARE(rs->Fields(QStringLiteral("Bookmark")).Value().toInt(), 1);
        QCOMPARE(rs->Fields(QStringLiteral("Bookmark")).Type(), int(dbByte));
        QCOMPARE(rs->Fields(QStringLiteral("Titolo")).Size(), 60);
        rs->Edit();
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Bookmark")).SetValue(300); }),
                 err::NumericOverflow);
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Bookmark")).SetValue(QStringLiteral("abc")); }),
                 err::TypeConversion);
        rs->Fields(QStringLiteral("Bookmark")).SetValue(QVariant());
        rs->Update();
        QVERIFY(!rs->Fields(QStringLiteral("Bookmark")).Value().isValid());
        auto marked = m_db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable WHERE [Bookmark] = 1"));
        QCOMPARE(marked->RecordCount(), 0L);
        QCOMPARE(rs->Fields().Count(), 8);
        QCOMPARE(rs->Fields(2).Name(), QStringLiteral("Procedura"));
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Nessuno")); }), err::ItemNotFound);
    }

    void sizeLimitsAndKeys() {
        auto rs = m_db->OpenRecordset(QStringLiteral("TipsTable"));
        const struct {
            const char* field;
            int size;
        } limits[] = {{"Titolo", 60}, {"Categoria", 30}, {"ChiaveRicerca", 20}, {"Note", 50}};
        for (const auto& l : limits) {
            rs->AddNew();
            rs->Fields(QString::fromLatin1(l.field)).SetValue(QString(l.size + 1, QChar(0xE8)));
            QCOMPARE(errorOf([&] { rs->Update(); }), err::FieldTooSmall);
            QCOMPARE(rs->EditMode(), int(dbEditAdd)); // a refused save keeps the pending record
            rs->Fields(QString::fromLatin1(l.field)).SetValue(QString(l.size, QChar(0xE8)));
            rs->Update();
        }
        rs->AddNew();
        rs->Fields(QStringLiteral("KeyPrimary")).SetValue(1);
        QCOMPARE(errorOf([&] { rs->Update(); }), err::DuplicateKey);
        rs->CancelUpdate();
        QCOMPARE(rs->RecordCount(), 10L);
    }

    void closedDatabaseInvalidatesSets() {
        auto rs = m_db->OpenRecordset(kDefaultView);
        m_db->Close();
        QVERIFY(!rs->IsOpen());
        QCOMPARE(errorOf([&] { rs->MoveNext(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { rs->Fields(QStringLiteral("Titolo")).Value(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { m_db->OpenRecordset(kDefaultView); }), err::ObjectClosed);
        rs->Close();
        QCOMPARE(errorOf([&] { rs->RecordCount(); }), err::ObjectClosed);
    }

    void refusedStatements() {
        QCOMPARE(errorOf([&] { m_db->OpenRecordset(QStringLiteral("Manca")); }), err::TableNotFound);
        QCOMPARE(errorOf([&] { m_db->OpenRecordset(QStringLiteral("SELECT * FROM Manca ORDER BY[Titolo]ASC")); }),
                 err::TableNotFound);
        QCOMPARE(errorOf([&] { m_db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable WHERE")); }), err::SyntaxError);
        QCOMPARE(errorOf([&] { m_db->OpenRecordset(QStringLiteral("SELECT * FROM TipsTable WHERE [Nessuno] = 1")); }),
                 err::TooFewParameters);
        QCOMPARE(errorOf([&] { m_db->Execute(QStringLiteral("SELECT * FROM TipsTable")); }), err::CannotExecuteSelect);
        QCOMPARE(errorOf([&] { m_db->Execute(QStringLiteral("UPDATE TipsTable SET Titolo = NULL WHERE Titolo = 'x")); }),
                 err::SyntaxError);
        QCOMPARE(m_db->Execute(QStringLiteral("DELETE * FROM TipsTable WHERE [Categoria] = 'VARIE'")), 1L);
        QCOMPARE(m_db->RecordsAffected(), 1L);
    }

    void snapshotIsNotUpdatable() {
        auto rs = m_db->OpenRecordset(kDefaultView, dbOpenSnapshot);
        QCOMPARE(rs->Type(), int(dbOpenSnapshot));
        QVERIFY(!rs->Updatable());
        QCOMPARE(errorOf([&] { rs->Edit(); }), err::ReadOnly);
        QCOMPARE(titles(*rs).size(), 6);
    }

    void tableDefsDescribeTheSchema() {
        TableDefsCollection defs = m_db->TableDefs();
        QCOMPARE(defs.Count(), 1);
        const TableDef& t = defs[0];
        QCOMPARE(t.Name, QStringLiteral("TipsTable"));
        QCOMPARE(t.Fields.Count(), 8);
        QCOMPARE(t.Fields[0].Attributes, 17L);
        QCOMPARE(t.Fields[3].Size, 30);
        QVERIFY(t.Fields[1].AllowZeroLength);
        QCOMPARE(t.Indexes.Count(), 3);
        QVERIFY(t.Indexes[2].Primary && t.Indexes[2].Unique && t.Indexes[2].Required);
        QVERIFY(!t.Indexes[0].Unique);
        QCOMPARE(errorOf([&] { EngineFixture::appendTipsTable(*m_db); }), err::TableExists);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
