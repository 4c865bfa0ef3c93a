#include "DamagedArchives.h"

#include "engine/Database.h"
#include "tipsdb/CreateDB.h"

#include <QFile>
#include <random>
#include <sqlite3.h>

namespace probe {

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A new archive at `path` with `tips` tips; every seventh has a procedure of several pages.
bool makeArchive(const QString& path, int tips) {
    if (!CreateDB::CreateTipsDatabase(path)) return false;
    try {
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
        for (int i = 0; i < tips; ++i) {
            rs->AddNew();
            rs->Fields(QStringLiteral("Titolo")).SetValue(QStringLiteral("Tip %1 è qui").arg(i));
            const QString body = QStringLiteral("passo %1; ").arg(i).repeated(i % 7 == 0 ? 500 : 12);
            rs->Fields(QStringLiteral("Procedura")).SetValue(body);
            rs->Fields(QStringLiteral("Categoria")).SetValue(QStringLiteral("Cat %1").arg(i % 9));
            rs->Fields(QStringLiteral("ChiaveRicerca")).SetValue(QStringLiteral("k%1").arg(i % 13));
            rs->Fields(QStringLiteral("Bookmark")).SetValue(i % 5 == 0 ? 1 : 0);
            rs->Update();
        }
        db->Close();
        return true;
    } catch (const qn::EngineError&) {
        return false;
    }
}

// Runs `sql` on the file as another program would.
bool rawExec(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    const int closed = sqlite3_close(db);
    return rc == SQLITE_OK && closed == SQLITE_OK;
}

class Damager {
public:
    explicit Damager(unsigned seed) : m_rng(seed) {}

    Sample make(const Sample& base, int index) {
        QByteArray b = base.bytes;
        const int kind = static_cast<int>(pick(12));
        QString what;
        switch (kind) {
        case 0: what = flipBits(b, 1 + pick(16)); break;
        case 1: what = QStringLiteral("intestazione-") + flipHeader(b); break;
        case 2: what = truncate(b); break;
        case 3: what = fillPage(b, false); break;
        case 4: what = fillPage(b, true); break;
        case 5: what = movePages(b, true); break;
        case 6: what = foreignHeader(b); break;
        case 7: what = movePages(b, false); break;
        case 8: what = pageHeader(b); break;
        case 9: what = pointer(b); break;
        case 10: what = headerField(b); break;
        default: what = notADatabase(b); break;
        }
        return {QStringLiteral("%1-%2-%3").arg(base.name, what).arg(index), b};
    }

private:
    quint32 pick(quint32 n) { return n == 0 ? 0 : static_cast<quint32>(m_rng() % n); }
    static int pageSize(const QByteArray& b) {
        if (b.size() < 100) return 4096;
        const int v = (static_cast<unsigned char>(b[16]) << 8) | static_cast<unsigned char>(b[17]);
        return v == 1 ? 65536 : (v >= 512 ? v : 4096);
    }
    int pages(const QByteArray& b) const { return std::max(1, static_cast<int>(b.size() / pageSize(b))); }
    // Page `n` (from 1) as an offset; page 1 starts with the file header.
    int pageOffset(const QByteArray& b, int n) const { return (n - 1) * pageSize(b); }

