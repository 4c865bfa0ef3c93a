// Converting old Access archives with quillnote-import: the files written by the test's own Jet 3 and
// Jet 4 writer (checked first against mdb-export), every value kept exactly, the refusals, the
// tips that change on the way, the command line, and damaged files that must never leave an
// archive behind nor keep the caller waiting past the time limit.
#include "EngineFixture.h"
#include "JetFile.h"
#include "SampleTips.h"
#include "engine/Database.h"
#include "mainwindow/ConversionRun.h"
#include "tipsdb/Compatibility.h"
#include "tipsdb/OldArchive.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace jetgen;

namespace {

const QVariant Null;

QString helper() {
    return QCoreApplication::applicationDirPath() + "/quillnote-import";
}

struct Converted {
    int status = -1; // -1: the helper crashed
    QStringList report;
};

Converted convert(const QStringList& arguments) {
    QProcess p;
    p.start(helper(), arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts)};
}

QString sqlValue(const QVariant& v) {
    if (!v.isValid()) return "NULL";
    if (v.typeId() == QMetaType::QString) return "'" + v.toString().replace("'", "''") + "'";
    return QString::number(v.toLongLong());
}

QStringList expectedRows(const QList<QVariantList>& tips) {
    QStringList rows;
    for (const QVariantList& t : tips) {
        QStringList values;
        for (const QVariant& v : t)
            values << sqlValue(v);
        rows << values.join('|');
    }
    return rows;
}

// Every row of the new archive, read through plain SQLite, as sqlValue writes values.
QStringList storedRows(const QString& path) {
    QStringList columns;
    for (const char* f : {"KeyPrimary", "Titolo", "Procedura", "Categoria", "ChiaveRicerca", "Note",
                          "Bookmark", "Linguaggio"})
        columns << QString("quote(%1)").arg(f);
    return EngineFixture::rawColumn(path, "SELECT " + columns.join("||'|'||") +
                                              " FROM TipsTable ORDER BY KeyPrimary");
}

// TipsTable as mdb-export reads it: one list of fields per row. libmdb cannot tell the empty
// text from Null, so both come as "<null>".
QList<QStringList> mdbExport(const QString& path, const QByteArray& charset = {}) {
    QProcess p;
    if (!charset.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MDB_JET3_CHARSET", charset);
        p.setProcessEnvironment(env);
    }
    p.start("mdb-export", {"-H", "-Q", "-0", "<null>", "-d", "\x1f", "-R", "\x1e", path, "TipsTable"});
    p.waitForFinished(30000);
    QList<QStringList> rows;
    for (const QString& row : QString::fromUtf8(p.readAllStandardOutput()).split("\x1e", Qt::SkipEmptyParts))
        rows << row.split("\x1f");
    return rows;
}

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A Jet 4 TipsTable whose columns are changed by `change`.
Table tipsWith(const QList<QVariantList>& tips, const std::function<void(QList<Column>&)>& change) {
    Table t = TipsTable(tips);
    change(t.columns);
    return t;
}

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString oldPath = dir.filePath("vecchio.mdb");
    QString newPath = dir.filePath("nuovo.mdb");

