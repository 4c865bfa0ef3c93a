// Writes the seed corpus of the fuzz target into the folder given: the sound archives and a few
// damaged ones from the same generator as the damaged-archive test.
#include "DamagedArchives.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: quillnote_fuzz_seeds <cartella>\n");
        return 2;
    }
    QTemporaryDir work;
    const QList<probe::Sample> sound = probe::soundArchives(work.path());
    if (sound.size() < 3) return 1;
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    const QList<probe::Sample> seeds = sound + probe::damagedArchives(sound, 30, 12);
    for (const probe::Sample& s : seeds) {
        QFile f(QDir(QString::fromLocal8Bit(argv[1])).filePath(s.name + QStringLiteral(".mdb")));
        if (!f.open(QIODevice::WriteOnly) || f.write(s.bytes) != s.bytes.size()) return 1;
    }
    std::printf("%lld semi\n", static_cast<long long>(seeds.size()));
    return 0;
}
