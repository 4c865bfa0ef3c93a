// Engine cases: the program's own queries through our engine, each beside the same work
// written directly against SQLite's C API (with the same collation and Like functions).

#include "BenchReport.h"
#include "engine/Collation.h"
#include "engine/Database.h"
#include "tipsdb/CreateDB.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <unordered_set>

namespace {

const char* const kDefaultView = "SELECT * FROM TipsTable ORDER BY[Titolo]ASC";
const char* const kRawDefaultView = "SELECT * FROM TipsTable ORDER BY \"Titolo\" COLLATE QNGENERAL ASC";
const char* const kWord = "zanzibar"; // in 1% of the procedures and, elsewhere, 1% of the titles

QString randomWord(std::mt19937& rng, int minLen, int maxLen) {
    static const char32_t letters[] = U"abcdefghilmnopqrstuvzàèéìòù";
    std::uniform_int_distribution<int> len(minLen, maxLen);
    std::uniform_int_distribution<int> pick(0, 20);
    std::uniform_int_distribution<int> accent(0, 39);
    QString w;
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
        const char32_t c = accent(rng) == 0 ? letters[21 + accent(rng) % 6] : letters[pick(rng)];
        w += QString::fromUcs4(&c, 1);
    }
    if (pick(rng) < 6) w[0] = w[0].toUpper();
    return w;
}

QString makeTitle(std::mt19937& rng) {
    std::uniform_int_distribution<int> target(20, 60);
    const int want = target(rng);
    QString t;
    while (t.size() < want)
        t += (t.isEmpty() ? QString() : QStringLiteral(" ")) + randomWord(rng, 2, 9);
    return t.left(want).trimmed().leftJustified(20, QLatin1Char('x'));
}

QString makeProcedure(std::mt19937& rng, bool withWord) {
    QString p;
    p.reserve(2100);
    while (p.size() < 2000)
        p += randomWord(rng, 2, 10) + (p.size() % 7 == 0 ? QStringLiteral("\r\n") : QStringLiteral(" "));
    if (withWord)
        p.insert(static_cast<int>(rng() % 1900),
                 QLatin1String(" ") + QLatin1String(kWord) + QLatin1String(" "));
    return p;
}

// Bulk generation through a raw connection in one transaction; the table comes from CreateDB.
bool generateArchive(const QString& path, int tips) {
    if (!CreateDB::CreateTipsDatabase(path)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO TipsTable(Titolo, Procedura, Categoria, ChiaveRicerca, Note, Bookmark, Linguaggio)"
        " VALUES (?,?,?,?,?,?,?)",
        -1, &ins, nullptr);
    std::mt19937 rng(20240531);
    auto bind = [&](int i, const QString& s) {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(ins, i, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
    };
    for (int i = 0; i < tips; ++i) {
        const QString title = makeTitle(rng);
        bind(1, i % 100 == 11 ? (QLatin1String(kWord) + QLatin1Char(' ') + title).left(60) : title);
        bind(2, makeProcedure(rng, i % 100 == 37));
        bind(3, QStringLiteral("Categoria %1").arg(rng() % 200));
        bind(4, QStringLiteral("Chiave %1").arg(rng() % 1000));
        bind(5, QStringLiteral("nota %1").arg(i));
        sqlite3_bind_int(ins, 6, i % 50 == 0 ? 1 : 0);
        bind(7, QStringLiteral("C++"));
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// ---- our engine --------------------------------------------------------------------------

} // namespace

long readViewTitles(qn::Database& db, const QString& sql) {
    auto rs = db.OpenRecordset(sql);
    if (rs->RecordCount() == 0) return 0;
    rs->MoveLast();
    rs->MoveFirst();
    const long n = rs->RecordCount();
    const int title = rs->FieldIndex(QStringLiteral("Titolo"));
    long chars = 0;
    for (long i = 0; i < n; ++i) {
        chars += rs->Fields(title).Value().toString().size();
        rs->MoveNext();
    }
    return chars;
}

namespace {

// ---- raw SQLite --------------------------------------------------------------------------

struct RawDb {
    sqlite3* db = nullptr;
    // With `builtinLike`, only the collation is ours: LIKE stays SQLite's own (ASCII case only).
    explicit RawDb(const QString& path, bool builtinLike = false) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (!builtinLike) {
            qn::registerTextFunctions(db);
            return;
        }
        sqlite3_create_collation_v2(
            db, "QNGENERAL", SQLITE_UTF8, nullptr,
            [](void*, int an, const void* a, int bn, const void* b) {
                return qn::compareGeneral(static_cast<const char*>(a), an, static_cast<const char*>(b), bn);
            },
            nullptr);
    }
    ~RawDb() { sqlite3_close(db); }
};

long rawTitles(sqlite3* db, const char* sql, int titleColumn) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    long chars = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, titleColumn));
        chars += QString::fromUtf8(text, sqlite3_column_bytes(st, titleColumn)).size();
    }
    sqlite3_finalize(st);
    return chars;
}

