// Printing a tip on the default printer for real, on a print server of the test's own: cupsd in
// a temporary folder (configuration, spool and a Unix socket there, reached through CUPS_SERVER)
// with a cups-pdf queue as the default. "Stampa" must reach the queue, whose PDF is read back; a
// queue that refuses jobs makes the window say so and offer the PDF instead.
//
// The cups-pdf backend runs only as root and reads its settings from /etc/cups alone: one file
// cups-pdf-<instance>.conf there, named for this run, points it at the temporary folder.
#include "ReadBack.h"
#include "TestArchive.h"

#include <QPrinterInfo>
#include <QtTest>
#include <csignal>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>

namespace {

const QString Queue = "QuillnotePDF", Ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
const QString Title = "Stampa tramite la coda";
const QString Procedure = "Questa procedura arriva alla stampante predefinita\r\nsu due righe";

// Runs a CUPS client tool; "" when it succeeded, else its output.
QString Run(const QString& tool, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    const bool ok = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return ok ? QString() : tool + ": " + QString::fromLocal8Bit(p.readAll());
}

bool Write(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
}

// "Stampa" of the pop-up menu on a window showing the tip; `answers` answer its boxes.
bool PrintTheTip(ArchiveWindow& w, const Answers& answers) {
    return w.open({{Title, Procedure}}) &&
           w.answering(answers, [&] { w.win->findChild<QAction*>("mnuPop(1)")->trigger(); });
}

} // namespace

class TestCupsPrint : public QObject {
    Q_OBJECT
    QTemporaryDir root;
    QProcess server;
    QString instanceConf;
    QString path(const QString& name) const { return root.filePath(name); }
    QStringList printed() const { return QDir(path("out")).entryList({"*.pdf"}, QDir::Files); }

private slots:
    void initTestCase() {
        if (::geteuid() != 0) QSKIP("the cups-pdf backend runs only as root");
        for (const QString& tool : QStringList{"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf", Ppd})
            QVERIFY2(QFile::exists(tool), qPrintable(tool + " missing: run scripts/install-deps.sh"));
        // The filters run as user lp: they must reach the folder and its temporary folder.
        const QString r = root.path(), tmp = path("tmp");
        QVERIFY(::chmod(QFile::encodeName(r).constData(), 0755) == 0 && QDir(r).mkdir("out") &&
                QDir(r).mkdir("tmp"));
        const group* lp = ::getgrnam("lp");
        QVERIFY(lp && ::chown(QFile::encodeName(tmp).constData(), 0, lp->gr_gid) == 0);
        QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01770) == 0);
        QVERIFY(Write(path("cupsd.conf"),
                      "Listen " + path("cups.sock") +
                          "\nBrowsing No\nErrorPolicy abort-job\n"
                          "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n"));
        QVERIFY(Write(path("cups-files.conf"),
                      QString("ServerRoot %1\nStateDir %1\nCacheDir %1\nRequestRoot %1\n"
                              "TempDir %1/tmp\nErrorLog %1/log\nAccessLog %1/log\nPageLog %1/log\n"
                              "DataDir /usr/share/cups\nServerBin /usr/lib/cups\nSystemGroup root\n")
                          .arg(r)));
        const QString instance = QStringLiteral("quillnote-test-%1").arg(QCoreApplication::applicationPid());
        instanceConf = "/etc/cups/cups-pdf-" + instance + ".conf";
        QVERIFY(
            Write(instanceConf,
                  QString("Out %1/out\nAnonDirName %1/out\nSpool %1/tmp\nGSTmp %1/tmp\nLog %1\n").arg(r)));

        server.setProcessChannelMode(QProcess::MergedChannels);
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }); // gone with the test
        server.start("/usr/sbin/cupsd", {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
        qputenv("CUPS_SERVER", QFile::encodeName(path("cups.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QString error; // lpadmin fails until the server listens
        const QStringList queue = {"-p", Queue, "-E", "-v", "cups-pdf:/" + instance, "-P", Ppd};
        QVERIFY2(QTest::qWaitFor([&] { return (error = Run("/usr/sbin/lpadmin", queue)).isEmpty(); }, 15000),
                 qPrintable(error + server.readAll()));
        QCOMPARE(Run("/usr/sbin/lpadmin", {"-d", Queue}), QString());
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), Queue);
    }
    void cleanupTestCase() {
        server.terminate();
        server.waitForFinished(5000);
        if (!instanceConf.isEmpty()) QFile::remove(instanceConf);
    }

    void printsOnTheDefaultQueue() {
        ArchiveWindow w;
        QVERIFY(PrintTheTip(w, {}));
        QVERIFY(!QApplication::overrideCursor());
        const auto done = [&] { return !printed().isEmpty() && ToolOutput("lpstat", {"-o"}).isEmpty(); };
        QVERIFY2(QTest::qWaitFor(done, 60000), qPrintable(QString::fromLocal8Bit(FileBytes(path("log")))));
        QCOMPARE(printed().size(), 1);

        // The queue rebuilds the document through PostScript, which loses the letters' codes for
        // pdftotext: its words must stand where they stand in the tip drawn here, whose text is checked.
        QTemporaryDir dir;
        const QString reference = dir.filePath("atteso.pdf");
        QCOMPARE(TipPdf(reference, Queue, Title, "Quillnote - Quillnote.mdb", Procedure), QString());
        QCOMPARE(PdfPages(reference),
                 QList<QStringList>({{Title, "Questa procedura arriva alla stampante predefinita",
                                      "su due righe", "Quillnote - Quillnote.mdb Pagina 1"}}));
        const QList<QRectF> want = PdfWords(reference),
                            got = PdfWords(QDir(path("out")).filePath(printed()[0]));
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i) // the queue's bitmap letters have other left edges
            QVERIFY2(qAbs(got[i].right() - want[i].right()) < 1.5 &&
                         qAbs(got[i].center().y() - want[i].center().y()) < 1.5,
                     qPrintable(QString::number(i)));
    }

    void refusingQueueOffersPdf() {
        QCOMPARE(Run("/usr/sbin/cupsreject", {Queue}), QString());
        const QStringList before = printed();
        ArchiveWindow w;
        QVERIFY(PrintTheTip(w, {QMessageBox::No}));
        const QStringList lines = w.boxes.lastLines();
        QCOMPARE(lines.first(),
                 "La stampante \"" + Queue + "\" non è disponibile: la stampa è stata rifiutata.");
        QCOMPARE(lines.last(), QString("Salvare le pagine del tip in un documento PDF?"));
        QCOMPARE(w.boxes.last().icon, QMessageBox::Question);
        QVERIFY(lines.size() == 3 && !lines[1].isEmpty()); // the server's reason
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(Run("/usr/sbin/cupsaccept", {Queue}), QString());
        QTest::qWait(200);
        QCOMPARE(printed(), before);
    }
};

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
