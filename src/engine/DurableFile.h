#pragma once
// Files that replace others without a window in which a crash leaves half of one, or none:
// the new content is written beside its destination under a temporary name, flushed to disk,
// renamed over the destination in one step, and the folder flushed so the rename lasts.
// Every failure throws qn::EngineError (err::DiskFull, err::DiskIo, err::FileNotFound, ...).
//
// Opening and closing a descriptor of a file drops the POSIX locks this process's SQLite
// connections hold on it: use these only on files no connection has open.

#include <QString>

namespace qn::durable {

// Flushes the file's content and size to disk.
void SyncFile(const QString& path);
// Flushes a folder, so that names created, renamed or removed in it last.
void SyncFolder(const QString& folder);
// Puts `from` in place of `to` (same folder): flushes `from`, renames it over `to` in one step
// and flushes the folder. `to` holds either its old content or the new one at every moment.
void Replace(const QString& from, const QString& to);
// Whether both paths name the same file (also through links); false when either is missing.
bool SameFile(const QString& a, const QString& b);
// Copies `source` to `destination`, replacing a file already there: the copy is written under a
// temporary name in the destination's folder, compared byte by byte with the source, and only
// then put in place with Replace. Refuses (err::FileInUse) a destination that is the source
// itself, and a source another opening holds exclusively. An interrupted copy never leaves a
// partial file under the destination's name.
void Copy(const QString& source, const QString& destination);

} // namespace qn::durable