std::vector<int64_t> rawKeys(sqlite3* db, const char* sql) {
    std::vector<int64_t> keys;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        keys.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    return keys;
}

QString titleNearTheEnd(const QString& path) {
    RawDb raw(path);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw.db,
                       "SELECT Titolo FROM TipsTable ORDER BY Titolo COLLATE QNGENERAL DESC LIMIT 1 OFFSET 5",
                       -1, &st, nullptr);
    QString t;
    if (sqlite3_step(st) == SQLITE_ROW)
        t = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return t;
}

// ---- cases -------------------------------------------------------------------------------

template <typename Ours, typename Raw>
void compare(const char* name, const QString& path, Ours ours, Raw raw) {
    double oursMs = 0, rawMs = 0;
    {
        auto db = qn::DBEngine::OpenDatabase(path, true, false);
        oursMs = timeMs([&] { ours(*db); });
    }
    {
        RawDb r(path);
        rawMs = timeMs([&] { raw(r.db); });
    }
    reportRatio(name, oursMs, rawMs);
}

void defaultView(const QString& path) {
    compare(
        "default_view", path, [](qn::Database& db) { readViewTitles(db, QString::fromLatin1(kDefaultView)); },
        [](sqlite3* db) { rawTitles(db, kRawDefaultView, 1); });
    // The stricter comparison: raw reads only the key and the title, not the memo column.
    compare(
        "default_view_narrow", path,
        [](qn::Database& db) { readViewTitles(db, QString::fromLatin1(kDefaultView)); },
        [](sqlite3* db) {
            rawTitles(
                db,
                "SELECT rowid, Titolo, Categoria, ChiaveRicerca, Note, Bookmark, Linguaggio FROM TipsTable"
                " ORDER BY \"Titolo\" COLLATE QNGENERAL ASC",
                1);
        });
}

void wordFilter(const QString& path) {
    const QString ours =
        QStringLiteral("SELECT * FROM TipsTable WHERE [Procedura] Like '*%1*'ORDER BY[Titolo]ASC")
            .arg(QLatin1String(kWord));
    const QByteArray raw = QStringLiteral("SELECT * FROM TipsTable WHERE \"Procedura\" LIKE '*%1*' ORDER BY "
                                          "\"Titolo\" COLLATE QNGENERAL ASC")
                               .arg(QLatin1String(kWord))
                               .toUtf8();
    const QByteArray builtin = QByteArray("SELECT * FROM TipsTable WHERE \"Procedura\" LIKE '%") + kWord +
                               "%' ORDER BY \"Titolo\" COLLATE QNGENERAL ASC";
    // Alternated, so that the page cache and the machine's load weigh on all three alike.
    double oursMs = 0, rawMs = 0, builtinMs = 0;
    long oursChars = 0, builtinChars = 0;
    auto db = qn::DBEngine::OpenDatabase(path, true, false);
    for (int i = 0; i < 3; ++i) {
        const double o = timeMs([&] { oursChars = readViewTitles(*db, ours); }, 1);
        db->Close();
        double r = 0, b = 0;
        {
            RawDb ourLike(path);
            r = timeMs([&] { rawTitles(ourLike.db, raw.constData(), 1); }, 1);
        }
        {
            RawDb builtinLike(path, true);
            b = timeMs([&] { builtinChars = rawTitles(builtinLike.db, builtin.constData(), 1); }, 1);
        }
        db = qn::DBEngine::OpenDatabase(path, true, false);
        oursMs = i == 0 ? o : std::min(oursMs, o);
        rawMs = i == 0 ? r : std::min(rawMs, r);
        builtinMs = i == 0 ? b : std::min(builtinMs, b);
    }
    if (oursChars != builtinChars || oursChars == 0)
        std::fprintf(stderr, "word_filter: the engine and SQLite's LIKE found different titles\n");
    std::printf(
        "case=word_filter ours_ms=%.1f raw_ms=%.1f ratio=%.2f raw_builtin_ms=%.1f builtin_ratio=%.2f\n",
        oursMs, rawMs, oursMs / rawMs, builtinMs, oursMs / builtinMs);
    std::fflush(stdout);
}

