#pragma once
// The program's opening path on one file, without windows: what the main window does with an
// archive, from the opening to a save, run by the fuzz target and by the damaged-archive test.
//
// Opening exclusively (read-only when the file is), the compatibility checks, the delete
// journal mode, the default view read record by record with every field, a word search, an
// equality filter, a list of distinct values, a change and a new tip. Every engine error is
// caught where the window would catch it, and recorded.

#include <QList>
#include <QString>

namespace probe {

struct Outcome {
    bool opened = false;   // the engine opened the file
    bool accepted = false; // it passed the compatibility checks
    bool damaged = false;  // the engine met damage on the way
    long records = 0;      // records of the default view
    long unreadable = 0;   // of those, records a field of which could not be read
    QList<long> errors;    // every engine error number met, in order
};

Outcome probeArchive(const QString& path);

// True when `number` is one of the engine's numbers with its own Italian description, not the
// catch-all for failures the engine could not classify.
bool isExplained(long number);

} // namespace probe
