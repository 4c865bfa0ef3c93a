#pragma once
// The file work of the maintenance commands, without windows: compacting the archive in place
// through "Temp.mdb" and the numbers of the compaction report.

#include <QLocale>
#include <QString>

namespace maintenance {

// FolderOf(archive) + "Temp.mdb": the compacted copy is written there before it replaces the archive.
QString CompactionTempPath(const QString& archive);

struct CompactOutcome {
    enum class Result { Compacted, TempInTheWay, Failed };
    Result result = Result::Failed;
    qint64 sizeBefore = 0, sizeAfter = 0;
    long errorNumber = 0; // of a failure
    QString errorDescription;
};

// Compacts the archive (closed, not in use) into Temp.mdb and puts the copy in its place: the
// copy is complete and flushed before it is renamed over the archive in one step, and the
// folder is flushed after. At every moment the archive's path holds the old archive or the
// compacted one. A Temp.mdb already there is never used, replaced or removed: it may be the
// user's own file, so the compaction does not run.
CompactOutcome CompactArchive(const QString& archive);

// The rate of compression in percent: 100 - after / before x 100, rounded to the nearest whole
// number, ties to the even one; 0 for an empty file.
int CompressionRate(qint64 before, qint64 after);
// A number with its digits grouped by thousands with the locale's separator ("###,###,##0").
QString GroupedNumber(qint64 value, const QLocale& locale);
// The report shown after a compaction, with the numbers in `locale`.
QString CompactionReport(qint64 before, qint64 after, const QLocale& locale);

} // namespace maintenance
