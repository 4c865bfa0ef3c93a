// Printing cases: a tip of about 2 KB and one of about 100 KB printed to a PDF file as the
// window's PDF output prints it (the page printer measuring on the printer, drawing into the
// spool, the file saved in one step), each beside QPainter alone drawing the same lines at the
// same places into a PDF file of the same pages.
//
//   print_tip_2k    ours: DrawTipPages, then SaveAs (copy beside the target, fsync, rename,
//   print_tip_100k  fsync of the folder); raw: the lines CWordWrap laid out, one drawText each,
//                   by a bare QPainter on a QPrinter in PDF output, the file then flushed to disk
//   *_draw          the drawing alone: ours into the spool, raw into its file, no flushing

#include "BenchReport.h"
#include "printing/CWordWrap.h"
#include "printing/PdfJob.h"
#include "printing/QtPrinterDevice.h"
#include "printing/TipDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Header = QStringLiteral("Come stampare un tip di prova");
const QString Footer = QStringLiteral("Quillnote - Quillnote.mdb");

// A procedure-like text of about `bytes` characters: words of varied length, a line break every
// dozen words or so, now and then an indented line.
QString TipText(int bytes) {
    static const QStringList words = QString("il la di che per una con non sono valore funzione record "
                                             "SELECT FROM WHERE Titolo procedura database indice campo "
                                             "Dim As String If Then End Sub Private QString stampa pagina")
                                         .split(' ');
    QRandomGenerator random(42);
    QString text;
    while (text.size() < bytes) {
        if (random.bounded(8) == 0) text += QLatin1Char('\t');
        for (int n = 5 + random.bounded(12); n > 0; --n)
            text += words.at(random.bounded(words.size())) + (n > 1 ? QStringLiteral(" ") : QString());
        text += QStringLiteral("\r\n");
    }
    return text;
}

struct Line {
    int page;
    double x, y;
    QString text;
};

// Lays the text out as CWordWrap does on the printer's own metrics, drawing nothing: the lines
// (runs of prints that follow each other) and where they start.
class LineCollector : public qn::printing::PrinterDevice {
public:
    explicit LineCollector(qn::printing::QtPrinterDevice& metrics) : m(metrics) {}
    QList<Line> lines;

    void SetScaleMode(int mode) override { m.SetScaleMode(mode); }
    double ScaleWidth() const override { return m.ScaleWidth(); }
    double ScaleHeight() const override { return m.ScaleHeight(); }
    double CurrentX() const override { return x; }
    double CurrentY() const override { return y; }
    void SetCurrentX(double v) override { x = v; }
    void SetCurrentY(double v) override { y = v; }
    double TextWidth(const QString& text) override { return m.TextWidth(text); }
    double TextHeight(const QString& text) override { return m.TextHeight(text); }
    void Print(const QString& text) override {
        const double width = m.TextWidth(text);
        if (!text.isEmpty()) {
            if (!lines.isEmpty() && lines.last().page == page && lines.last().y == y && x == runEnd)
                lines.last().text += text;
            else
                lines.append({page, x, y, text});
            runEnd = x + width;
        }
        x += width;
    }
    void EndLine() override {
        x = 0;
        y += m.TextHeight(QString());
    }
    void NewPage() override {
        ++page;
        x = y = 0;
    }
    void EndDoc() override {}
    void KillDoc() override {}
    int Page() const override { return page; }

private:
    qn::printing::QtPrinterDevice& m;
    double x = 0, y = 0, runEnd = -1;
    int page = 1;
};

QList<Line> LaidOutLines(const QString& folder, const QString& text) {
    qn::printing::PdfJob job(folder, qn::printing::PdfJob::LayoutOf({}), Header);
    qn::printing::QtPrinterDevice metrics(job.Printer());
    metrics.SetFont(qn::printing::TipFont());
    LineCollector collector(metrics);
    CWordWrap wordWrap(collector);
    wordWrap.SetHeaderText(Header);
    wordWrap.SetButtonText(Footer);
    wordWrap.PrintText(text);
    return collector.lines;
}

// QPainter alone: the same lines at the same places, into a PDF file of the same pages.
bool DrawLines(const QList<Line>& lines, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(qn::printing::PdfJob::LayoutOf({}));
    printer.setColorMode(QPrinter::GrayScale);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QFont font = qn::printing::TipFont();
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const double perMm = printer.resolution() / 25.4;
    int page = 1;
    for (const Line& l : lines) {
        if (l.page != page && printer.newPage()) page = l.page;
        painter.drawText(QPointF(l.x * perMm, l.y * perMm + metrics.ascent()), l.text);
    }
    return painter.end();
}

// The file and its folder entry flushed to disk, as a saved document is.
bool SyncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const int dir =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    const bool ok = fd >= 0 && dir >= 0 && ::fsync(fd) == 0 && ::fsync(dir) == 0;
    if (fd >= 0) ::close(fd);
    if (dir >= 0) ::close(dir);
    return ok;
}

void PrintCase(const char* name, const QString& folder, int bytes) {
    const QString text = TipText(bytes);
    const QString ours = QDir(folder).filePath(QStringLiteral("%1.pdf").arg(QLatin1String(name)));
    const QString raw = QDir(folder).filePath(QStringLiteral("%1-painter.pdf").arg(QLatin1String(name)));
    bool ok = true;
    double oursDrawMs = 0, rawDrawMs = 0;
    const double oursMs = timeMs([&] {
        QElapsedTimer t;
        t.start();
        qn::printing::PdfJob job(folder, qn::printing::PdfJob::LayoutOf({}), Header);
        bool opened = false;
        ok = ok && qn::printing::DrawTipPages(job, Header, Footer, text, opened);
        const double drawn = static_cast<double>(t.nsecsElapsed()) / 1e6;
        oursDrawMs = oursDrawMs == 0 ? drawn : std::min(oursDrawMs, drawn);
        ok = ok && job.SaveAs(ours).isEmpty();
    });
    const QList<Line> lines = LaidOutLines(folder, text);
    const double rawMs = timeMs([&] {
        QElapsedTimer t;
        t.start();
        ok = ok && DrawLines(lines, raw);
        const double drawn = static_cast<double>(t.nsecsElapsed()) / 1e6;
        rawDrawMs = rawDrawMs == 0 ? drawn : std::min(rawDrawMs, drawn);
        ok = ok && SyncToDisk(raw);
    });
    if (!ok) {
        std::fprintf(stderr, "%s: printing failed\n", name);
        return;
    }
    // From the command to the document safely on disk; then the drawing alone.
    reportRatio(name, oursMs, rawMs);
    reportRatio(QStringLiteral("%1_draw").arg(QLatin1String(name)).toLatin1().constData(), oursDrawMs,
                rawDrawMs);
    std::printf("%s_pages=%d %s_lines=%lld %s_pdf_kb=%.0f\n", name, lines.isEmpty() ? 0 : lines.last().page,
                name, static_cast<long long>(lines.size()), name, QFileInfo(ours).size() / 1024.0);
    std::fflush(stdout);
}

BenchGroup print("print", [](const BenchOptions& o) {
    PrintCase("print_tip_2k", o.workFolder, 2 * 1024);
    PrintCase("print_tip_100k", o.workFolder, 100 * 1024);
});

} // namespace
