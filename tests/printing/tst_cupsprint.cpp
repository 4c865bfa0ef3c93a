// Printing a tip on the default printer for real: a print server of the test's own with a
// cups-pdf queue as the default; "Stampa" must reach the queue, whose PDF is read back. A queue
// that refuses jobs makes the window say so and offer the PDF instead.
#include "PdfText.h"
#include "PopMenu.h"
#include "PrivateCups.h"
#include "TestArchive.h"
#include "printing/PdfJob.h"
#include "printing/TipDocument.h"

#include <QPrinterInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString Title = "Stampa tramite la coda";
const QString Procedure = "Questa procedura arriva alla stampante predefinita\r\nsu due righe";

QStringList pdfFiles(const QString& folder) {
    return QDir(folder).entryList({"*.pdf"}, QDir::Files);
}

// The first page of a PDF in grey at 80 dots per inch (pdftoppm, poppler-utils).
QImage firstPage(const QString& pdf, const QString& folder) {
    const QString prefix = QDir(folder).filePath(QFileInfo(pdf).baseName());
    QProcess pdftoppm;
    pdftoppm.setStandardErrorFile(QProcess::nullDevice()); // the queue's bitmap fonts draw warnings
    pdftoppm.start("pdftoppm", {"-r", "80", "-gray", "-singlefile", "-f", "1", pdf, prefix});
    pdftoppm.waitForFinished(30000);
    return QImage(prefix + ".pgm");
}

// The words of a page as ink sees them: for each line of text (a band of inked rows), the
// column spans of its words (ink separated by at least `gap` blank columns), as
// "top:left-right left-right …" in pixels.
QStringList inkWords(const QImage& page, int gap) {
    auto inked = [&](int x, int y) { return qGray(page.pixel(x, y)) < 160; };
    QStringList lines;
    for (int y = 0; y < page.height();) {
        auto rowInked = [&](int row) {
            for (int x = 0; x < page.width(); ++x)
                if (inked(x, row)) return true;
            return false;
        };
        if (!rowInked(y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < page.height() && rowInked(y))
            ++y;
        QString line = QString::number(top) + ':';
        int blank = gap, start = -1;
        for (int x = 0; x <= page.width(); ++x) {
            bool ink = false;
            for (int r = top; r < y && x < page.width() && !ink; ++r)
                ink = inked(x, r);
            if (ink) {
                if (start < 0 || blank >= gap) {
                    if (start >= 0) line += QStringLiteral("%1-%2 ").arg(start).arg(x - blank - 1);
                    start = x;
                }
                blank = 0;
            } else {
                ++blank;
            }
        }
        if (start >= 0) line += QStringLiteral("%1-%2").arg(start).arg(page.width() - blank);
        lines << line;
    }
    return lines;
}

// Whether two such pages agree: the same lines and words, each edge within `slack` pixels.
bool sameWords(const QStringList& a, const QStringList& b, int slack) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        static const QRegularExpression numbers("\\d+");
        QList<int> na, nb;
        for (auto it = numbers.globalMatch(a[i]); it.hasNext();)
            na << it.next().captured().toInt();
        for (auto it = numbers.globalMatch(b[i]); it.hasNext();)
            nb << it.next().captured().toInt();
        if (na.size() != nb.size()) return false;
        for (qsizetype k = 0; k < na.size(); ++k)
            if (qAbs(na[k] - nb[k]) > slack) return false;
    }
    return true;
}

} // namespace

class TestCupsPrint : public QObject {
    Q_OBJECT
    PrivateCups cups;

private slots:
    void initTestCase() {
        const QString failure = cups.start();
        if (failure.startsWith("the cups-pdf backend runs only as root")) QSKIP(qPrintable(failure));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QString(PrivateCups::Queue));
    }
    void cleanupTestCase() { cups.stop(); }

    void printsOnTheDefaultQueue() {
        ArchiveWindow w;
        QVERIFY(w.open({{Title, Procedure}}));
        QVERIFY(PopMenuCommand(w, 1, {}));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY2(
            QTest::qWaitFor([&] { return !pdfFiles(cups.outFolder()).isEmpty() && !cups.busy(); }, 60000),
            qPrintable(cups.log()));
        const QStringList files = pdfFiles(cups.outFolder());
        QCOMPARE(files.size(), 1);
        const QString printed = QDir(cups.outFolder()).filePath(files.first());

        // The queue rebuilds the document through PostScript, which loses the letters' codes for
        // pdftotext: its page is compared, as a picture, with the tip drawn here into a PDF
        // whose text is checked.
        QTemporaryDir dir;
        const QString reference = dir.filePath("atteso.pdf");
        {
            qn::printing::PdfJob job(dir.path(), qn::printing::PdfJob::LayoutOf(PrivateCups::Queue), Title);
            bool opened = false;
            QVERIFY(qn::printing::DrawTipPages(job, Title, "Quillnote - Quillnote.mdb", Procedure, opened));
            QCOMPARE(job.SaveAs(reference), QString());
        }
        const QList<QStringList> expected = PdfPages(reference);
        QCOMPARE(expected.size(), 1);
        QCOMPARE(expected[0].size(), 4);
        QCOMPARE(expected[0][0].trimmed(), Title);
        QCOMPARE(expected[0][1].simplified(), QString("Questa procedura arriva alla stampante predefinita"));
        QCOMPARE(expected[0][2].simplified(), QString("su due righe"));
        QCOMPARE(expected[0][3].simplified(), QString("Quillnote - Quillnote.mdb Pagina 1"));
        QCOMPARE(PdfPages(printed).value(0).size(), 4);

        const QImage want = firstPage(reference, dir.path()), got = firstPage(printed, dir.path());
        QVERIFY(!want.isNull() && want.size() == got.size());
        const QStringList wanted = inkWords(want, 3), gotten = inkWords(got, 3);
        QCOMPARE(wanted.size(), 4); // header, two lines, footer and page number
        QVERIFY2(sameWords(wanted, gotten, 2), qPrintable(wanted.join('\n') + "\n--\n" + gotten.join('\n')));
    }

    void refusingQueueOffersPdf() {
        QVERIFY(cups.run("/usr/sbin/cupsreject", {PrivateCups::Queue}).isEmpty());
        const QStringList before = pdfFiles(cups.outFolder());
        ArchiveWindow w;
        QVERIFY(w.open({{Title, Procedure}}));
        QVERIFY(PopMenuCommand(w, 1, {QMessageBox::No}));
        const QStringList lines = w.boxes.lastLines();
        QCOMPARE(lines.first(), QString("La stampante \"%1\" non è disponibile: la stampa è stata rifiutata.")
                                    .arg(PrivateCups::Queue));
        QCOMPARE(lines.last(), QString("Salvare le pagine del tip in un documento PDF?"));
        QCOMPARE(w.boxes.last().icon, QMessageBox::Question);
        QVERIFY(lines.size() == 3 && !lines[1].isEmpty()); // the server's reason
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(cups.run("/usr/sbin/cupsaccept", {PrivateCups::Queue}).isEmpty());
        QTest::qWait(200);
        QCOMPARE(pdfFiles(cups.outFolder()), before);
    }
};

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
