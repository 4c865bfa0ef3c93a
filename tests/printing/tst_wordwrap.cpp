// The word-wrapping page printer: its layout on a recording device (2 mm characters, 5 mm
// lines, a 100 × 100 mm page: the body holds 35 characters from x 15 and 12 lines from y 25
// to 80), its error path, and a real PDF document read back with pdftotext.
#include "MessageBoxWatcher.h"
#include "PdfText.h"
#include "RecordingDevice.h"
#include "TestArchive.h"
#include "printing/CWordWrap.h"
#include "printing/PdfJob.h"
#include "printing/QtPrinterDevice.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {

const QString Header = QStringLiteral("Titolo"); // 12 mm: centred at x 44
const QString Footer = QStringLiteral("Piede");

// Prints `text` with the test's header and footer (unless `header` is false) and left margin.
QStringList printed(RecordingDevice& device, const QString& text, bool header = true, float marginLeft = 15) {
    CWordWrap wordWrap(device);
    if (header) wordWrap.SetHeaderText(Header);
    wordWrap.SetButtonText(Footer);
    wordWrap.SetMarginLeft(marginLeft);
    wordWrap.PrintText(text);
    return device.lines();
}

// The body lines only: neither header (y 10) nor footer (y 90).
QStringList body(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines) {
        const double y = l.section(':', 1, 1).toDouble();
        if (y >= 25 && y <= 80) out << l;
    }
    return out;
}

QStringList pageFrame(int page) {
    return {QStringLiteral("%1:10:44:Titolo").arg(page), QStringLiteral("%1:90:15:Piede").arg(page),
            QStringLiteral("%1:90:69:Pagina %1").arg(page)};
}

QStringList numberedLines(int n) {
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("l%1").arg(i);
    return lines;
}

} // namespace

class TestWordWrap : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndEmptyText() {
        RecordingDevice device;
        CWordWrap wordWrap(device);
        QCOMPARE(device.calls, QStringList{"SetScaleMode 6"});
        QCOMPARE(wordWrap.HeaderText(), QString("CWordWrap Class"));
        QCOMPARE(QList<float>({wordWrap.MarginLeft(), wordWrap.MarginTop(), wordWrap.MarginRight(),
                               wordWrap.MarginBottom()}),
                 QList<float>({15, 25, 15, 20}));
        wordWrap.PrintText(QString());
        // The default header, centred on the page: 15 characters, 30 mm.
        QCOMPARE(device.lines(), QStringList({"1:10:35:CWordWrap Class", "1:90:69:Pagina 1"}));
        QCOMPARE(device.calls, QStringList({"SetScaleMode 6", "EndDoc"}));

