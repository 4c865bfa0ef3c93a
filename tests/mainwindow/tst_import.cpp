// Opening an old Access archive in the main window: the question, the save dialog, the conversion
// with its progress and report, the new archive shown; declining, refusals and damaged files that
// leave the window running without an archive; the runner's limits on helpers that misbehave.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "JetFile.h"
#include "TestArchive.h"
#include "mainwindow/ConversionRun.h"
#include "startup/GenericBas.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QProgressDialog>
#include <QtTest>

using namespace jetgen;

namespace {

const QVariant Null;
const QString Refused = "Quillnote - DB corrente: nessuno!";

// Sample titles and enough filler tips to make a file of more than 1 MiB.
QList<QVariantList> manyTips() {
    QList<QVariantList> tips = {{2, "Zeta finale", "z", Null, Null, Null, 1, Null},
                                {5, "Perché così", "Usa “questo” €\r\nfine", "Varie", "", Null, 0, "VB"},
                                {9, "Alfa", "", Null, Null, Null, 255, Null}};
    for (int i = 0; i < 900; ++i)
        tips << QVariantList{100 + i,
                             QString("Tip %1").arg(i, 4, 10, QChar('0')),
                             QString(1200, QChar('a' + i % 26)),
                             "Varie",
                             Null,
                             Null,
                             0,
                             Null};
    return tips;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Clicks cmdOpenNewDB, picks `oldPath`, and gives the save dialog (if it comes) to `save`.
bool openOld(ArchiveWindow& w, const QString& oldPath, const Answers& answers,
             std::function<void(QFileDialog*)> save = {}) {
    DialogDriver driver;
    driver.onFileDialog([&](QFileDialog* d) { DialogDriver::typeAndConfirm(d, oldPath); });
    if (save) driver.onFileDialog(save);
    return w.click("cmdOpenNewDB", answers);
}

QString writeScript(const QTemporaryDir& dir, const QString& name, const QString& body) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner);
    return path;
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
        const QList<QVariantList> tips = manyTips();
        QVERIFY(Write(oldPath, {TipsTable(tips)}));
        QVERIFY(QFileInfo(oldPath).size() > 1024 * 1024);
        const QByteArray before = EngineFixture::fileBytes(oldPath);

