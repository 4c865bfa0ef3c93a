#pragma once
// Shared pieces of the benchmark program: options, a registry of case groups, timing and the
// one-line report format. A file of cases registers its group with a static BenchGroup:
//
//     static BenchGroup gui("gui", [](const BenchOptions& o) { ... reportRatio(...); });

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <vector>

struct BenchOptions {
    int tips = 100000;  // --tips N
    QString workFolder; // a temporary folder the cases may fill
    QStringList only;   // --only group[,group]: run just these groups
};

struct BenchGroupEntry {
    QString name;
    std::function<void(const BenchOptions&)> run;
};

inline std::vector<BenchGroupEntry>& benchGroups() {
    static std::vector<BenchGroupEntry> groups;
    return groups;
}

struct BenchGroup {
    BenchGroup(const char* name, std::function<void(const BenchOptions&)> run) {
        benchGroups().push_back({QString::fromLatin1(name), std::move(run)});
    }
};

// Milliseconds taken by f(); the best of `repeats` runs, so that a one-off stall of the
// shared machine does not decide a ratio.
template <typename F> double timeMs(F&& f, int repeats = 3) {
    double best = 0;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (i == 0 || ms < best) best = ms;
    }
    return best;
}

// Fills a new archive at `path` with `tips` generated tips (bench/engine_cases.cpp).
bool generateBenchArchive(const QString& path, int tips);

inline void reportRatio(const char* name, double oursMs, double rawMs) {
    std::printf("case=%s ours_ms=%.1f raw_ms=%.1f ratio=%.2f\n", name, oursMs, rawMs,
                rawMs > 0 ? oursMs / rawMs : 0.0);
    std::fflush(stdout);
}

inline void reportValue(const char* key, double value) {
    std::printf("%s=%.1f\n", key, value);
    std::fflush(stdout);
}
