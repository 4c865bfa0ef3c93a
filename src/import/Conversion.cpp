#include "import/Conversion.h"

#include "import/ArchiveWriter.h"
#include "import/JetReader.h"

#include <QFileInfo>

namespace qnimport {
namespace {

// Enough lines to see what went wrong; the rest are only counted.
constexpr int MaxTipLines = 200;

ConversionResult refused(const QString& reason) {
    return {tipsdb::Refused, {QStringLiteral("Conversione non riuscita: ") + reason}};
}

QString describe(const OldTip& tip) {
    const QString title = tip.values[Title].toString();
    const QString who = title.isEmpty() ? QStringLiteral("Tip senza titolo leggibile")
                                        : QStringLiteral("Tip \"%1\"").arg(title);
    return QStringLiteral("%1 (%2): %3").arg(who, tip.where, tip.problems.join(QStringLiteral("; ")));
}

} // namespace

ConversionResult Convert(const QString& oldPath, const QString& newPath,
                         const std::function<void(long, long)>& progress) {
    const tipsdb::OldFormat format = tipsdb::DetectOldFormat(oldPath);
    if (!QFileInfo(oldPath).isFile()) return refused(QStringLiteral("il file %1 non esiste.").arg(oldPath));
    if (format == tipsdb::OldFormat::Ace)
        return refused(
            QStringLiteral("il file è nel formato di Access 2007 o successivo, che non si converte."));
    if (format != tipsdb::OldFormat::Jet3 && format != tipsdb::OldFormat::Jet4)
        return refused(QStringLiteral("il file non è un archivio di Access 97 o Access 2000."));
    // libmdb trusts what it reads: it is given only files whose shape is sound.
    if (const QString damage = tipsdb::CheckOldArchive(oldPath, format); !damage.isEmpty())
        return refused(damage);

    JetReader reader;
    if (QString e = reader.Open(oldPath); !e.isEmpty()) return refused(e);
    if (QString e = reader.FindTipsTable(); !e.isEmpty()) return refused(e);
    ArchiveWriter writer;
    if (QString e = writer.Begin(newPath, oldPath); !e.isEmpty()) return refused(e);

    QStringList tipLines;
    int moreLines = 0;
    QString failure;
    long handled = 0;
    const long total = reader.Counts().declared;
    reader.ReadRows([&](OldTip& tip) {
        if (!failure.isEmpty()) return;
        if (tip.readable) failure = writer.Add(tip);
        if (!tip.problems.isEmpty()) {
            if (tipLines.size() < MaxTipLines)
                tipLines << describe(tip);
            else
                ++moreLines;
        }
        if (progress) progress(++handled, total);
    });
    if (!failure.isEmpty()) return refused(failure);

    const ReadCounts& counts = reader.Counts();
    if (counts.found > 0 && counts.found == counts.unreadable)
        return refused(QStringLiteral("nessuna delle %1 righe della tabella TipsTable si può leggere.")
                           .arg(counts.found));
    if (counts.found == 0 && counts.declared > 0)
        return refused(QStringLiteral("la tabella TipsTable dichiara %1 tips, ma non se ne trova nessuno.")
                           .arg(counts.declared));
    if (QString e = writer.Commit(); !e.isEmpty()) return refused(e);

    ConversionResult result;
    const QString codePage =
        reader.CodePage() ? QStringLiteral(", code page %1").arg(reader.CodePage()) : QString();
    result.report << QStringLiteral("Archivio: %1 (%2%3)").arg(oldPath, reader.FormatName(), codePage)
                  << QStringLiteral("Tips letti: %1").arg(counts.found)
                  << QStringLiteral("Tips convertiti: %1").arg(writer.Written()) << tipLines;
    if (moreLines > 0) result.report << QStringLiteral("... e altri %1 tips con problemi.").arg(moreLines);
    if (counts.declared != counts.found)
        result.report << QStringLiteral("La tabella dichiara %1 tips, ne sono stati trovati %2.")
                             .arg(counts.declared)
                             .arg(counts.found);
    const bool exact = tipLines.isEmpty() && counts.declared == counts.found;
    result.status = exact ? tipsdb::Converted : tipsdb::Incomplete;
    result.report << (exact ? QStringLiteral("Esito: tutti i tips sono stati convertiti.")
                            : QStringLiteral(
                                  "Esito: il nuovo archivio è stato creato, ma non tutti i tips sono "
                                  "stati convertiti esattamente."));
    return result;
}

} // namespace qnimport
