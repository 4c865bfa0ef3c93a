#pragma once
// Archives of the old Access formats: recognising them by their first page, the checks a file
// must pass before the library that reads them is given it, and what the window and the
// conversion helper (quillnote-import) agree on.

#include <QString>

namespace tipsdb {

enum class OldFormat {
    None,       // not an Access file: opened as an archive of ours
    Jet3,       // Access 97
    Jet4,       // Access 2000 to 2003
    Ace,        // Access 2007 and later: not converted
    UnknownJet, // a Jet header with a version this program does not know
};

// The format named by the file's first bytes.
OldFormat DetectOldFormat(const QString& path);

// Why a Jet 3 or Jet 4 file cannot be read (its length, its page size, its first pages), in
// Italian; "" when it may be handed to the reader.
QString CheckOldArchive(const QString& path, OldFormat format);

// The size of a page of the format.
int PageSize(OldFormat format);

// The name the helper fills the new archive under, beside it, until it renames it into place.
QString ConversionTempPath(const QString& destination, qint64 helperPid);

// How long a conversion of a file of `bytes` may take, in seconds.
int ConversionTimeLimit(qint64 bytes);

// Exit status of quillnote-import.
enum ConversionStatus {
    Converted = 0,  // every tip converted
    Refused = 2,    // nothing written, the report says why
    Incomplete = 3, // the new archive was written, but not every tip in it is exact: see the report
};

} // namespace tipsdb
