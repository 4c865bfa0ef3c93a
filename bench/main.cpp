// quillnote_bench: runs every registered group of cases (or those named with --only) and
// prints one line per measurement.

#include "BenchReport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchOptions options;
    QTemporaryDir work;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tips") && i + 1 < args.size())
            options.tips = args[++i].toInt();
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            options.only = args[++i].split(QLatin1Char(','));
        else if (args[i] == QLatin1String("--keep"))
            work.setAutoRemove(false); // leaves the generated archives for a closer look
        else {
            std::fprintf(stderr, "uso: quillnote_bench [--tips N] [--only gruppo[,gruppo]] [--keep]\n");
            return 2;
        }
    }
    if (options.tips < 10) {
        std::fprintf(stderr, "--tips: almeno 10\n");
        return 2;
    }
    if (!work.isValid()) return 1;
    options.workFolder = work.path();
    std::printf("tips=%d\n", options.tips);
    if (!work.autoRemove()) std::printf("folder=%s\n", qPrintable(work.path()));
    for (const BenchGroupEntry& g : benchGroups())
        if (options.only.isEmpty() || options.only.contains(g.name)) g.run(options);
    return 0;
}