void findTitle(const QString& path) {
    const QString title = titleNearTheEnd(path);
    QString quoted = title;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    double oursMs = 0, rawMs = 0;
    {
        auto db = qn::DBEngine::OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset(QString::fromLatin1(kDefaultView));
        oursMs = timeMs([&] {
            rs->MoveFirst();
            rs->FindFirst(QStringLiteral("Titolo = '%1'").arg(quoted));
            if (rs->NoMatch() || rs->Fields(QStringLiteral("Titolo")).Value().toString().isEmpty())
                std::fprintf(stderr, "find_title: not found\n");
        });
    }
    {
        RawDb r(path);
        const std::vector<int64_t> view =
            rawKeys(r.db, "SELECT rowid FROM TipsTable ORDER BY Titolo COLLATE QNGENERAL");
        const QByteArray where =
            QStringLiteral("SELECT rowid FROM TipsTable WHERE Titolo = '%1' COLLATE QNGENERAL")
                .arg(quoted)
                .toUtf8();
        rawMs = timeMs([&] {
            const std::vector<int64_t> hits = rawKeys(r.db, where.constData());
            const std::unordered_set<int64_t> wanted(hits.begin(), hits.end());
            size_t i = 0;
            while (i < view.size() && !wanted.count(view[i]))
                ++i;
            if (i == view.size()) std::fprintf(stderr, "find_title: raw not found\n");
        });
    }
    reportRatio("find_title", oursMs, rawMs);
}

void categoryGroups(const QString& path) {
    auto readGroups = [](qn::Database& db) {
        auto rs =
            db.OpenRecordset(QStringLiteral("SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria"));
        long chars = 0;
        for (; !rs->IsEOF(); rs->MoveNext())
            chars += rs->Fields(0).Value().toString().size();
        return chars;
    };
    compare("category_groups", path, readGroups, [](sqlite3* db) {
        rawTitles(db,
                  "SELECT Categoria FROM TipsTable INDICE GROUP BY Categoria COLLATE QNGENERAL"
                  " ORDER BY Categoria COLLATE QNGENERAL",
                  0);
    });
}

void compact(const QString& path, const QString& folder) {
    const QString dst = folder + QStringLiteral("/Temp.mdb");
    auto ours = [&] { qn::DBEngine::CompactDatabase(path, dst); };
    auto raw = [&] {
        RawDb r(path);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(r.db, "VACUUM INTO ?", -1, &st, nullptr);
        const QByteArray d = QFile::encodeName(dst);
        sqlite3_bind_text(st, 1, d.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
    };
    // Alternated, so that the disk's and the system's state weigh on both alike.
    double oursMs = 0, rawMs = 0;
    for (int i = 0; i < 3; ++i) {
        QFile::remove(dst);
        const double o = timeMs(ours, 1);
        QFile::remove(dst);
        const double r = timeMs(raw, 1);
        oursMs = i == 0 ? o : std::min(oursMs, o);
        rawMs = i == 0 ? r : std::min(rawMs, r);
    }
    QFile::remove(dst);
    reportRatio("compact", oursMs, rawMs);
}


const char* const kViewChildVariable = "QN_BENCH_VIEW_ARCHIVE"; // set in the child that measures memory

// Peak memory of the default view above the process's size before it, in a fresh process.
void peakMemory(const QString& path) {
    reportFromFreshChild(kViewChildVariable, path, "engine",
                         {QStringLiteral("peak_rss_baseline_mb="), QStringLiteral("peak_rss_mb=")});
}

void measureViewInChild(const QString& path) {
    const double baseline = statusMb("VmRSS:");
    {
        auto db = qn::DBEngine::OpenDatabase(path, true, false);
        readViewTitles(*db, QString::fromLatin1(kDefaultView));
    }
    reportValue("peak_rss_baseline_mb", baseline);
    reportValue("peak_rss_mb", statusMb("VmHWM:") - baseline);
}

void runEngineCases(const BenchOptions& options) {
    const QString childArchive = qEnvironmentVariable(kViewChildVariable);
    if (!childArchive.isEmpty()) {
        measureViewInChild(childArchive);
        return;
    }
    const QString path = options.workFolder + QStringLiteral("/Quillnote.mdb");
    QElapsedTimer t;
    t.start();
    if (!generateArchive(path, options.tips)) {
        std::fprintf(stderr, "generation failed\n");
        return;
    }
    reportValue("generate_ms", static_cast<double>(t.elapsed()));
    defaultView(path);
    wordFilter(path);
    findTitle(path);
    categoryGroups(path);
    compact(path, options.workFolder);
    peakMemory(path);
}

BenchGroup engineGroup("engine", runEngineCases);

} // namespace

// The generated archive, for the other groups of cases (declared in BenchReport.h).
bool generateBenchArchive(const QString& path, int tips) {
    return generateArchive(path, tips);
}