    QString flipBits(QByteArray& b, quint32 n) {
        for (quint32 i = 0; i < n && !b.isEmpty(); ++i)
            b[pick(b.size())] = static_cast<char>(b[pick(b.size())] ^ (1 << pick(8)));
        return QStringLiteral("bit-%1").arg(n);
    }
    QString flipHeader(QByteArray& b) {
        const quint32 at = pick(100);
        b[at] = static_cast<char>(m_rng());
        return QString::number(at);
    }
    QString truncate(QByteArray& b) {
        const bool onPage = pick(2) == 0;
        const int size = onPage ? pageSize(b) * static_cast<int>(pick(pages(b))) : static_cast<int>(pick(b.size()));
        b.truncate(size);
        return QStringLiteral("troncato-%1").arg(size);
    }
    QString fillPage(QByteArray& b, bool noise) {
        const int n = 1 + static_cast<int>(pick(pages(b)));
        const int from = pageOffset(b, n) + (n == 1 ? 100 : 0);
        for (int i = from; i < std::min<int>(b.size(), pageOffset(b, n + 1)); ++i)
            b[i] = noise ? static_cast<char>(m_rng()) : '\0';
        return QStringLiteral("pagina-%1-%2").arg(noise ? "casuale" : "azzerata").arg(n);
    }
    QString movePages(QByteArray& b, bool swap) {
        const int x = 2 + static_cast<int>(pick(pages(b))), y = 2 + static_cast<int>(pick(pages(b)));
        const int size = pageSize(b);
        if (pageOffset(b, std::max(x, y)) + size > b.size()) return QStringLiteral("pagine-fuori");
        const QByteArray px = b.mid(pageOffset(b, x), size), py = b.mid(pageOffset(b, y), size);
        b.replace(pageOffset(b, y), size, px);
        if (swap) b.replace(pageOffset(b, x), size, py);
        return QStringLiteral("pagine-%1-%2-%3").arg(swap ? "scambiate" : "copiate").arg(x).arg(y);
    }
    QString foreignHeader(QByteArray& b) {
        static const QByteArray headers[] = {QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20),
                                             QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("PK\x03\x04", 4),
                                             QByteArray("SQLite format 2\x00", 16)};
        const QByteArray& h = headers[pick(4)];
        b.replace(0, h.size(), h);
        return QStringLiteral("intestazione-estranea");
    }
    QString pageHeader(QByteArray& b) {
        const int n = 1 + static_cast<int>(pick(pages(b)));
        const int at = pageOffset(b, n) + (n == 1 ? 100 : 0) + static_cast<int>(pick(12));
        if (at < b.size()) b[at] = static_cast<char>(m_rng());
        return QStringLiteral("testata-pagina-%1").arg(n);
    }
    // A page number or offset somewhere in a page: child, overflow and freelist pointers.
    QString pointer(QByteArray& b) {
        const quint32 at = pick(std::max(4, static_cast<int>(b.size()) - 4));
        const quint32 value = pick(4) == 0 ? static_cast<quint32>(m_rng()) : pick(pages(b) + 3);
        for (int i = 0; i < 4 && static_cast<int>(at) + i < b.size(); ++i)
            b[at + i] = static_cast<char>(value >> (8 * (3 - i)));
        return QStringLiteral("puntatore-%1").arg(at);
    }
    QString headerField(QByteArray& b) {
        static const int fields[] = {16, 18, 19, 20, 21, 24, 28, 32, 36, 44, 48, 52, 56, 64};
        const int at = fields[pick(14)];
        for (int i = 0; i < 4 && at + i < b.size(); ++i)
            b[at + i] = static_cast<char>(pick(3) == 0 ? 0xFF : m_rng());
        return QStringLiteral("campo-%1").arg(at);
    }
    QString notADatabase(QByteArray& b) {
        switch (pick(4)) {
        case 0: b.clear(); return QStringLiteral("vuoto");
        case 1:
            for (char& c : b)
                c = static_cast<char>(m_rng());
            return QStringLiteral("casuale");
        case 2: b = QByteArray("Ricette della nonna\r\n").repeated(50); return QStringLiteral("testo");
        default: b.truncate(100); return QStringLiteral("solo-intestazione");
        }
    }

    std::mt19937 m_rng;
};

} // namespace

QList<Sample> soundArchives(const QString& folder) {
    QList<Sample> out;
    const struct {
        const char* name;
        int tips;
        bool wal;
    } kinds[] = {{"piccolo", 4, false}, {"medio", 30, false}, {"wal", 12, true}};
    for (const auto& k : kinds) {
        const QString path = folder + QStringLiteral("/%1.mdb").arg(QLatin1String(k.name));
        // Small pages: the same tables in small files with deeper trees, quick to fuzz. Closing
        // checkpoints a WAL: what is left is a file that says it is in WAL mode.
        if (!makeArchive(path, k.tips) || !rawExec(path, "PRAGMA page_size=1024; VACUUM") ||
            (k.wal && !rawExec(path, "PRAGMA journal_mode=WAL")))
            continue;
        out.append({QString::fromLatin1(k.name), readAll(path)});
    }
    return out;
}

QList<Sample> damagedArchives(const QList<Sample>& sound, int count, unsigned seed) {
    QList<Sample> out;
    if (sound.isEmpty()) return out;
    Damager damager(seed);
    for (int i = 0; i < count; ++i)
        out.append(damager.make(sound[i % sound.size()], i));
    return out;
}

} // namespace probe
