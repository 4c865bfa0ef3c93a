// Group "import": converting an old Access archive of 10,000 tips (Jet 4, written by the tests'
// generator) with quillnote-import, beside mdb-export of the same table to CSV, the baseline
// that reads the same file through the same library and writes nothing durable.
#include "BenchReport.h"
#include "JetFile.h"

#include <QDir>
#include <QFile>

namespace {

QList<QVariantList> benchTips(int count) {
    QList<QVariantList> tips;
    const QString words = QStringLiteral("perché così città però “virgolette” € codice ciclo funzione ");
    for (int i = 0; i < count; ++i) {
        QString body;
        while (body.size() < 600 + (i % 7) * 200)
            body += words + QString::number(i) + QStringLiteral("\r\n");
        tips << QVariantList{
            i + 1,
            QStringLiteral("Tip numero %1 su un argomento qualsiasi").arg(i).left(20 + i % 41),
            body,
            QStringLiteral("Categoria %1").arg(i % 200),
            QStringLiteral("chiave %1").arg(i % 1000),
            i % 3 ? QVariant(QStringLiteral("nota")) : QVariant(),
            i % 10 == 0 ? 1 : 0,
            QStringLiteral("VB")};
    }
    return tips;
}

bool run(const QString& program, const QStringList& arguments, const QString& output = {}) {
    QProcess p;
    if (!output.isEmpty()) p.setStandardOutputFile(output);
    p.start(program, arguments);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void runImportCases(const BenchOptions& o) {
    const QString old = QDir(o.workFolder).filePath(QStringLiteral("old10k.mdb"));
    if (!jetgen::Write(old, jetgen::Build({jetgen::TipsTable(benchTips(10000))}))) {
        std::fprintf(stderr, "import: the old archive could not be written\n");
        return;
    }
    const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/quillnote-import");
    const QString converted = QDir(o.workFolder).filePath(QStringLiteral("new10k.mdb"));
    const QString csv = QDir(o.workFolder).filePath(QStringLiteral("old10k.csv"));
    bool ok = true;
    const double ours = timeMs([&] {
        QFile::remove(converted);
        ok = run(helper, {old, converted}) && ok;
    });
    const double baseline = timeMs([&] {
        ok = run(QStringLiteral("mdb-export"), {old, QStringLiteral("TipsTable")}, csv) && ok;
    });
    if (!ok) std::fprintf(stderr, "import: a run failed\n");
    std::printf("old_archive_mb=%.1f\n", double(QFile(old).size()) / (1024 * 1024));
    std::printf("case=import_10k ours_ms=%.1f mdb_export_ms=%.1f ratio=%.2f\n", ours, baseline,
                baseline > 0 ? ours / baseline : 0.0);
    std::fflush(stdout);
}

BenchGroup importGroup("import", runImportCases);

} // namespace
