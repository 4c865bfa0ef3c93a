#pragma once
// One conversion of an old Access archive into a new archive of ours, as quillnote-import runs
// it: the checks of the old file, the reading, the writing and the report.

#include "tipsdb/OldArchive.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace qnimport {

struct ConversionResult {
    tipsdb::ConversionStatus status = tipsdb::Refused;
    QStringList report; // lines in Italian, the counts first
};

// `progress` is told the rows handled so far and the rows the table declares.
ConversionResult Convert(const QString& oldPath, const QString& newPath,
                         const std::function<void(long done, long total)>& progress = {});

} // namespace qnimport
