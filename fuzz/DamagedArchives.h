#pragma once
// Sound tips archives, and damaged files made from them by a seeded generator: the same seed
// gives the same files, so a failure found once is found again.

#include <QByteArray>
#include <QList>
#include <QString>

namespace probe {

struct Sample {
    QString name; // what was done to it, e.g. "medio-pagina-azzerata-17"
    QByteArray bytes;
};

// Archives made through the engine in `folder`: a small one, a larger one whose long
// procedures fill overflow pages, and one left in WAL mode by another program.
QList<Sample> soundArchives(const QString& folder);

// `count` files made from `sound`: flipped bits, truncations, pages zeroed, filled with noise,
// swapped or copied over others, page headers and pointers changed, the file header of another
// program, header fields changed, and files that are no database at all.
QList<Sample> damagedArchives(const QList<Sample>& sound, int count, unsigned seed);

} // namespace probe