        QString proposed, folder, title;
        QStringList filters;
        bool progressShown = false, hourglass = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* t : QApplication::topLevelWidgets())
                if (t->objectName() == "ConversionProgress" && t->isVisible()) progressShown = true;
            const QCursor* cursor = QApplication::overrideCursor();
            hourglass = hourglass || (cursor && cursor->shape() == Qt::WaitCursor && !w.win->isEnabled());
        });
        poll.start(5);
        QVERIFY(openOld(w, oldPath, {QMessageBox::Yes, QMessageBox::Ok}, [&](QFileDialog* d) {
            proposed = d->findChild<QLineEdit*>("fileNameEdit")->text();
            folder = d->directory().absolutePath();
            title = d->windowTitle();
            filters = d->nameFilters();
            QTest::keyClick(d->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
        }));
        poll.stop();
        const QString newPath = w.dir.filePath("vecchio-convertito.mdb");
        QCOMPARE(w.said().value(0), Box("Il file\n" + oldPath +
                                            "\nè un archivio nel vecchio formato di Access 2000.\nSi "
                                            "desidera convertirlo in un nuovo "
                                            "archivio?\nIl file originale non verrà modificato.",
                                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(w.boxes.seen().value(0).defaultButton, QMessageBox::Yes);
        QCOMPARE(QStringList({proposed, folder, title}),
                 QStringList({"vecchio-convertito.mdb", w.dir.path(), "Digita il nome del DB convertito"}));
        QCOMPARE(filters, QStringList{"Microsoft Access (*mdb) (*.mdb)"});
        QVERIFY(progressShown && hourglass);
        QCOMPARE(
            w.said().value(1),
            Box("Conversione completata.\nArchivio: " + oldPath +
                    " (Access 2000)\nTips letti: 903\nTips convertiti: 903\nEsito: tutti i tips sono stati "
                    "convertiti.",
                QMessageBox::Information));
        QCOMPARE(w.win->windowTitle(), "Quillnote - DB corrente: vecchio-convertito.mdb");
        QCOMPARE(GenericBas::DatabasePath, newPath);
        QStringList titles;
        for (const QVariantList& t : tips)
            titles << t[1].toString();
        std::sort(titles.begin(), titles.end());
        QCOMPARE(w.items("cboTitoli"), titles);
        QCOMPARE(w.tip(), "Alfa 1  di  903");
        QVERIFY(w.win->isEnabled());
        QCOMPARE(EngineFixture::fileBytes(oldPath), before);
        QCOMPARE(filesIn(w.dir.path()),
                 QStringList({"Quillnote.mdb", "vecchio-convertito.mdb", "vecchio.mdb"}));
    }

    // No to the question, or no name for the new archive: as after a refused opening.
    void declined_data() {
        QTest::addColumn<bool>("answerYes");
        QTest::newRow("No to the question") << false;
        QTest::newRow("save dialog cancelled") << true;
    }
    void declined() {
        QFETCH(bool, answerYes);
        ArchiveWindow w;
        QVERIFY(w.open({{"Esistente"}}));
        const QString oldPath = w.dir.filePath("vecchio.mdb");
        Options jet3;
        jet3.format = Format::Jet3;
        QVERIFY(Write(oldPath, {TipsTable(manyTips().mid(0, 3))}, jet3));
        bool dialogShown = false;
        QVERIFY(openOld(w, oldPath, {answerYes ? QMessageBox::Yes : QMessageBox::No}, [&](QFileDialog* d) {
            dialogShown = true;
            d->reject();
        }));
        QCOMPARE(w.boxes.count(), 1);
        QVERIFY(w.said().value(0).contains("vecchio formato di Access 97"));
        QCOMPARE(dialogShown, answerYes);
        QCOMPARE(w.win->windowTitle(), Refused);
        QVERIFY(!w.widget("cmdSposta(0)")->isEnabled() && w.widget("cmdOpenNewDB")->isEnabled());
        QCOMPARE(filesIn(w.dir.path()), QStringList({"Quillnote.mdb", "vecchio.mdb"}));
    }

    // Files that give a message and no archive; the window goes on without one.
    void refused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("asked"); // the question and the save dialog come first
        QTest::addColumn<QString>("message");
        const QByteArray good = Build({TipsTable(manyTips().mid(0, 3))});
        QByteArray ace = good;
        ace.replace(4, 15, "Standard ACE DB");
        QTest::newRow("Access 2007")
            << ace << false
            << "Il file\n%1\nè un archivio di Access 2007 o di una versione successiva.\nQuesto formato non "
               "si può "
               "aprire né convertire: salvarlo da Access nel formato di Access 2000 e aprire quel file.";
        QTest::newRow("truncated") << good.left(good.size() - 10) << false
                                   << "Il file\n%1\nè un archivio di Access 2000 danneggiato e non si può "
                                      "convertire:\nil file è troncato o "
                                      "danneggiato: " +
                                          QString::number(good.size() - 10) +
                                          " byte non sono un numero intero di pagine di 4096 byte.";
        Table other = TipsTable(manyTips().mid(0, 1));
        other.name = "Ricette";
        QTest::newRow("no TipsTable")
            << Build({other}) << true
            << "Conversione non riuscita.\nL'archivio non contiene la tabella TipsTable.\nIl "
               "file originale non è stato modificato.";
        Layout layout;
        QByteArray hang = Build({TipsTable(manyTips().mid(0, 3))}, {}, &layout);
        hang[layout.firstPropertyEntry] = hang[layout.firstPropertyEntry + 1] = '\0'; // libmdb loops on it
        // libmdb loops there, allocating: the helper is stopped by its memory limit or by the time
        // limit, whichever comes first, so only the frame of the message is fixed.
        QTest::newRow("zero-length property record")
            << hang << true << "Conversione non riuscita.\n*\nIl file originale non è stato modificato.";
    }
    void refused() {
        QFETCH(QByteArray, file);
        QFETCH(bool, asked);
        QFETCH(QString, message);
        ArchiveWindow w;
        QVERIFY(w.open({{"Esistente"}}));
        const QString oldPath = w.dir.filePath("vecchio.mdb");
        QFile f(oldPath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        QElapsedTimer clock;
        clock.start();
        const Answers answers = asked ? Answers{QMessageBox::Yes, QMessageBox::Ok} : Answers{QMessageBox::Ok};
        QVERIFY(openOld(w, oldPath, answers, [](QFileDialog* d) {
            QTest::keyClick(d->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
        }));
        QVERIFY(clock.elapsed() < 15000);
        // "*" in the message stands for any text.
        const QStringList frame =
            Box(QString(message).replace("%1", oldPath), QMessageBox::Critical).split('*');
        const QString said = w.said().last();
        QVERIFY2(said.startsWith(frame.first()) && said.endsWith(frame.last()) &&
                     (frame.size() > 1 || said.size() == frame.first().size()),
                 qPrintable(said));
        QVERIFY(w.win->isVisible() && w.win->isEnabled());
        QCOMPARE(w.win->windowTitle(), Refused);
        QCOMPARE(filesIn(w.dir.path()), QStringList({"Quillnote.mdb", "vecchio.mdb"}));
    }

    // Helpers that hang, crash, flood their output or report progress; one that is missing.
    void runnerLimits() {
        QTemporaryDir dir;
        QWidget window;
        auto run = [&](const QString& body, int limitMs = 5000) {
            const QString script =
                body.isEmpty() ? dir.filePath("missing") : writeScript(dir, "helper.sh", body);
            const qn::ui::HelperOutcome out = qn::ui::RunHelper(&window, {script, {}, limitMs, -1, 1000});
            // However it ended, the window takes input again and the hourglass is gone.
            if (!window.isEnabled() || QApplication::overrideCursor()) qFatal("window left waiting");
            return out;
        };
        QElapsedTimer clock;
        clock.start();
        qn::ui::HelperOutcome out = run("sleep 30", 300);
        QCOMPARE(out.kind, qn::ui::HelperOutcome::TimedOut);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(run("kill -SEGV $$").kind, qn::ui::HelperOutcome::Crashed);
        out = run("head -c 3000000 /dev/zero | tr '\\0' x >&2; exit 2");
        QCOMPARE(QList<int>({out.kind, out.exitCode, int(out.report.size()), out.reportCut}),
                 QList<int>({qn::ui::HelperOutcome::Finished, 2, 1000, 1}));
        out = run("echo progresso 5 10; echo 'rumore senza fine di riga'; echo progresso 10 10; echo x >&2");
        QCOMPARE(QList<long>({out.done, out.total, long(out.report.size()), out.reportCut}),
                 QList<long>({10, 10, 2, 0}));
        QCOMPARE(run({}).kind, qn::ui::HelperOutcome::FailedToStart);
        // Cancelling the progress dialog stops the helper.
        QTimer::singleShot(300, [] {
            for (QWidget* t : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<QProgressDialog*>(t); p && p->isVisible())
                    QTest::mouseClick(p->findChild<QPushButton*>(), Qt::LeftButton);
        });
        const QString slow = writeScript(dir, "slow.sh", "sleep 30");
        QCOMPARE(qn::ui::RunHelper(&window, {slow, {}, 20000, 0}).kind, qn::ui::HelperOutcome::Cancelled);
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
