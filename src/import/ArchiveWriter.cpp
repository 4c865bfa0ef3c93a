#include "import/ArchiveWriter.h"

#include "engine/DurableFile.h"
#include "engine/EngineError.h"
#include "tipsdb/CreateDB.h"
#include "tipsdb/OldArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qnimport {
namespace {

// Kept in a plain buffer so that an exit handler can still read it.
char g_pending[4096];

void setPending(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const size_t n = std::min(sizeof g_pending - 1, size_t(native.size()));
    memcpy(g_pending, native.constData(), n);
    g_pending[n] = '\0';
}

// Another program (or a window of ours) holds the file when it refuses an exclusive lock.
bool inUse(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
}

int fieldSize(const char* name) {
    for (const qn::Field& f : CreateDB::TipsTableDef().Fields)
        if (f.Name == QLatin1String(name)) return f.Type == qn::dbText ? f.Size : 0;
    return 0;
}

// Texts longer than their field are cut (never in the middle of a surrogate pair) and reported.
void fitTexts(OldTip& tip) {
    static const std::array<int, 8> sizes = [] {
        std::array<int, 8> s{};
        for (size_t f = 0; f < TipFields.size(); ++f)
            s[f] = fieldSize(TipFields[f]);
        return s;
    }();
    for (size_t f = 0; f < TipFields.size(); ++f) {
        if (sizes[f] == 0 || tip.values[f].typeId() != QMetaType::QString) continue;
        QString s = tip.values[f].toString();
        if (s.size() <= sizes[f]) continue;
        qsizetype cut = sizes[f];
        if (s.at(cut - 1).isHighSurrogate()) --cut;
        tip.problems << QStringLiteral("%1 troncato a %2 caratteri (ne aveva %3)")
                            .arg(QLatin1String(TipFields[f]))
                            .arg(cut)
                            .arg(s.size());
        s.truncate(cut);
        tip.values[f] = s;
    }
    QVariant& bookmark = tip.values[Bookmark];
    if (bookmark.isValid() && (bookmark.toLongLong() < 0 || bookmark.toLongLong() > 255)) {
        tip.problems << QStringLiteral("Bookmark %1 fuori dall'intervallo 0-255: lasciato vuoto")
                            .arg(bookmark.toLongLong());
        bookmark = QVariant();
    }
}

} // namespace

const char* PendingTempFile() {
    return g_pending[0] ? g_pending : nullptr;
}

ArchiveWriter::~ArchiveWriter() {
    Abort();
}

QString ArchiveWriter::sqliteError() const {
    return QStringLiteral("errore nella scrittura del nuovo archivio: %1.")
        .arg(m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString());
}

QString ArchiveWriter::Begin(const QString& destination, const QString& source) {
    m_destination = QFileInfo(destination).absoluteFilePath();
    const QFileInfo folder(QFileInfo(m_destination).absolutePath());
    if (!folder.isDir()) return QStringLiteral("la cartella del nuovo archivio non esiste.");
    if (qn::durable::SameFile(source, m_destination))
        return QStringLiteral("il nuovo archivio non può sostituire il file da convertire.");
    if (QFileInfo(m_destination).isDir())
        return QStringLiteral("il nuovo archivio ha il nome di una cartella.");
    if (inUse(m_destination)) return QStringLiteral("il file %1 è in uso.").arg(m_destination);
    m_temp = tipsdb::ConversionTempPath(m_destination, QCoreApplication::applicationPid());
    QFile::remove(m_temp);
    QFile::remove(m_temp + QStringLiteral("-journal"));
    setPending(m_temp);
    if (!CreateDB::CreateTipsDatabase(m_temp))
        return QStringLiteral("il nuovo archivio non si può creare nella cartella %1.")
            .arg(folder.absoluteFilePath());
    if (sqlite3_open_v2(QFile::encodeName(m_temp).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(m_db, "PRAGMA synchronous=FULL; BEGIN IMMEDIATE", nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(
            m_db,
            "INSERT INTO TipsTable (KeyPrimary, Titolo, Procedura, Categoria, ChiaveRicerca, Note,"
            " Bookmark, Linguaggio) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
            -1, &m_insert, nullptr) != SQLITE_OK)
        return sqliteError();
    return {};
}

QString ArchiveWriter::insert(const OldTip& tip, bool withKey) {
    sqlite3_reset(m_insert);
    for (size_t f = 0; f < TipFields.size(); ++f) {
        const int at = int(f) + 1;
        const QVariant& v = tip.values[f];
        if (!v.isValid() || (f == Key && !withKey)) {
            sqlite3_bind_null(m_insert, at);
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_bind_text(m_insert, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(m_insert, at, v.toLongLong());
        }
    }
    if (sqlite3_step(m_insert) != SQLITE_DONE) return sqliteError();
    ++m_written;
    return {};
}

QString ArchiveWriter::Add(OldTip& tip) {
    fitTexts(tip);
    const QVariant& key = tip.values[Key];
    if (key.isValid() && m_keys.insert(key.toLongLong()).second) return insert(tip, true);
    // Numbered after every kept key, once they are all in.
    tip.problems
        << (key.isValid()
                ? QStringLiteral("KeyPrimary %1 ripetuto: il tip ha un nuovo numero").arg(key.toLongLong())
                : QStringLiteral("KeyPrimary vuoto: il tip ha un nuovo numero"));
    m_withoutKey.append(tip);
    return {};
}

QString ArchiveWriter::Commit() {
    for (const OldTip& tip : std::as_const(m_withoutKey))
        if (QString e = insert(tip, false); !e.isEmpty()) return e;
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return sqliteError();
    if (sqlite3_close(m_db) != SQLITE_OK) return sqliteError();
    m_db = nullptr;
    // On disk before it takes the destination's name, and the name itself on disk after.
    try {
        qn::durable::Replace(m_temp, m_destination);
    } catch (const qn::EngineError&) {
        return QStringLiteral("il nuovo archivio non si può salvare come %1.").arg(m_destination);
    }
    m_temp.clear();
    g_pending[0] = '\0';
    return {};
}

void ArchiveWriter::Abort() {
    if (m_insert) sqlite3_finalize(m_insert);
    if (m_db) sqlite3_close(m_db);
    m_insert = nullptr;
    m_db = nullptr;
    if (!m_temp.isEmpty()) {
        QFile::remove(m_temp);
        QFile::remove(m_temp + QStringLiteral("-journal"));
    }
    m_temp.clear();
    g_pending[0] = '\0';
}

} // namespace qnimport
