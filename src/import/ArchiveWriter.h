#pragma once
// Writes the new archive of a conversion: made by CreateTipsDatabase under a temporary name beside
// the destination, filled in one transaction, flushed to disk and renamed into place only when
// complete. Until Commit succeeds the destination is untouched; a writer that is destroyed
// uncommitted removes its temporary file.

#include "import/JetReader.h"

#include <QString>
#include <set>

struct sqlite3;
struct sqlite3_stmt;

namespace qnimport {

class ArchiveWriter {
public:
    ArchiveWriter() = default;
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Each returns "" when it succeeded, otherwise why not (in Italian).
    QString Begin(const QString& destination, const QString& source);
    // Stores one tip as exactly as the new table allows; what had to change is added to its
    // problems (a text longer than its field, a Bookmark out of range, a missing or repeated key,
    // which then gets a new one after the highest).
    QString Add(OldTip& tip);
    QString Commit();
    void Abort();

    QString TempPath() const { return m_temp; }
    long Written() const { return m_written; }

private:
    QString insert(const OldTip& tip, bool withKey);
    QString sqliteError() const;
    QString m_destination, m_temp;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    std::set<qlonglong> m_keys;
    QList<OldTip> m_withoutKey;
    long m_written = 0;
};

// The path the temporary file of the writer in progress, for removal when the process ends
// abnormally; empty when none is open.
const char* PendingTempFile();

} // namespace qnimport