private slots:
    void cleanup() {
        for (const QString& f : filesIn(dir))
            QFile::remove(dir.filePath(f));
    }

    void formats_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("compress");
        QTest::newRow("Jet 3") << int(Format::Jet3) << false;
        QTest::newRow("Jet 4, compressed text") << int(Format::Jet4) << true;
        QTest::newRow("Jet 4, plain UCS-2") << int(Format::Jet4) << false;
    }

    // The writer's files read the same through mdb-export, then convert with every value, Null
    // and empty text apart, the long memo whole, the deleted row left out; the old file unchanged.
    void everyValueKept_data() { formats_data(); }
    void everyValueKept() {
        QFETCH(int, format);
        QFETCH(bool, compress);
        Options o;
        o.format = Format(format);
        o.compress = compress;
        Layout layout;
        QVERIFY(Write(oldPath, {SampleTipsTable()}, o, &layout));
        QVERIFY(layout.memoPages.size() >= 5); // the long memo takes a chain of pages
        const QByteArray before = EngineFixture::fileBytes(oldPath);

        // mdb-export (libmdb 1.0.0) lists the row marked deleted too; the conversion leaves it out.
        QList<QStringList> exported;
        for (const Row& r : SampleTipsTable().rows) {
            QStringList fields;
            for (const QVariant& v : r.values)
                fields << (v.toString().isEmpty() ? "<null>" : v.toString());
            exported << fields;
        }
        QCOMPARE(mdbExport(oldPath), exported);

        const Converted run = convert({oldPath, newPath});
        QCOMPARE(run.status, int(tipsdb::Converted));
        QCOMPARE(run.report.mid(1, 2), QStringList({"Tips letti: 5", "Tips convertiti: 5"}));
        QCOMPARE(storedRows(newPath), expectedRows(SampleTips()));
        QCOMPARE(EngineFixture::fileBytes(oldPath), before);
        QCOMPARE(filesIn(dir), QStringList({"nuovo.mdb", "vecchio.mdb"}));
        // The next tip is numbered after the highest key kept.
        auto converted = qn::DBEngine::Workspaces(0).OpenDatabase(newPath, true, false);
        QCOMPARE(tipsdb::CheckCompatibility(*converted), tipsdb::Compatibility::Compatible);
        QCOMPARE(EngineFixture::addTip(*converted, "Nuovo"), 22);
    }

    // Jet 3 text is decoded from the code page the file's header names.
    void codePageOfTheHeader() {
        Options o;
        o.format = Format::Jet3;
        o.codePage = 1250;
        const QString czech = "Žluťoučký kůň";
        QVERIFY(Write(oldPath, {TipsTable({{1, czech, "ďábelské ódy", "", Null, Null, 1, "C"}})}, o));
        QCOMPARE(mdbExport(oldPath, "CP1250").value(0).value(1), czech);
        const Converted run = convert({oldPath, newPath});
        QCOMPARE(run.status, int(tipsdb::Converted));
        QVERIFY(run.report.value(0).endsWith("(Access 97, code page 1250)"));
        QCOMPARE(storedRows(newPath), expectedRows({{1, czech, "ďábelské ódy", "", Null, Null, 1, "C"}}));
    }

    // Files that are not tips archives of the old formats: nothing is written.
    void refused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QList<QVariantList> one = {{1, "Uno", "corpo", "Varie", Null, Null, 0, Null}};
        Table other = TipsTable(one);
        other.name = "Ricette";
        QTest::newRow("no TipsTable") << Build({other}) << "l'archivio non contiene la tabella TipsTable.";
        QTest::newRow("a field missing") << Build({tipsWith(one, [](QList<Column>& c) { c.removeAt(7); })})
                                         << "la tabella TipsTable non ha il campo Linguaggio.";
        QTest::newRow("a field in other case")
            << Build({tipsWith(one, [](QList<Column>& c) { c[1].name = "titolo"; })})
            << "la tabella TipsTable non ha il campo Titolo.";
        QTest::newRow("a key that is text") << Build({tipsWith(one, [](QList<Column>& c) {
            c[0] = {"KeyPrimary", Text, 10};
        })}) << "il campo KeyPrimary è di un tipo che non si può convertire (tipo 10).";
        QByteArray ace = Build({TipsTable(one)});
        ace.replace(4, 15, "Standard ACE DB");
        QTest::newRow("Access 2007")
            << ace << "il file è nel formato di Access 2007 o successivo, che non si converte.";
        QTest::newRow("not Access") << QByteArray(8192, 'x')
                                    << "il file non è un archivio di Access 97 o Access 2000.";
        QTest::newRow("half a page") << Build({TipsTable(one)}).left(3 * 4096 + 100)
                                     << "il file è troncato o danneggiato: 12388 byte non sono un numero "
                                        "intero di pagine di 4096 byte.";
    }
    void refused() {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QFile f(oldPath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        const Converted run = convert({oldPath, newPath});
        QCOMPARE(run.status, int(tipsdb::Refused));
        QCOMPARE(run.report, QStringList{"Conversione non riuscita: " + reason});
        QCOMPARE(filesIn(dir), QStringList{"vecchio.mdb"});
    }

    // What the new table cannot hold as it stands is changed, reported, and the status says so.
    void changedTips() {
        const QString longTitle = QString(70, 'T');
        Table t = tipsWith({{4, longTitle, "a", Null, Null, Null, 300, Null},
                            {4, "Doppio", "b", Null, Null, Null, 1, Null},
                            {Null, "Senza chiave", "c", Null, Null, Null, 0, Null},
                            {9, "Ultimo", "d", Null, Null, Null, 2, Null}},
                           [](QList<Column>& c) {
                               c[1].size = 255;
                               c[6] = {"Bookmark", Int};
                           });
        t.declaredRows = 6;
        Layout layout;
        QVERIFY(Write(oldPath, {t}, {}, &layout));
        const QString page = QString::number(layout.dataPages["TipsTable"].first());
        const Converted run = convert({oldPath, newPath});
        QCOMPARE(run.status, int(tipsdb::Incomplete));
        QCOMPARE(
            run.report.mid(1),
            QStringList({"Tips letti: 4", "Tips convertiti: 4",
                         "Tip \"" + QString(60, 'T') + "\" (pagina " + page +
                             ", riga 0): Titolo troncato a 60 caratteri (ne aveva 70); Bookmark "
                             "300 fuori dall'intervallo 0-255: lasciato vuoto",
                         "Tip \"Doppio\" (pagina " + page +
                             ", riga 1): KeyPrimary 4 ripetuto: il tip ha un nuovo numero",
                         "Tip \"Senza chiave\" (pagina " + page +
                             ", riga 2): KeyPrimary vuoto: il tip ha un nuovo numero",
                         "La tabella dichiara 6 tips, ne sono stati trovati 4.",
                         "Esito: il nuovo archivio è stato creato, ma non tutti i tips sono stati convertiti "
                         "esattamente."}));
        QCOMPARE(storedRows(newPath),
                 QStringList({"4|'" + QString(60, 'T') + "'|'a'|NULL|NULL|NULL|NULL|NULL",
                              "9|'Ultimo'|'d'|NULL|NULL|NULL|2|NULL", "10|'Doppio'|'b'|NULL|NULL|NULL|1|NULL",
                              "11|'Senza chiave'|'c'|NULL|NULL|NULL|0|NULL"}));
    }

    // The command line: its arguments, a destination that is the old file or in use.
    void commandLine() {
        QVERIFY(Write(oldPath, {SampleTipsTable()}));
        const QByteArray before = EngineFixture::fileBytes(oldPath);
        Converted run = convert({oldPath});
        QCOMPARE(run.status, int(tipsdb::Refused));
        QVERIFY(run.report.value(0).startsWith("uso: quillnote-import"));
        run = convert({oldPath, dir.filePath("./vecchio.mdb")});
        QCOMPARE(run.report,
                 QStringList{"Conversione non riuscita: il nuovo archivio non può sostituire il file da "
                             "convertire."});
        QCOMPARE(EngineFixture::fileBytes(oldPath), before);
        {
            auto inUse = EngineFixture::createTipsDatabase(newPath);
            run = convert({oldPath, newPath});
            QCOMPARE(run.report, QStringList{"Conversione non riuscita: il file " + newPath + " è in uso."});
        }
        QCOMPARE(tipsdb::CheckCompatibility(*qn::DBEngine::Workspaces(0).OpenDatabase(newPath, true, true)),
                 tipsdb::Compatibility::Compatible);
        // An existing archive that is not in use is replaced as a whole.
        QCOMPARE(convert({oldPath, newPath}).status, int(tipsdb::Converted));
        QCOMPARE(storedRows(newPath), expectedRows(SampleTips()));
    }

    // Damaged old files through the window's runner: each ends within the time limit with an
    // outcome, and either a sound new archive or none at all, never a temporary file.
    void damagedFiles_data() {
        QTest::addColumn<QByteArray>("file");
        for (int f = 0; f < 2; ++f) {
            Options o;
            o.format = f ? Format::Jet4 : Format::Jet3;
            Layout layout;
            const QByteArray good = Build({SampleTipsTable()}, o, &layout);
            const QString name = f ? "Jet 4" : "Jet 3";
            const int page = layout.pageSize;
            for (qsizetype length = page; length < good.size(); length += good.size() / 9)
                QTest::addRow("%s truncated at %lld", qPrintable(name), qlonglong(length))
                    << good.left(length);
            for (qsizetype pages = 3; pages * page < good.size(); pages += 4)
                QTest::addRow("%s cut after %lld pages", qPrintable(name), qlonglong(pages))
                    << good.left(pages * page);
            // Flipped bits in each kind of page: catalog, definition, data, usage maps, long values.
            QList<int> pages = {1,
                                2,
                                layout.definitionPage["TipsTable"],
                                layout.dataPages["TipsTable"].first(),
                                layout.dataPages["MSysObjects"].first(),
                                layout.memoPages.first(),
                                layout.memoPages.last()};
            QRandomGenerator random(uint(f + 1));
            for (int p : pages) {
                QByteArray bad = good;
                for (int n = 0; n < 24; ++n) {
                    const qsizetype at = qsizetype(p) * page + random.bounded(page);
                    bad[at] = char(bad[at] ^ (1 << random.bounded(8)));
                }
                QTest::addRow("%s page %d bit-flipped", qPrintable(name), p) << bad;
            }
            QByteArray zero = good;
            zero[layout.firstPropertyEntry] = zero[layout.firstPropertyEntry + 1] = '\0';
            QTest::addRow("%s zero-length property record", qPrintable(name)) << zero;
        }
    }
    void damagedFiles() {
        QFETCH(QByteArray, file);
        QFile f(oldPath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        qn::ui::HelperRun run{helper(), {oldPath, newPath}, 3000, -1};
        QElapsedTimer clock;
        clock.start();
        const qn::ui::HelperOutcome out = qn::ui::RunHelper(nullptr, run);
        QVERIFY2(clock.elapsed() < run.timeLimitMs + 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(out.kind != qn::ui::HelperOutcome::FailedToStart);
        const bool made = out.kind == qn::ui::HelperOutcome::Finished &&
                          (out.exitCode == tipsdb::Converted || out.exitCode == tipsdb::Incomplete);
        qInfo() << out.kind << out.exitCode << out.report.split('\n').mid(0, 4).join(" / ").left(300);
        if (out.kind == qn::ui::HelperOutcome::Crashed || out.kind == qn::ui::HelperOutcome::TimedOut) {
            QFile::remove(
                tipsdb::ConversionTempPath(newPath, out.pid)); // what the window removes for a stopped helper
            QFile::remove(tipsdb::ConversionTempPath(newPath, out.pid) + "-journal");
        }
        QCOMPARE(filesIn(dir), made ? QStringList({"nuovo.mdb", "vecchio.mdb"}) : QStringList{"vecchio.mdb"});
        if (made)
            QCOMPARE(
                tipsdb::CheckCompatibility(*qn::DBEngine::Workspaces(0).OpenDatabase(newPath, true, true)),
                tipsdb::Compatibility::Compatible);
    }
};

QTEST_MAIN(TestConversion)
#include "tst_conversion.moc"
