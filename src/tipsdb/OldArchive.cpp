#include "tipsdb/OldArchive.h"

#include <QFile>
#include <QFileInfo>

namespace tipsdb {
namespace {

const QByteArray JetMagic("\x00\x01\x00\x00Standard Jet DB\x00", 20);
const QByteArray AceMagic("\x00\x01\x00\x00Standard ACE DB\x00", 20);
constexpr int VersionAt = 0x14;
constexpr qint64 MiB = 1024 * 1024;

QByteArray readAt(QFile& f, qint64 offset, qint64 length) {
    return f.seek(offset) ? f.read(length) : QByteArray();
}

} // namespace

OldFormat DetectOldFormat(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return OldFormat::None;
    const QByteArray head = f.read(VersionAt + 1);
    if (head.size() < VersionAt + 1) return OldFormat::None;
    if (head.startsWith(AceMagic)) return OldFormat::Ace;
    if (!head.startsWith(JetMagic)) return OldFormat::None;
    switch (head[VersionAt]) {
    case 0:
        return OldFormat::Jet3;
    case 1:
        return OldFormat::Jet4;
    default:
        return OldFormat::UnknownJet;
    }
}

int PageSize(OldFormat format) {
    return format == OldFormat::Jet3 ? 2048 : 4096;
}

QString CheckOldArchive(const QString& path, OldFormat format) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("il file non si può leggere.");
    const qint64 size = f.size();
    const int page = PageSize(format);
    // Page 0 describes the database, page 1 maps the pages in use, page 2 defines the catalog.
    if (size < 3 * page)
        return QStringLiteral(
                   "il file è troncato: %1 byte, meno delle tre pagine di %2 byte che ogni archivio ha.")
            .arg(size)
            .arg(page);
    if (size % page != 0)
        return QStringLiteral(
                   "il file è troncato o danneggiato: %1 byte non sono un numero intero di pagine di %2 "
                   "byte.")
            .arg(size)
            .arg(page);
    // The version is a 32-bit number; only its first byte is ever set.
    if (readAt(f, VersionAt + 1, 3) != QByteArray(3, '\0'))
        return QStringLiteral("l'intestazione del file è danneggiata.");
    if (readAt(f, 2 * page, 1) != QByteArray(1, '\x02'))
        return QStringLiteral("la pagina del catalogo delle tabelle è danneggiata.");
    return {};
}

QString ConversionTempPath(const QString& destination, qint64 helperPid) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.%1.import-%2").arg(info.fileName()).arg(helperPid);
}

int ConversionTimeLimit(qint64 bytes) {
    // A second per MiB is several times what reading and writing take on a slow disk; the fixed
    // part covers starting the helper on a busy machine.
    return 10 + int(qMin<qint64>(bytes / MiB, 24 * 3600));
}

} // namespace tipsdb
