#pragma once
// What the program wrote, read back (PDF files with poppler-utils), and a tip drawn as it draws one.

#include "printing/PdfJob.h"
#include "printing/TipDocument.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The standard output of a tool; empty when it fails.
inline QString ToolOutput(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    return p.waitForFinished(30000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                                                         : QString();
}

// The tip's pages on the paper of `queue` (A4 when none) saved at `path`: "" or why not.
inline QString TipPdf(const QString& path, const QString& queue, const QString& header, const QString& footer,
                      const QString& text) {
    qn::printing::PdfJob job(QFileInfo(path).path(), qn::printing::PdfJob::LayoutOf(queue), header);
    bool opened = false;
    return qn::printing::DrawTipPages(job, header, footer, text, opened) ? job.SaveAs(path) : "not drawn";
}

// Each page's non-empty lines as pdftotext -layout sets them, runs of blanks made one.
inline QList<QStringList> PdfPages(const QString& path) {
    QList<QStringList> pages;
    for (const QString& page : ToolOutput("pdftotext", {"-layout", "-enc", "UTF-8", path, "-"}).split('\f')) {
        QStringList lines;
        for (const QString& line : page.split('\n'))
            if (!line.trimmed().isEmpty()) lines << line.simplified();
        if (!lines.isEmpty()) pages << lines;
    }
    return pages;
}

// The box of each word in points from the paper's top-left corner, page after page.
inline QList<QRectF> PdfWords(const QString& path) {
    static const QRegularExpression word(R"re(<word xMin="(.*)" yMin="(.*)" xMax="(.*)" yMax="(.*)">)re");
    QList<QRectF> boxes;
    for (auto it = word.globalMatch(ToolOutput("pdftotext", {"-bbox", path, "-"})); it.hasNext();) {
        const auto m = it.next();
        const auto at = [&](int i) { return m.captured(i).toDouble(); };
        boxes << QRectF(QPointF(at(1), at(2)), QPointF(at(3), at(4)));
    }
    return boxes;
}
