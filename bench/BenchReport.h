#pragma once
// Shared pieces of the benchmark program: options, a registry of case groups, timing and the
// one-line report format. A file of cases registers its group with a static BenchGroup:
//
//     static BenchGroup gui("gui", [](const BenchOptions& o) { ... reportRatio(...); });

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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

namespace qn {
class Database;
}

// Fills a new archive at `path` with `tips` generated tips (bench/engine_cases.cpp): titles of
// 20-60 characters, procedures of about 2 KB, 200 categories, 1,000 search keys; the word
// "zanzibar" stands in 1% of the procedures and in another 1% of the titles.
bool generateBenchArchive(const QString& path, int tips);
// The engine alone on a view: open it, make the count exact, read every title.
long readViewTitles(qn::Database& db, const QString& sql);

inline void reportRatio(const char* name, double oursMs, double rawMs) {
    std::printf("case=%s ours_ms=%.1f raw_ms=%.1f ratio=%.2f\n", name, oursMs, rawMs,
                rawMs > 0 ? oursMs / rawMs : 0.0);
    std::fflush(stdout);
}

inline void reportValue(const char* key, double value) {
    std::printf("%s=%.1f\n", key, value);
    std::fflush(stdout);
}

// A size from /proc/self/status ("VmRSS:", "VmHWM:") in megabytes, or -1.
inline double statusMb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Memory is measured in a fresh run of this program, so that what earlier cases left in the
// heap neither inflates nor hides the figure: the child gets `variable`=`archive`, runs only
// `group`, and the lines it prints that start with one of `keys` are passed on.
inline void reportFromFreshChild(const char* variable, const QString& archive, const char* group,
                                 const QStringList& keys) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(variable), archive);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--tips"), QStringLiteral("10"), QStringLiteral("--only"), QString::fromLatin1(group)});
    if (!child.waitForFinished(300000)) {
        std::fprintf(stderr, "%s: the child run did not finish\n", group);
        return;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
        for (const QString& key : keys)
            if (line.startsWith(key.toLatin1())) std::printf("%s\n", line.constData());
    std::fflush(stdout);
}
