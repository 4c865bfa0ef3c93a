// An old Access archive opened in the main window: the question, the save dialog, the conversion with
// its progress and report, the new archive shown; declining, refusals and damaged files that leave
// the window running without an archive; the runner's limits on helpers that misbehave.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "JetFile.h"
#include "TestArchive.h"
#include "mainwindow/ConversionRun.h"
#include "startup/GenericBas.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QtTest>

using namespace jetgen;

namespace {

const QVariant Null;
const QList<QVariantList> Tips = {{2, "Zeta finale", "z", Null, Null, Null, 1, Null},
                                  {5, "Perché così", "Usa “questo” €\r\nfine", "Varie", "", Null, 0, "VB"},
                                  {9, "Alfa", "", Null, Null, Null, 255, Null}};

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Clicks cmdOpenNewDB, picks `oldPath` and gives the save dialog, if one comes, to `save`. Returns
// how many file dialogs came, -1 when not every box `answers` answers came.
int openOld(ArchiveWindow& w, const QString& oldPath, const Answers& answers,
            const std::function<void(QFileDialog*)>& save) {
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) { DialogDriver::typeAndConfirm(d, oldPath); });
    driver.onFileDialog(save);
    return w.click("cmdOpenNewDB", answers) ? driver.done() : -1;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    // The whole way: question, proposed name, conversion with its progress dialog, report, and the
    // new archive open with every tip in title order. The old file is not touched.
    void convertsOnOpening() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Esistente"}}));
        const QString oldPath = w.dir.filePath("vecchio.mdb");
        QList<QVariantList> tips = Tips;
        for (int i = 0; i < 900; ++i) // over 1 MiB: the progress dialog shows at once
            tips << QVariantList{100 + i,
                                 QString("Tip %1").arg(i, 4, 10, QChar('0')),
                                 QString(1200, QChar('a' + i % 26)),
                                 "Varie",
                                 Null,
                                 Null,
                                 0,
                                 Null};
        QVERIFY(Write(oldPath, Build({TipsTable(tips)})));
        const QByteArray before = EngineFixture::fileBytes(oldPath);
        QStringList dialog;
        bool progressShown = false, hourglass = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* t : QApplication::topLevelWidgets())
                progressShown = progressShown || (t->objectName() == "ConversionProgress" && t->isVisible());
            const QCursor* cursor = QApplication::overrideCursor();
            hourglass = hourglass || (cursor && cursor->shape() == Qt::WaitCursor && !w.win->isEnabled());
        });
        poll.start(5);
        QCOMPARE(openOld(w, oldPath, {QMessageBox::Yes, QMessageBox::Ok},
                         [&](QFileDialog* d) {
                             auto* name = d->findChild<QLineEdit*>("fileNameEdit");
                             dialog << name->text() << d->directory().absolutePath() << d->windowTitle()
                                    << d->nameFilters();
                             QTest::keyClick(name, Qt::Key_Return);
                         }),
                 2);
        poll.stop();
        QCOMPARE(w.said(), QStringList({Box("Il file\n" + oldPath +
                                                "\nè un archivio nel vecchio formato di Access 2000.\nSi "
                                                "desidera convertirlo in un nuovo archivio?\nIl file "
                                                "originale non verrà modificato.",
                                            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No),
                                        Box("Conversione completata.\nArchivio: " + oldPath +
                                                " (Access 2000)\nTips letti: 903\nTips convertiti: "
                                                "903\nEsito: tutti i tips sono stati convertiti.",
                                            QMessageBox::Information)}));
        QCOMPARE(w.boxes.seen().value(0).defaultButton, QMessageBox::Yes);
        QCOMPARE(dialog,
                 QStringList({"vecchio-convertito.mdb", w.dir.path(), "Digita il nome del DB convertito",
                              "Microsoft Access (*mdb) (*.mdb)"}));
        QVERIFY(progressShown && hourglass);
        QCOMPARE(w.win->windowTitle(), "Quillnote - DB corrente: vecchio-convertito.mdb");
        QCOMPARE(GenericBas::DatabasePath, w.dir.filePath("vecchio-convertito.mdb"));
        QStringList titles;
        for (const QVariantList& t : tips)
            titles << t[1].toString();
        titles.sort();
        QCOMPARE(w.items("cboTitoli"), titles);
        QCOMPARE(w.tip(), "Alfa 1  di  903");
        QVERIFY(w.win->isEnabled());
        QCOMPARE(EngineFixture::fileBytes(oldPath), before);
        QCOMPARE(filesIn(w.dir.path()),
                 QStringList({"Quillnote.mdb", "vecchio-convertito.mdb", "vecchio.mdb"}));
    }

    // Declined, refused or damaged: a message, no archive, and the window as after a refused
    // opening, in time.
    void leftWithoutArchive_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("answer"); // to the question; 0: none is asked
        QTest::addColumn<bool>("save");  // the save dialog is confirmed
        QTest::addColumn<QString>("said");
        const QByteArray jet3 = Build({TipsTable(Tips)}, {Format::Jet3});
        Layout layout;
        const QByteArray jet4 = Build({TipsTable(Tips)}, {}, &layout);
        QByteArray hang = jet4;
        hang[layout.firstPropertyEntry] = hang[layout.firstPropertyEntry + 1] = '\0';
        Table other = TipsTable(Tips);
        other.name = "Ricette";
        const QString question =
            Box("Il file\n%1\nè un archivio nel vecchio formato di Access 97.\nSi desidera "
                "convertirlo in un nuovo archivio?\nIl file originale non verrà modificato.",
                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        const auto failed = [](const QString& why) {
            return Box("Conversione non riuscita.\n" + why + "\nIl file originale non è stato modificato.",
                       QMessageBox::Critical);
        };
        QTest::newRow("No to the question") << jet3 << int(QMessageBox::No) << false << question;
        QTest::newRow("save dialog cancelled") << jet3 << int(QMessageBox::Yes) << false << question;
        QTest::newRow("Access 2007") << QByteArray(jet4).replace(4, 15, "Standard ACE DB") << 0 << false
                                     << Box("Il file\n%1\nè un archivio di Access 2007 o di una versione "
                                            "successiva.\nQuesto formato non "
                                            "si può aprire né convertire: salvarlo da Access nel formato di "
                                            "Access 2000 e aprire quel file.",
                                            QMessageBox::Critical);
        QTest::newRow("truncated")
            << jet4.left(jet4.size() - 10) << 0 << false
            << Box("Il file\n%1\nè un archivio di Access 2000 danneggiato e non si può "
                   "convertire:\nil file è troncato o danneggiato: " +
                       QString::number(jet4.size() - 10) +
                       " byte non sono un numero intero di pagine di 4096 byte.",
                   QMessageBox::Critical);
        QTest::newRow("no TipsTable") << Build({other}) << int(QMessageBox::Yes) << true
                                      << failed("L'archivio non contiene la tabella TipsTable.");
        // libmdb loops there, allocating, until the helper's memory or time limit stops it: "*" stands
        // for the reason, whichever it is.
        QTest::newRow("zero-length property record") << hang << int(QMessageBox::Yes) << true << failed("*");
    }
    void leftWithoutArchive() {
        QFETCH(QByteArray, file);
        QFETCH(int, answer);
        QFETCH(bool, save);
        QFETCH(QString, said);
        ArchiveWindow w;
        QVERIFY(w.open({{"Esistente"}}));
        const QString oldPath = w.dir.filePath("vecchio.mdb");
        QVERIFY(Write(oldPath, file));
        Answers answers;
        if (answer) answers << QMessageBox::StandardButton(answer);
        if (!answer || save) answers << QMessageBox::Ok;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(openOld(w, oldPath, answers,
                         [&](QFileDialog* d) {
                             save ? QTest::keyClick(d->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return)
                                  : d->reject();
                         }),
                 answer == QMessageBox::Yes ? 2 : 1);
        QVERIFY(clock.elapsed() < 15000);
        const QStringList frame = said.replace("%1", oldPath).split('*');
        const QString last = w.said().last();
        QVERIFY2(frame.size() == 1 ? last == said : last.startsWith(frame[0]) && last.endsWith(frame[1]),
                 qPrintable(last));
        QVERIFY(w.win->isVisible() && w.win->isEnabled());
        QCOMPARE(w.win->windowTitle(), "Quillnote - DB corrente: nessuno!");
        QVERIFY(!w.widget("cmdSposta(0)")->isEnabled() && w.widget("cmdOpenNewDB")->isEnabled());
        QCOMPARE(filesIn(w.dir.path()), QStringList({"Quillnote.mdb", "vecchio.mdb"}));
    }

    // Helpers that hang, crash, flood their output, report progress or are missing; one cancelled.
    void runnerLimits() {
        QTemporaryDir dir;
        QWidget window;
        using Run = qn::ui::HelperOutcome;
        const auto run = [&](const QString& body, int limitMs = 5000, int progressDelayMs = -1) {
            QFile f(dir.filePath(body.isEmpty() ? "missing" : "helper.sh"));
            if (!body.isEmpty() && f.open(QIODevice::WriteOnly)) {
                f.write("#!/bin/sh\n" + body.toUtf8() + "\n");
                f.close();
                f.setPermissions(f.permissions() | QFile::ExeOwner);
            }
            const Run out = qn::ui::RunHelper(&window, {f.fileName(), {}, limitMs, progressDelayMs, 1000});
            // However it ended, the window takes input again and the hourglass is gone.
            if (!window.isEnabled() || QApplication::overrideCursor()) qFatal("window left waiting");
            return out;
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run("sleep 30", 300).kind, Run::TimedOut);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(run("kill -SEGV $$").kind, Run::Crashed);
        Run out = run("head -c 3000000 /dev/zero | tr '\\0' x >&2; exit 2");
        QCOMPARE(QList<int>({out.kind, out.exitCode, int(out.report.size()), out.reportCut}),
                 QList<int>({Run::Finished, 2, 1000, 1}));
        out = run("echo progresso 5 10; echo rumore; echo progresso 10 10; echo x >&2");
        QCOMPARE(QList<long>({out.done, out.total, long(out.report.size()), out.reportCut}),
                 QList<long>({10, 10, 2, 0}));
        QCOMPARE(run({}).kind, Run::FailedToStart);
        QTimer::singleShot(300, [] { // Annulla in the progress dialog stops the helper
            for (QWidget* t : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<QProgressDialog*>(t); p && p->isVisible())
                    QTest::mouseClick(p->findChild<QPushButton*>(), Qt::LeftButton);
        });
        QCOMPARE(run("sleep 30", 20000, 0).kind, Run::Cancelled);
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