        RecordingDevice titled;
        QCOMPARE(printed(titled, QString()), pageFrame(1));
        QVERIFY(titled.hourglassThroughout);
        QVERIFY(!QApplication::overrideCursor());
    }

    void layout_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("marginLeft");
        QTest::addColumn<QStringList>("lines");
        const QString a35(35, 'a'), c40(40, 'c');
        QTest::newRow("exact fit stays") << a35 << 15.f << QStringList{"1:25:15:" + a35};
        QTest::newRow("one more wraps")
            << a35 + " b" << 15.f << QStringList{"1:25:15:" + a35 + " ", "1:30:15:b"};
        QTest::newRow("wide word on its own line")
            << "ab " + c40 << 15.f << QStringList{"1:25:15:ab ", "1:30:15:" + c40};
        QTest::newRow("wide word first: empty line above") << c40 << 15.f << QStringList{"1:30:15:" + c40};
        QTest::newRow("CR LF one break") << "a\r\nb" << 15.f << QStringList{"1:25:15:a", "1:30:15:b"};
        QTest::newRow("LF LF empty line") << "a\n\nb" << 15.f << QStringList{"1:25:15:a", "1:35:15:b"};
        QTest::newRow("several blanks all printed") << "a   b  \n" << 15.f << QStringList{"1:25:15:a   b  "};
        QTest::newRow("leading separators") << "\r\n  a" << 15.f << QStringList{"1:30:15:  a"};
        QTest::newRow("tab stops every 20 mm from 15")
            << "\tx\ty" << 15.f << QStringList{"1:25:35:x", "1:25:55:y"};
        QTest::newRow("second tab, next stop") << "\t\tx\ty" << 15.f << QStringList{"1:25:55:x", "1:25:75:y"};
        QTest::newRow("tab stops from 15, not the margin") << "\tx" << 25.f << QStringList{"1:25:35:x"};
        QTest::newRow("margin moves the body") << "ab\ncd" << 25.f << QStringList{"1:25:25:ab", "1:30:25:cd"};
    }
    void layout() {
        QFETCH(QString, text);
        QFETCH(float, marginLeft);
        QFETCH(QStringList, lines);
        RecordingDevice device;
        const QStringList all = printed(device, text, true, marginLeft);
        QCOMPARE(body(all), lines);
        QCOMPARE(device.calls.filter("NewPage"), QStringList());
        QCOMPARE(device.calls.last(), QString("EndDoc"));
    }

    void pageBreaks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lastLine");
        // Line 12 starts at y 80, exactly the bottom margin's edge: still on page 1.
        QTest::newRow("12 lines fill the page") << numberedLines(12).join('\n') << "1:80:15:l12";
        QTest::newRow("line 13 by a line feed") << numberedLines(13).join('\n') << "2:25:15:l13";
        const QString word(35, 'w');
        QTest::newRow("line 13 by wrapping") << QStringList(13, word).join(' ') << "2:25:15:" + word;
    }
    void pageBreaks() {
        QFETCH(QString, text);
        QFETCH(QString, lastLine);
        RecordingDevice device;
        const QStringList all = printed(device, text);
        const int pages = lastLine.startsWith("2:") ? 2 : 1;
        QCOMPARE(body(all).size(), 13 - (2 - pages));
        QCOMPARE(body(all).last(), lastLine);
        QCOMPARE(device.calls.count("NewPage"), pages - 1);
        // Each page carries its own header, footer and number, drawn before its body.
        for (int page = 1; page <= pages; ++page) {
            const QStringList frame = pageFrame(page);
            const qsizetype at = all.indexOf(frame.first());
            QVERIFY2(at >= 0 && all.mid(at, 3) == frame, qPrintable(all.join('|')));
        }
    }

    void longTextPrintsEveryWord() {
        // Far past 32,767 characters, ending in blanks that run 140 m past the margin and a tab.
        QStringList words;
        for (int i = 0; i < 6000; ++i)
            words << QStringLiteral("w%1").arg(i, 5, 10, QChar('0'));
        const QString text = words.join(' ') + QString(70000, ' ') + "\tz";
        QVERIFY(text.size() > 40000);
        RecordingDevice device;
        device.width = 1e6; // one line, so the tab's stop can be seen
        CWordWrap wordWrap(device);
        wordWrap.PrintText(text);
        QStringList seen;
        for (const auto& p : device.printed)
            if (p.y >= 25 && p.y <= 80 && !p.text.trimmed().isEmpty()) seen << p.text;
        QCOMPARE(seen.mid(0, words.size()), words);
        QCOMPARE(seen.last(), QString("z"));
        const auto& z = device.printed.last();
        const double beforeTab = device.printed.at(device.printed.size() - 2).x + 2;
        QVERIFY(z.x > beforeTab && z.x <= beforeTab + 20);
        QCOMPARE(std::fmod((z.x - 15) / 2, 10.0), 0.0);
        QCOMPARE(device.calls.last(), QString("EndDoc"));
    }

    void errorAbandonsTheJob() {
        MessageBoxWatcher boxes;
        boxes.arm(QMessageBox::Ok);
        RecordingDevice device;
        device.failAt = 8; // within the body, after the first page's frame
        printed(device, "uno due tre quattro");
        QVERIFY(boxes.waitForCount(1));
        QCOMPARE(Box(boxes.last().text, boxes.last().icon, boxes.last().buttons, boxes.last().title),
                 Box("Errore nella routine di stampa\nErrore numero: 482\nErrore della stampante.",
                     QMessageBox::Critical));
        QCOMPARE(device.calls.filter("Doc"), QStringList{"KillDoc"});
        QVERIFY(device.hourglassThroughout);
        QVERIFY(!QApplication::overrideCursor());
    }

    void realPdfDocument() {
        // Words of varied widths, about three pages; no line breaks of its own.
        QStringList words;
        for (int i = 0; i < 1500; ++i)
            words << QStringLiteral("parola%1").arg(i) + QString(i % 7, QChar(0x00E8 + i % 3));
        QTemporaryDir dir;
        const QString path = dir.filePath("tip.pdf");
        {
            qn::printing::PdfJob job(dir.path(), qn::printing::PdfJob::LayoutOf({}), "Intestazione");
            qn::printing::QtPrinterDevice device(job.Printer());
            QFont font({"Arial", "Liberation Sans"}, 10);
            device.SetFont(font);
            CWordWrap wordWrap(device);
            wordWrap.SetHeaderText("Intestazione della prova");
            wordWrap.SetButtonText("Quillnote - prova.mdb");
            wordWrap.PrintText(words.join(' '));
            QVERIFY(device.Completed());
            QCOMPARE(job.SaveAs(path), QString());
        }
        const QList<QStringList> pages = PdfPages(path);
        QVERIFY2(pages.size() >= 3, "pdftotext (poppler-utils) reads the document");
        QStringList bodyWords;
        for (int i = 0; i < pages.size(); ++i) {
            const QStringList& lines = pages[i];
            QVERIFY(lines.size() >= 3);
            QCOMPARE(lines.first().trimmed(), QString("Intestazione della prova"));
            static const QRegularExpression footer("^\\s*Quillnote - prova\\.mdb\\s+Pagina (\\d+)\\s*$");
            const auto match = footer.match(lines.last());
            QVERIFY2(match.hasMatch(), qPrintable(lines.last()));
            QCOMPARE(match.captured(1).toInt(), i + 1);
            for (const QString& line : lines.mid(1, lines.size() - 2))
                bodyWords << line.split(' ', Qt::SkipEmptyParts);
        }
        QCOMPARE(bodyWords, words); // in order, none split, none lost

        // Where the words stand (points from the paper's corner; printable area 10 pt in): the
        // body from 15 mm, no word across the right margin, every line as full as it can be.
        const double mm = 72 / 25.4, left = 10 + 15 * mm, right = 595.276 - 10 - 15 * mm;
        const double top = 10 + 25 * mm, bottom = 841.89 - 10 - 20 * mm, blank = 2.78;
        QList<QList<double>> lines; // per line: x0 of its first word, x1 of its last, width of first
        double minLeft = 1e9;
        for (const QRectF& box : PdfWordBoxes(path)) {
            if (box.top() < top - 5 || box.top() > bottom) continue; // header, footer
            QVERIFY2(box.right() <= right + 0.5, qPrintable(QString::number(box.right())));
            minLeft = std::min(minLeft, box.left());
            if (lines.isEmpty() || box.left() < lines.last()[1])
                lines.append({box.left(), box.right(), box.width()});
            else
                lines.last()[1] = box.right();
        }
        QVERIFY(qAbs(minLeft - left) < 1);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY2(lines[i][1] + blank + lines[i + 1][2] > right - 0.5, qPrintable(QString::number(i)));
    }
};

QTEST_MAIN(TestWordWrap)
#include "tst_wordwrap.moc"
