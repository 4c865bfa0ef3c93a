// "Stampa" on a real default printer: the test's own cupsd (in a temporary folder, CUPS_SERVER) with a
// cups-pdf queue (root only), pointed at that folder by a settings file in /etc/cups named for this run.
#include "ReadBack.h"
#include "TestArchive.h"

#include <QtTest>
#include <csignal>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>

namespace {

const QString Queue = "QuillnotePDF", Ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// Runs a CUPS client tool: "" when it succeeded, else what it said.
QString Run(const QString& tool, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    return p.waitForFinished(15000) && p.exitCode() == 0 ? QString() : tool + ": " + p.readAll();
}

// "Stampa" of the pop-up menu on a window showing a tip; `answers` answer its boxes.
bool PrintTheTip(ArchiveWindow& w, const Answers& answers) {
    return w.open({{"Stampa tramite la coda", "Questa procedura arriva alla stampante\r\nsu due righe"}}) &&
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
        const QString r = root.path(), instance = QStringLiteral("quillnote-test-%1").arg(::getpid());
        const QByteArray tmp = QFile::encodeName(path("tmp"));
        const group* lp = ::getgrnam("lp");
        QVERIFY(QDir(r).mkdir("out") && QDir(r).mkdir("tmp") && lp &&
                ::chown(tmp.constData(), 0, lp->gr_gid) == 0);
        QVERIFY(::chmod(tmp.constData(), 01770) == 0 && ::chmod(QFile::encodeName(r).constData(), 0755) == 0);
        instanceConf = "/etc/cups/cups-pdf-" + instance + ".conf";
        const QList<std::pair<QString, QString>> files = {
            {path("cupsd.conf"), "Listen %1/cups.sock\nBrowsing No\nErrorPolicy abort-job\n<Policy default>\n"
                                 "<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n"},
            {path("cups-files.conf"),
             "ServerRoot %1\nStateDir %1\nCacheDir %1\nRequestRoot %1\nTempDir %1/tmp\n"
             "ErrorLog %1/log\nAccessLog %1/log\nPageLog %1/log\nSystemGroup root\n"
             "DataDir /usr/share/cups\nServerBin /usr/lib/cups\n"},
            {instanceConf, "Out %1/out\nAnonDirName %1/out\nSpool %1/tmp\nGSTmp %1/tmp\nLog %1\n"}};
        for (const auto& [name, text] : files) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.arg(r).toUtf8()) > 0);
        }
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }); // gone with the test
        server.start("/usr/sbin/cupsd", {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
        qputenv("CUPS_SERVER", QFile::encodeName(path("cups.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QString error; // lpadmin fails until the server listens
        const QStringList queue = {"-p", Queue, "-E", "-v", "cups-pdf:/" + instance, "-P", Ppd};
        QVERIFY2(QTest::qWaitFor([&] { return (error = Run("/usr/sbin/lpadmin", queue)).isEmpty(); }, 15000),
                 qPrintable(error + FileBytes(path("log"))));
        QCOMPARE(Run("/usr/sbin/lpadmin", {"-d", Queue}), QString());
    }
    void cleanupTestCase() { server.kill(), server.waitForFinished(), QFile::remove(instanceConf); }

    void printsOnTheDefaultQueue() {
        ArchiveWindow w;
        QVERIFY(PrintTheTip(w, {}) && !QApplication::overrideCursor());
        const auto done = [&] { return !printed().isEmpty() && ToolOutput("lpstat", {"-o"}).isEmpty(); };
        QVERIFY2(QTest::qWaitFor(done, 60000), FileBytes(path("log")).constData());
        QCOMPARE(printed().size(), 1);
        // Through PostScript the letters lose their codes: the words must stand as in the tip drawn here.
        const QString reference = path("atteso.pdf");
        QCOMPARE(TipPdf(reference, Queue, "Stampa tramite la coda", "Quillnote - Quillnote.mdb",
                        "Questa procedura arriva alla stampante\r\nsu due righe"),
                 QString());
        const QList<QRectF> want = PdfWords(reference), got = PdfWords(path("out/" + printed()[0]));
        QVERIFY(want.size() == 17 && got.size() == want.size()); // header 4, body 5 + 3, footer 3 + 2
        for (qsizetype i = 0; i < want.size(); ++i) // the queue's bitmap letters have other left edges
            QVERIFY2(qAbs(got[i].right() - want[i].right()) < 1.5 &&
                         qAbs(got[i].center().y() - want[i].center().y()) < 1.5,
                     qPrintable(QString::number(i)));
    }

    void refusingQueueOffersPdf() {
        QCOMPARE(Run("/usr/sbin/cupsreject", {Queue}), QString());
        ArchiveWindow w;
        QVERIFY(PrintTheTip(w, {QMessageBox::No}) && !QApplication::overrideCursor());
        const QStringList lines = w.boxes.lastLines();
        QCOMPARE(lines.first(),
                 "La stampante \"" + Queue + "\" non è disponibile: la stampa è stata rifiutata.");
        QCOMPARE(lines.last(), QString("Salvare le pagine del tip in un documento PDF?"));
        QVERIFY(lines.size() == 3 && !lines[1].isEmpty() && w.boxes.last().icon == QMessageBox::Question);
        QCOMPARE(Run("/usr/sbin/cupsaccept", {Queue}), QString());
        QTest::qWait(200);
        QCOMPARE(printed().size(), 1); // the one of the test before
    }
};

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
