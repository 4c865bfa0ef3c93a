// Old Access archives opened in the main window, converted, declined, refused or damaged; the limits
// the window's runner sets to helpers that misbehave.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "JetFile.h"
#include "TestArchive.h"
#include "mainwindow/ConversionRun.h"

#include <QtTest>

using namespace jetgen;

namespace {

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Opens `oldPath` through cmdOpenNewDB, `save` and `progress` meet those dialogs; how many dialogs
// came, -1 when not every box `answers` answers came.
int openOld(ArchiveWindow& w, const QString& oldPath, const Answers& answers,
            const std::function<void(QFileDialog*)>& save, const DialogDriver::Action& progress = {}) {
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) { DialogDriver::typeAndConfirm(d, oldPath); });
    driver.onFileDialog(save);
    if (progress) driver.onNext("QProgressDialog", progress);
    return w.click("cmdOpenNewDB", answers) ? driver.done() : -1;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    // Refused, damaged, declined (No, or no name) files leave a message in time, the old file as it
    // was, no archive, the window as after a refused opening; then the whole way: question, proposed
    // name, conversion with its progress dialog, report, the new archive open in title order.
    void openingOldFiles() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Esistente"}}));
        const QString oldPath = w.dir.filePath("vecchio.mdb");
        const QString is = "Il file\n" + oldPath + "\nè un archivio ";
        const QString question = Box(is + "nel vecchio formato di %1.\nSi desidera convertirlo in un nuovo "
                                          "archivio?\nIl file originale non verrà modificato.",
                                     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        const QString failed = Box("Conversione non riuscita.\n%1\nIl file originale non è stato modificato.",
                                   QMessageBox::Critical);
        // Answers of Yes and another confirm the save dialog; "*" in the last message stands for any text.
        const auto refused = [&](const QByteArray& file, const Answers& answers, int dialogs,
                                 const QString& said) {
            QVERIFY(Write(oldPath, file));
            QElapsedTimer clock;
            clock.start();
            const auto save = [&](QFileDialog* d) {
                answers.size() > 1 ? QTest::keyClick(d, Qt::Key_Return) : d->reject();
            };
            QCOMPARE(openOld(w, oldPath, answers, save), dialogs);
            QVERIFY(clock.elapsed() < 15000);
            const QStringList frame = said.split('*');
            QVERIFY2(w.said().last().startsWith(frame.first()) && w.said().last().endsWith(frame.last()),
                     qPrintable(w.said().last()));
            QVERIFY(w.win->windowTitle() == "Quillnote - DB corrente: nessuno!" && w.win->isEnabled() &&
                    !w.widget("cmdSposta(0)")->isEnabled());
            QCOMPARE(EngineFixture::fileBytes(oldPath), file);
            QCOMPARE(filesIn(w.dir.path()), QStringList({"Quillnote.mdb", "vecchio.mdb"}));
        };
        Layout layout;
        const QByteArray jet3 = Build({TipsTable({})}, Format::Jet3),
                         jet4 = Build({TipsTable({})}, Format::Jet4, &layout);
        refused(QByteArray(jet4).replace(4, 15, "Standard ACE DB"), {QMessageBox::Ok}, 1,
                Box(is + "di Access 2007 o di una versione successiva.\nQuesto formato non si può aprire né "
                         "convertire: salvarlo da Access nel formato di Access 2000 e aprire quel file.",
                    QMessageBox::Critical));
        refused(
            jet3.left(jet3.size() - 10), {QMessageBox::Ok}, 1,
            Box(is + "di Access 97 danneggiato e non si può convertire:\nil file è troncato o danneggiato: " +
                    QString::number(jet3.size() - 10) +
                    " byte non sono un numero intero di pagine di 2048 byte.",
                QMessageBox::Critical));
        refused(Build({{"Ricette", TipsTable({}).columns}}), {QMessageBox::Yes, QMessageBox::Ok}, 2,
                failed.arg("L'archivio non contiene la tabella TipsTable."));
        // libmdb loops on it, allocating, until the helper's memory or time limit stops it.
        QByteArray hang = jet4;
        hang[layout.firstPropertyEntry] = hang[layout.firstPropertyEntry + 1] = '\0';
        refused(hang, {QMessageBox::Yes, QMessageBox::Ok}, 2, failed.arg("*"));
        refused(jet3, {QMessageBox::No}, 1, question.arg("Access 97"));
        refused(jet3, {QMessageBox::Yes}, 2, question.arg("Access 97"));

        QList<QVariantList> tips;
        QStringList titles;
        for (int i = 0; i < 900; ++i) { // over 1 MiB (the progress dialog shows at once), keys against titles
            titles << QString("Tip %1").arg(i, 3, 10, QChar('0'));
            tips << QVariantList{1000 - i, titles.last(), QString(1200, 'x'), "Varie", {}, {}, 0, {}};
        }
        QVERIFY(Write(oldPath, Build({TipsTable(tips)})));
        const QByteArray before = EngineFixture::fileBytes(oldPath);
        const int boxes = w.boxes.count();
        QStringList dialog;
        bool waiting = false; // the progress dialog shown at once, the hourglass on, the window disabled
        const auto save = [&](QFileDialog* d) {
            dialog << d->findChild<QLineEdit*>("fileNameEdit")->text() << d->directory().absolutePath()
                   << d->windowTitle() << d->nameFilters();
            QTest::keyClick(d, Qt::Key_Return);
        };
        QCOMPARE(openOld(w, oldPath, {QMessageBox::Yes, QMessageBox::Ok}, save,
                         [&](QWidget* progress) {
                             const QCursor* cursor = QApplication::overrideCursor();
                             waiting = static_cast<QProgressDialog*>(progress)->minimumDuration() == 0 &&
                                       cursor && cursor->shape() == Qt::WaitCursor && !w.win->isEnabled();
                         }),
                 3);
        QCOMPARE(w.said().mid(boxes),
                 QStringList({question.arg("Access 2000"),
                              Box("Conversione completata.\nArchivio: " + oldPath +
                                      " (Access 2000)\nTips letti: 900\nTips convertiti: 900\nEsito: tutti i "
                                      "tips sono stati convertiti.",
                                  QMessageBox::Information)}));
        QCOMPARE(w.boxes.seen().value(boxes).defaultButton, QMessageBox::Yes);
        QCOMPARE(dialog,
                 QStringList({"vecchio-convertito.mdb", w.dir.path(), "Digita il nome del DB convertito",
                              "Microsoft Access (*mdb) (*.mdb)"}));
        QVERIFY(waiting && w.win->isEnabled());
        QCOMPARE(w.win->windowTitle(), "Quillnote - DB corrente: vecchio-convertito.mdb");
        QCOMPARE(w.items("cboTitoli"), titles);
        QCOMPARE(w.tip(), "Tip 000 1  di  900");
        QCOMPARE(EngineFixture::fileBytes(oldPath), before);
        QCOMPARE(filesIn(w.dir.path()),
                 QStringList({"Quillnote.mdb", "vecchio-convertito.mdb", "vecchio.mdb"}));
    }

    // Helpers that hang, crash, flood their output, report progress or are missing; one cancelled.
    void runnerLimits() {
        QWidget window;
        using Run = qn::ui::HelperOutcome;
        const auto run = [&](const QString& script, int limitMs = 5000, int progressDelayMs = -1) {
            const QString program = script.isEmpty() ? "/nonexistent/helper" : "/bin/sh";
            const Run out =
                qn::ui::RunHelper(&window, {program, {"-c", script}, limitMs, progressDelayMs, 1000});
            // However it ended, the window takes input again and the hourglass is gone.
            if (!window.isEnabled() || QApplication::overrideCursor()) qFatal("window left waiting");
            return out;
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run("sleep 30", 300).kind, Run::TimedOut);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(run("kill -SEGV $$").kind, Run::Crashed);
        const Run out = run("echo progresso 5 10; echo rumore; echo progresso 10 10; head -c 3000000 "
                            "/dev/zero | tr '\\0' x >&2; exit 2");
        QCOMPARE(QList<long>(
                     {out.kind, out.exitCode, out.done, out.total, long(out.report.size()), out.reportCut}),
                 QList<long>({Run::Finished, 2, 10, 10, 1000, 1}));
        QCOMPARE(run({}).kind, Run::FailedToStart);
        DialogDriver driver; // Annulla in the progress dialog stops the helper
        driver.onNext("QProgressDialog",
                      [](QWidget* p) { QTest::mouseClick(p->findChild<QPushButton*>(), Qt::LeftButton); });
        QCOMPARE(run("sleep 30", 20000, 0).kind, Run::Cancelled);
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
