#include "maintenance/ArchiveFiles.h"

#include "engine/Database.h"
#include "engine/DurableFile.h"
#include "startup/GenericBas.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <limits>

namespace maintenance {

namespace {

CompactOutcome failed(const qn::EngineError& e) {
    CompactOutcome out;
    out.errorNumber = e.number();
    out.errorDescription = e.description();
    return out;
}

} // namespace

QString CompactionTempPath(const QString& archive) {
    return GenericBas::FolderOf(archive) + QStringLiteral("Temp.mdb");
}

CompactOutcome CompactArchive(const QString& archive) {
    const QString temporary = CompactionTempPath(archive);
    const QFileInfo stale(temporary);
    if (stale.exists() || stale.isSymLink()) {
        CompactOutcome out;
        out.result = CompactOutcome::Result::TempInTheWay;
        return out;
    }
    const qint64 before = QFileInfo(archive).size();
    try {
        // CompactDatabase creates the file itself and refuses one that appears meanwhile.
        qn::DBEngine::CompactDatabase(archive, temporary);
    } catch (const qn::EngineError& e) {
        return failed(e);
    }
    if (!QFileInfo::exists(temporary))
        return failed(qn::EngineError::fromNumber(qn::err::FileNotFound, temporary));
    try {
        qn::durable::Replace(temporary, archive);
    } catch (const qn::EngineError& e) {
        // The copy is ours, made a moment ago; the archive is as it was.
        QFile::remove(temporary);
        return failed(e);
    }
    CompactOutcome out;
    out.result = CompactOutcome::Result::Compacted;
    out.sizeBefore = before;
    out.sizeAfter = QFileInfo(archive).size();
    return out;
}

int CompressionRate(qint64 before, qint64 after) {
    if (before <= 0) return 0;
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const double rate =
        std::nearbyint(100.0 - static_cast<double>(after) / static_cast<double>(before) * 100.0);
    return static_cast<int>(std::max<double>(rate, std::numeric_limits<qint16>::min()));
}

QString GroupedNumber(qint64 value, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(QLocale::DefaultNumberOptions); // "C" leaves groups out by default
    return grouped.toString(static_cast<qlonglong>(value));
}

QString CompactionReport(qint64 before, qint64 after, const QLocale& locale) {
    const QString bytes = QStringLiteral(" (bytes)\n");
    return QStringLiteral("Il DataBase è stato compresso.\n\n") +
           QStringLiteral("Dimensioni originali     \t") + GroupedNumber(before, locale) + bytes +
           QStringLiteral("Dimensioni compresse\t") + GroupedNumber(after, locale) + bytes +
           QStringLiteral("\nSpazio  recuperato      \t") + GroupedNumber(before - after, locale) + bytes +
           QStringLiteral("\nCompressione             \t") +
           GroupedNumber(CompressionRate(before, after), locale) + QStringLiteral("%");
}

} // namespace maintenance
