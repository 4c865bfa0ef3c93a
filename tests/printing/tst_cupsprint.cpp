// Printing a tip on the default printer for real: a print server of the test's own with a
// cups-pdf queue as the default; "Stampa" must reach the queue, whose PDF is read back. A queue
// that refuses jobs makes the window say so and offer the PDF instead.
#include "PdfText.h"
#include "PrivateCups.h"
#include "TestArchive.h"
#include "printing/PdfJob.h"
#include "printing/TipDocument.h"

#include <QPrinterInfo>
#include <QtTest>

namespace {

const QString Title = "Stampa tramite la coda";
const QString Procedure = "Questa procedura arriva alla stampante predefinita\r\nsu due righe";

// "Stampa" of the pop-up menu on a window showing the tip; `answers` answer its boxes.
bool PrintTheTip(ArchiveWindow& w, const Answers& answers) {
    return w.open({{Title, Procedure}}) &&
           w.answering(answers, [&] { w.win->findChild<QAction*>("mnuPop(1)")->trigger(); });
}

} // namespace

class TestCupsPrint : public QObject {
    Q_OBJECT
    PrivateCups cups;
    QStringList printed() const { return QDir(cups.outFolder()).entryList({"*.pdf"}, QDir::Files); }

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
        QVERIFY(PrintTheTip(w, {}));
        QVERIFY(!QApplication::overrideCursor());
        const auto done = [&] {
            return !printed().isEmpty() && ToolOutput("lpstat", {"-o"}).trimmed().isEmpty();
        };
        QVERIFY2(QTest::qWaitFor(done, 60000), qPrintable(cups.log()));
        QCOMPARE(printed().size(), 1);

        // The queue rebuilds the document through PostScript, which loses the letters' codes for
        // pdftotext: its words must stand where they stand in the tip drawn here, whose text is checked.
        QTemporaryDir dir;
        const QString reference = dir.filePath("atteso.pdf");
        {
            qn::printing::PdfJob job(dir.path(), qn::printing::PdfJob::LayoutOf(PrivateCups::Queue), Title);
            bool opened = false;
            QVERIFY(qn::printing::DrawTipPages(job, Title, "Quillnote - Quillnote.mdb", Procedure, opened));
            QCOMPARE(job.SaveAs(reference), QString());
        }
        QCOMPARE(PdfPages(reference),
                 QList<QStringList>({{Title, "Questa procedura arriva alla stampante predefinita",
                                      "su due righe", "Quillnote - Quillnote.mdb Pagina 1"}}));
        const QList<PdfWord> want = PdfWords(reference);
        const QList<PdfWord> got = PdfWords(QDir(cups.outFolder()).filePath(printed().first()));
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i) // the queue's bitmap letters have other left edges
            QVERIFY2(qAbs(got[i].box.right() - want[i].box.right()) < 1.5 &&
                         qAbs(got[i].box.center().y() - want[i].box.center().y()) < 1.5,
                     qPrintable(want[i].text));
    }

    void refusingQueueOffersPdf() {
        QCOMPARE(PrivateCups::run("/usr/sbin/cupsreject", {PrivateCups::Queue}), QString());
        const QStringList before = printed();
        ArchiveWindow w;
        QVERIFY(PrintTheTip(w, {QMessageBox::No}));
        const QStringList lines = w.boxes.lastLines();
        QCOMPARE(lines.first(), QString("La stampante \"%1\" non è disponibile: la stampa è stata rifiutata.")
                                    .arg(PrivateCups::Queue));
        QCOMPARE(lines.last(), QString("Salvare le pagine del tip in un documento PDF?"));
        QCOMPARE(w.boxes.last().icon, QMessageBox::Question);
        QVERIFY(lines.size() == 3 && !lines[1].isEmpty()); // the server's reason
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(PrivateCups::run("/usr/sbin/cupsaccept", {PrivateCups::Queue}), QString());
        QTest::qWait(200);
        QCOMPARE(printed(), before);
    }
};

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
