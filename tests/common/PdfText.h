#pragma once
// The text of a PDF file page by page, as pdftotext (poppler-utils) lays it out: each page's
// non-empty lines. Empty when the file cannot be read.

#include <QProcess>
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
