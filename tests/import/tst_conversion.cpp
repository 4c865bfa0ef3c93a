// quillnote-import on the generator's Jet 3 and Jet 4 files (read first by mdb-export): what it keeps,
// changes and refuses, its command line, and damaged files, which must never leave an archive behind.
#include "EngineFixture.h"
#include "JetFile.h"
#include "mainwindow/ConversionRun.h"
#include "tipsdb/Compatibility.h"
#include "tipsdb/OldArchive.h"

#include <QtTest>

using namespace jetgen;

namespace {

const QVariant Null;
using Run = qn::ui::HelperOutcome;

// Tips as text rows, the fields apart by "|", Null (and for libmdb the empty text) as "<null>".
QStringList asText(const QList<QVariantList>& tips, bool emptyIsNull = false) {
    QStringList rows;
    for (const QVariantList& tip : tips) {
        QStringList fields;
        for (const QVariant& v : tip)
            fields << (!v.isValid() || (emptyIsNull && v.toString().isEmpty()) ? "<null>" : v.toString());
        rows << fields.join('|');
    }
    return rows;
}

// The new archive's TipsTable read through plain SQLite, in key order.
QStringList storedRows(const QString& path) {
    QString fields = "KeyPrimary,Titolo,Procedura,Categoria,ChiaveRicerca,Note,Bookmark,Linguaggio";
    fields.replace(QRegularExpression("(\\w+)"), "ifnull(\\1,'<null>')").replace("),", ")||'|'||");
    return EngineFixture::rawColumn(path, "SELECT " + fields + " FROM TipsTable ORDER BY KeyPrimary");
}

QStringList mdbExport(const QString& path) {
    QProcess p;
    p.start("mdb-export", {"-H", "-Q", "-0", "<null>", "-d", "|", "-R", "\x1e", path, "TipsTable"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).split("\x1e", Qt::SkipEmptyParts);
}

// The formats the sample is written in, and how the report names each.
const QList<std::tuple<const char*, Format, QString>> Formats = {
    {"Jet 3", Format::Jet3, "Access 97, code page 1252"}, {"Jet 4", Format::Jet4, "Access 2000"}};

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString oldPath = dir.filePath("vecchio.mdb"), newPath = dir.filePath("nuovo.mdb");
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // quillnote-import run as the window runs it; the exit status is -1 when it did not finish.
    Run convert(const QStringList& arguments, int limitMs = 30000) {
        Run out = qn::ui::RunHelper(
            nullptr, {QCoreApplication::applicationDirPath() + "/quillnote-import", arguments, limitMs, -1});
        out.exitCode = out.kind == Run::Finished ? out.exitCode : -1;
        return out;
    }

private slots:
    void cleanup() {
        for (const QString& f : files())
            QFile::remove(dir.filePath(f));
    }

    // mdb-export reads the generator's files as they are meant, the deleted row too.
    void mdbExportReadsTheFiles() {
        for (const auto& [name, format, named] : Formats) {
            Layout layout;
            QVERIFY2(Write(oldPath, Build({SampleTipsTable()}, format, &layout)), name);
            QVERIFY(layout.memoPages.size() >= 5); // the long memo takes a chain of pages
            QCOMPARE(mdbExport(oldPath), asText(SampleTips(true), true));
        }
    }

    // Every value kept (Null apart from the empty text, the long memo whole, text in the header's code
    // page, the deleted row left out), what the new table cannot hold changed and reported, non-tips
    // files refused; an archive of the new name replaced whole or, on refusal, left; the old file kept.
    void conversions_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report"); // %1: the old file
        QTest::addColumn<QStringList>("stored");
        const QString all =
            "Tips letti: %1\nTips convertiti: %1\nEsito: tutti i tips sono stati convertiti.\n";
        for (const auto& [name, format, named] : Formats)
            QTest::newRow(name) << Build({SampleTipsTable()}, format) << 0
                                << "Archivio: %1 (" + named + ")\n" + all.arg(5) << asText(SampleTips());
        const QList<QVariantList> czech = {{1, "Žluťoučký kůň", "ďábelské ódy", "", Null, Null, 1, "C"}};
        QTest::newRow("Jet 3, code page 1250")
            << Build({TipsTable(czech)}, Format::Jet3, nullptr, 1250) << 0
            << "Archivio: %1 (Access 97, code page 1250)\n" + all.arg(1) << asText(czech);

        Table t = TipsTable({{4, QString(70, 'T'), "a", Null, Null, Null, 300, Null},
                             {4, "Doppio", "b", Null, Null, Null, 1, Null},
                             {Null, "Senza chiave", "c", Null, Null, Null, 0, Null},
                             {9, "Ultimo", "d", Null, Null, Null, 2, Null}});
        t.columns[6].type = Int;
        t.declaredRows = 6;
        Layout layout;
        const QByteArray changed = Build({t}, Format::Jet4, &layout);
        const QString at = QString("\" (pagina %1, riga ").arg(layout.dataPages[0]);
        QTest::newRow("tips changed")
            << changed << int(tipsdb::Incomplete)
            << "Archivio: %1 (Access 2000)\nTips letti: 4\nTips convertiti: 4\nTip \"" + QString(60, 'T') +
                   at +
                   "0): Titolo troncato a 60 caratteri (ne aveva 70); Bookmark 300 fuori dall'intervallo "
                   "0-255: lasciato vuoto\nTip \"Doppio" +
                   at + "1): KeyPrimary 4 ripetuto: il tip ha un nuovo numero\nTip \"Senza chiave" + at +
                   "2): KeyPrimary vuoto: il tip ha un nuovo numero\nLa tabella dichiara 6 tips, ne sono "
                   "stati trovati 4.\nEsito: il nuovo archivio è stato creato, ma non tutti i tips sono "
                   "stati convertiti esattamente.\n"
            << asText({{4, QString(60, 'T'), "a", Null, Null, Null, Null, Null},
                       {9, "Ultimo", "d", Null, Null, Null, 2, Null},
                       {10, "Doppio", "b", Null, Null, Null, 1, Null},
                       {11, "Senza chiave", "c", Null, Null, Null, 0, Null}});

        const auto refused = [](const char* name, const QByteArray& file, const QString& reason) {
            QTest::newRow(name) << file << int(tipsdb::Refused)
                                << "Conversione non riuscita: " + reason + "\n"
                                << QStringList{"1|Vecchio|<null>|<null>|<null>|<null>|<null>|<null>"};
        };
        const auto tips = [](const std::function<void(Table&)>& change) {
            Table t = TipsTable({{1, "Uno", "corpo", "Varie", Null, Null, 0, Null}});
            change(t);
            return Build({t});
        };
        refused("a field missing", tips([](Table& t) { t.columns.removeAt(7); }),
                "la tabella TipsTable non ha il campo Linguaggio.");
        refused("a field in other case", tips([](Table& t) { t.columns[1].name = "titolo"; }),
                "la tabella TipsTable non ha il campo Titolo.");
        refused("a key that is text", tips([](Table& t) { t.columns[0].type = Text; }),
                "il campo KeyPrimary è di un tipo che non si può convertire (tipo 10).");
        refused("Access 2007", tips([](Table&) {}).replace(4, 15, "Standard ACE DB"),
                "il file è nel formato di Access 2007 o successivo, che non si converte.");
        refused("not Access", QByteArray(8192, 'x'), "il file non è un archivio di Access 97 o Access 2000.");
    }
    void conversions() {
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QString, report);
        QFETCH(QStringList, stored);
        QVERIFY(Write(oldPath, file));
        EngineFixture::addTip(*EngineFixture::createTipsDatabase(newPath), "Vecchio");
        const Run out = convert({oldPath, newPath});
        QCOMPARE(out.exitCode, status);
        QCOMPARE(out.report, report.replace("%1", oldPath));
        QCOMPARE(storedRows(newPath), stored);
        QCOMPARE(EngineFixture::fileBytes(oldPath), file);
        QCOMPARE(files(), QStringList({"nuovo.mdb", "vecchio.mdb"}));
        // The next tip is numbered after the highest key kept.
        auto converted = qn::DBEngine::Workspaces(0).OpenDatabase(newPath, true, false);
        QCOMPARE(tipsdb::CheckCompatibility(*converted), tipsdb::Compatibility::Compatible);
        QCOMPARE(EngineFixture::addTip(*converted, "Nuovo"), stored.last().section('|', 0, 0).toInt() + 1);
    }

    // The command line: too few arguments, the old file as the destination, a destination in use.
    void commandLine() {
        const QByteArray file = Build({SampleTipsTable()});
        QVERIFY(Write(oldPath, file));
        QVERIFY(convert({oldPath}).report.startsWith("uso: quillnote-import"));
        QCOMPARE(convert({oldPath, dir.filePath("./vecchio.mdb")}).report,
                 "Conversione non riuscita: il nuovo archivio non può sostituire il file da convertire.\n");
        QCOMPARE(EngineFixture::fileBytes(oldPath), file);
        {
            auto inUse = EngineFixture::createTipsDatabase(newPath);
            EngineFixture::addTip(*inUse, "Esistente");
            QCOMPARE(convert({oldPath, newPath}).report,
                     "Conversione non riuscita: il file " + newPath + " è in uso.\n");
        }
        QCOMPARE(storedRows(newPath), QStringList({"1|Esistente|<null>|<null>|<null>|<null>|<null>|<null>"}));
    }

    // Damaged files: each run ends in time with a sound new archive or none, never a temporary file.
    void damagedFiles_data() {
        QTest::addColumn<QByteArray>("file");
        for (const auto& [name, format, named] : Formats) {
            Layout l;
            const QByteArray good = Build({SampleTipsTable()}, format, &l);
            // Cut at the end of a page (read by libmdb) and inside one (refused before).
            for (qsizetype n = l.pageSize; n < good.size(); n += 4 * l.pageSize) {
                QTest::addRow("%s cut after %lld pages", name, n / l.pageSize) << good.left(n);
                QTest::addRow("%s cut at %lld", name, n + 999) << good.left(n + 999);
            }
            // Flipped bits in each kind of page: usage maps, catalog, definition, data, long values.
            QRandomGenerator random(uint(format) + 1);
            for (int p : {1, 2, l.definitionPage, l.dataPages[0], l.catalogPages[0], l.memoPages.first(),
                          l.memoPages.last()}) {
                QByteArray bad = good;
                for (int i = 0; i < 24; ++i) {
                    const qsizetype at = qsizetype(p) * l.pageSize + random.bounded(l.pageSize);
                    bad[at] = char(bad[at] ^ 1 << random.bounded(8));
                }
                QTest::addRow("%s page %d bit-flipped", name, p) << bad;
            }
            QByteArray zero = good;
            zero[l.firstPropertyEntry] = zero[l.firstPropertyEntry + 1] = '\0';
            QTest::addRow("%s zero-length property record", name) << zero;
        }
    }
    void damagedFiles() {
        QFETCH(QByteArray, file);
        QVERIFY(Write(oldPath, file));
        QElapsedTimer clock;
        clock.start();
        const Run out = convert({oldPath, newPath}, 3000);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(out.kind != Run::FailedToStart && (out.exitCode < 0 || !out.report.isEmpty()));
        if (out.exitCode < 0) { // stopped: what the window removes then
            QFile::remove(tipsdb::ConversionTempPath(newPath, out.pid));
            QFile::remove(tipsdb::ConversionTempPath(newPath, out.pid) + "-journal");
        }
        const bool made = out.exitCode == tipsdb::Converted || out.exitCode == tipsdb::Incomplete;
        QCOMPARE(files(), made ? QStringList({"nuovo.mdb", "vecchio.mdb"}) : QStringList{"vecchio.mdb"});
        QVERIFY(!made || tipsdb::CheckCompatibility(*qn::DBEngine::Workspaces(0).OpenDatabase(
                             newPath, true, true)) == tipsdb::Compatibility::Compatible);
    }
};

QTEST_MAIN(TestConversion)
#include "tst_conversion.moc"
