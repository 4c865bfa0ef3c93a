// The page printer on a recording device, its error path, and a real PDF in the tip's font.
#include "ReadBack.h"
#include "TestArchive.h"
#include "printing/CWordWrap.h"
#include "printing/PrinterDevice.h"

#include <QtTest>

namespace {

// Characters 2 mm wide, lines 5 mm high, a page of `width` × 100 mm.
class RecordingDevice : public qn::printing::PrinterDevice {
public:
    double width = 100;
    int scaleMode = 0, failAt = 0; // the print numbered failAt (from 1) throws a printer error
    QStringList lines, ends;       // the prints line by line, "page:y:x:text|x:text…"; EndDoc, KillDoc
    bool hourglass = true;         // the wait cursor was up at every print

    void SetScaleMode(int mode) override { scaleMode = mode; }
    double ScaleWidth() const override { return width; }
    double ScaleHeight() const override { return 100; }
    double CurrentX() const override { return m_x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentX(double x) override { m_x = x; }
    void SetCurrentY(double y) override { m_y = y; }
    double TextWidth(const QString& text) override { return 2.0 * double(text.size()); }
    double TextHeight(const QString&) override { return 5; }
    void Print(const QString& text) override {
        const QCursor* cursor = QApplication::overrideCursor();
        hourglass = hourglass && cursor && cursor->shape() == Qt::WaitCursor;
        if (++m_prints == failAt) throw qn::printing::Error(qn::printing::err::PrinterError);
        if (text.isEmpty()) return;
        const QString at = QStringLiteral("%1:").arg(m_x);
        if (m_page == m_linePage && m_y == m_lineY)
            lines.last() += (m_x == m_lineEnd ? QString() : '|' + at) + text;
        else
            lines << QStringLiteral("%1:%2:").arg(m_page).arg(m_y) + at + text;
        m_linePage = m_page, m_lineY = m_y, m_x = m_lineEnd = m_x + TextWidth(text);
    }
    void EndLine() override { m_x = 0, m_y += 5; }
    void NewPage() override { ++m_page, m_x = m_y = 0; }
    void EndDoc() override { ends << "EndDoc"; }
    void KillDoc() override { ends << "KillDoc"; }
    int Page() const override { return m_page; }

private:
    double m_x = 0, m_y = 0, m_lineY = -1, m_lineEnd = 0;
    int m_page = 1, m_linePage = 0, m_prints = 0;
};

} // namespace

class TestWordWrap : public QObject {
    Q_OBJECT

private slots:
    void layout_data() {
        // With a left margin of 25 the body holds 30 characters from x 25, and 12 lines from y 25 to 80.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("body");
        const QString a(30, 'a'), c(40, 'c'), end = QString(11, '\n');
        QTest::newRow("empty: the page alone") << "" << QStringList();
        QTest::newRow("fits exactly, then wraps")
            << a + " b" << QStringList{"1:25:25:" + a + " ", "1:30:25:b"};
        QTest::newRow("too wide: below an empty line")
            << c + " b" << QStringList{"1:30:25:" + c + " ", "1:35:25:b"};
        QTest::newRow("CR LF, LF LF") << "a\r\nb\n\nc" << QStringList{"1:25:25:a", "1:30:25:b", "1:40:25:c"};
        QTest::newRow("every blank printed")
            << "a   b  \r\n  c" << QStringList{"1:25:25:a   b  ", "1:30:25:  c"};
        QTest::newRow("tab stops every 20 mm from 15") << "\tx\t\ty" << QStringList{"1:25:35:x|75:y"};
        QTest::newRow("last line at the bottom edge") << end + "l12" << QStringList{"1:80:25:l12"};
        QTest::newRow("one line more: page 2") << end + "\nl13" << QStringList{"2:25:25:l13"};
        QTest::newRow("wrapped onto page 2")
            << end + a + ' ' + a << QStringList{"1:80:25:" + a + ' ', "2:25:25:" + a};
    }
    void layout() {
        QFETCH(QString, text);
        QFETCH(QStringList, body);
        RecordingDevice device;
        CWordWrap wordWrap(device);
        wordWrap.SetButtonText("Piede");
        wordWrap.SetMarginLeft(25);
        wordWrap.PrintText(text);
        // Every page: the default header centred, the footer at the margin, its number at the right.
        for (int page = 1; page <= device.Page(); ++page) {
            QVERIFY(device.lines.removeOne(QStringLiteral("%1:10:35:CWordWrap Class").arg(page)));
            QVERIFY(device.lines.removeOne(QStringLiteral("%1:90:25:Piede|69:Pagina %1").arg(page)));
        }
        QCOMPARE(device.lines, body);
        QVERIFY(device.scaleMode == 6 && device.ends == QStringList("EndDoc") && device.hourglass);
    }

    void errorAbandonsTheJob() {
        MessageBoxWatcher boxes;
        boxes.arm(QMessageBox::Ok);
        RecordingDevice device;
        device.failAt = 6; // within the body, after the first page's frame
        CWordWrap(device).PrintText("uno due tre quattro");
        QVERIFY(boxes.waitForCount(1));
        QCOMPARE(boxes.last().text,
                 "Errore nella routine di stampa\nErrore numero: 482\nErrore della stampante.");
        QVERIFY(boxes.last().icon == QMessageBox::Critical && boxes.last().buttons == QMessageBox::Ok);
        QVERIFY(device.ends == QStringList("KillDoc") && device.hourglass && !QApplication::overrideCursor());
    }

    void realPdfDocument() {
        // Far past 32,767 characters, words of varied widths without line breaks of their own.
        QStringList words;
        for (int i = 0; i < 3000; ++i)
            words << QStringLiteral("parola%1").arg(i) + QString(i % 7, QChar(0x00E8 + i % 3));
        QTemporaryDir dir;
        const QString path = dir.filePath("tip.pdf");
        QCOMPARE(TipPdf(path, {}, "Intestazione della prova", "Quillnote - prova.mdb", words.join(' ')),
                 QString());
        const QList<QStringList> pages = PdfPages(path);
        QVERIFY2(pages.size() > 5 && words.join(' ').size() > 40000,
                 qPrintable(QString::number(pages.size())));
        QStringList body;
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(pages[i].first(), QString("Intestazione della prova"));
            QCOMPARE(pages[i].last(), QStringLiteral("Quillnote - prova.mdb Pagina %1").arg(i + 1));
            body << pages[i].mid(1, pages[i].size() - 2).join(' ').split(' ');
        }
        QCOMPARE(body, words); // in order, none split, none lost
        QVERIFY(ToolOutput("pdffonts", {path}).contains(QRegularExpression("LiberationSans|Arial")));

        // In points (printable area 10 pt in): lines from 15 mm, as full as the right margin allows.
        const double mm = 72 / 25.4, left = 10 + 15 * mm, right = 595.276 - 10 - 15 * mm, blank = 2.78;
        double lineEnd = 1e9; // the right edge of the line so far
        for (const QRectF& box : PdfWords(path)) {
            QVERIFY(box.height() > 10 && box.height() < 12.5);                           // 10 point letters
            if (box.top() < 10 + 20 * mm || box.top() > 841.89 - 10 - 20 * mm) continue; // header, footer
            QVERIFY(box.right() <= right + 0.5);
            if (box.left() < lineEnd) // the first word of a line
                QVERIFY(qAbs(box.left() - left) < 1 && lineEnd + blank + box.width() > right - 0.5);
            lineEnd = box.right();
        }
    }
};

QTEST_MAIN(TestWordWrap)
#include "tst_wordwrap.moc"
