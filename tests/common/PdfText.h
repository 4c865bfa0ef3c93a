#pragma once
// The text of a PDF file page by page, as pdftotext (poppler-utils) lays it out: each page's
// non-empty lines. Empty when the file cannot be read.

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStringList>

inline QList<QStringList> PdfPages(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                  QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0) return {};
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\f'));
    QList<QStringList> out;
    for (const QString& page : pages) {
        QStringList lines = page.split(QLatin1Char('\n'));
        lines.removeIf([](const QString& l) { return l.trimmed().isEmpty(); });
        if (!lines.isEmpty()) out << lines;
    }
    return out;
}

// Where pdftotext finds each word: its box in points from the paper's top-left corner, pages one
// after the other in the list (a new page starts where a box lies above the one before it).
inline QList<QRectF> PdfWordBoxes(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000)) return {};
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\""));
    QList<QRectF> boxes;
    for (auto it = word.globalMatch(QString::fromUtf8(pdftotext.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        boxes << QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                        QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    return boxes;
}
