// The pop-up menu of cmdInviaTips on the real window: its place and names, its refusals, the
// bytes of email.eml and its opening (seen by a recording xdg-open first on PATH), a message
// file that cannot be written, and printing with no printer, which offers the pages as a PDF.
#include "../printing/ReadBack.h"
#include "DialogDriver.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QAccessible>
#include <QPrinterInfo>
#include <QtTest>

namespace {

QString messagePath() {
    return GenericBas::TempFolder() + "email.eml";
}

// Opens the menu by a click at `at` in the button (its centre by default); nullptr when it does not show.
QMenu* OpenPopMenu(ArchiveWindow& w, QPoint at = {}) {
    QWidget* button = w.widget("cmdInviaTips");
    QTest::mouseClick(button, Qt::LeftButton, {}, at.isNull() ? button->rect().center() : at);
    auto* menu = w.win->findChild<QMenu*>("mnu");
    return menu && QTest::qWaitFor([&] { return menu->isVisible(); }, 2000) ? menu : nullptr;
}

// Picks mnuPop(index) with the mouse; false when the boxes `answers` answer did not all come.
bool PopMenuCommand(ArchiveWindow& w, int index, const Answers& answers = {}) {
    QMenu* menu = OpenPopMenu(w);
    if (!menu) return false;
    const QPoint item =
        menu->actionGeometry(menu->findChild<QAction*>(QStringLiteral("mnuPop(%1)").arg(index))).center();
    QTest::mouseMove(menu, item);
    return w.answering(answers, [&] { QTest::mouseClick(menu, Qt::LeftButton, {}, item); });
}

} // namespace

class TestSendTip : public QObject {
    Q_OBJECT
    QTemporaryDir env;
    QString record = env.filePath("opened.txt"); // one line per xdg-open call: its argument
    QStringList opened() const {
        return QString::fromUtf8(FileBytes(record)).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        // A runtime folder of our own (the private temporary folder lives there), a recording
        // xdg-open, and a print server address where nothing listens: no printer at all.
        const QString runtime = env.filePath("runtime");
        QVERIFY(QDir().mkpath(runtime) && QDir().mkpath(env.filePath("bin")));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        QFile script(env.filePath("bin/xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(record) + "'\n");
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        script.close();
        qputenv("PATH", QFile::encodeName(env.filePath("bin")) + ':' + qgetenv("PATH"));
        qputenv("CUPS_SERVER", QFile::encodeName(env.filePath("nessuno.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QDir::setCurrent(env.path());
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());
        QVERIFY(GenericBas::TempFolder().startsWith(runtime));
    }
    void init() { QFile::remove(record); }

    void menuAndItsRefusals() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", QVariant()}})); // a tip without procedure
        // 75 twips (5 pixels) below the button, centred on it, wherever the mouse is.
        const QRect button = w.widget("cmdInviaTips")->geometry();
        const QPoint point = w.win->mapToGlobal(QPoint(button.x() + button.width() / 2, button.bottom() + 6));
        for (const QPoint at : {QPoint(2, 2), QPoint(38, 30)}) {
            QMenu* menu = OpenPopMenu(w, at);
            QVERIFY(menu && menu->title() == "PopMenu");
            QVERIFY(qAbs(menu->geometry().center().x() - point.x()) <= 1 &&
                    menu->geometry().top() == point.y());
            QAccessibleInterface* access =
                QAccessible::queryAccessibleInterface(menu); // a screen reader's view
            QVERIFY(access && access->childCount() == 2);
            QCOMPARE(access->child(0)->text(QAccessible::Name) + ' ' +
                         access->child(1)->text(QAccessible::Name),
                     QString("E-Mail Stampa"));
            menu->hide();
        }
        // Nothing to send: both commands refused.
        QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}) && PopMenuCommand(w, 1, {QMessageBox::Ok}));
        const QString noTip = Box("Nessun tips visualizzato.", QMessageBox::Warning);
        QCOMPARE(w.said(), QStringList({noTip, noTip}));
        QVERIFY(!QFile::exists(messagePath()) && opened().isEmpty());
        // Refused while a tip is added or edited.
        QVERIFY(w.click("optWork(1)"));
        for (const QString tool : {"cmdTool(0)", "cmdTool(3)", "cmdTool(4)"}) { // Nuovo, Annulla, Modifica
            QVERIFY(w.click(tool));
            if (tool == "cmdTool(3)") continue;
            QVERIFY(w.click("cmdInviaTips", {QMessageBox::Ok}));
            QCOMPARE(w.said().last(), Box("Per usare questo comando occorre uscire dalla modalità modifica.",
                                          QMessageBox::Information));
            QVERIFY(!w.win->findChild<QMenu*>("mnu")->isVisible());
        }
    }

    void messageFileBytes() {
        const QByteArray end = "X-Unsent: 1\r\n\r\n";
        const QList<std::pair<Tip, QByteArray>> rows = {
            {{"Titolo", "corpo"}, "From: <>\r\nSubject: Titolo\r\n" + end + "corpo\r\n"},
            {{"", "senza titolo: nessun Subject"}, "From: <>\r\n" + end + "senza titolo: nessun Subject\r\n"},
            {{"Perché 5 €", "È così: “citato” – fine"},
             "From: <>\r\nSubject: Perch\xE9 5 \x80\r\n" + end +
                 "\xC8 cos\xEC: \x93"
                 "citato\x94 \x96 fine\r\n"},
            // Line breaks as CR LF, one more at the end; lines starting with From or a dot kept.
            {{"Righe", "From mario\r\n.\nfine\n"},
             "From: <>\r\nSubject: Righe\r\n" + end + "From mario\r\n.\r\nfine\r\n\r\n"},
            {{"Funzione λ", "α → β"},
             "From: <>\r\nSubject: =?UTF-8?B?RnVuemlvbmUgzrs=?=\r\nX-Unsent: 1\r\nMIME-Version: 1.0\r\n"
             "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
                 QString("α → β").toUtf8() + "\r\n"},
            // A line break in the title starts no header of its own.
            {{"Prova\nBcc: altri@example.org", "corpo"},
             "From: <>\r\nSubject: Prova Bcc: altri@example.org\r\n" + end + "corpo\r\n"},
        };
        const QString longTitle(60, QChar(0x03BB)); // 120 bytes in UTF-8
        QList<Tip> tips = {{longTitle}};
        for (const auto& row : rows)
            tips << row.first;
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        for (const auto& [tip, bytes] : rows) {
            QFile::remove(record);
            QVERIFY(w.pick("cboTitoli", tip.fields[0].toString()) && PopMenuCommand(w, 0));
            QVERIFY(QTest::qWaitFor([&] { return opened().size() == 1; }, 5000));
            QCOMPARE(FileBytes(messagePath()), bytes);
            const QString arg = opened().first(); // the file itself, by path or file URL
            QCOMPARE(arg.startsWith("file:") ? QUrl(arg).toLocalFile() : arg, messagePath());
        }
        // A long subject folds into RFC 2047 words of whole characters, lines of 76 at most.
        QVERIFY(w.pick("cboTitoli", longTitle) && PopMenuCommand(w, 0));
        const QByteArray file = FileBytes(messagePath());
        const QList<QByteArray> lines = file.mid(10, file.indexOf("X-Unsent") - 12).split('\n'); // Subject
        QByteArray decoded;
        for (const QByteArray& line : lines) {
            const QByteArray word = line.trimmed().split(' ').last();
            QVERIFY(line.size() - line.endsWith('\r') <= 76 && word.startsWith("=?UTF-8?B?") &&
                    word.endsWith("?="));
            const QByteArray part = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            QVERIFY(QString::fromUtf8(part).toUtf8() == part); // whole characters
            decoded += part;
        }
        QVERIFY(lines.size() > 2 && lines[0].startsWith("Subject: "));
        QCOMPARE(QString::fromUtf8(decoded), longTitle);
        // Every command rewrote the one file, which goes with the window.
        QCOMPARE(QDir(GenericBas::TempFolder()).entryList({"*.eml"}), QStringList{"email.eml"});
        w.close();
        QVERIFY(!QFile::exists(messagePath()));
    }

    void unwritableMessageFile() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", "corpo"}}));
        const QString folder = GenericBas::TempFolder(), path = folder + "email.eml";
        // The disk full, then no private folder at all (a file in its place): the message, the reason.
        QFile blocker(folder.chopped(1));
        QVERIFY(QFile::link("/dev/full", path));
        for (const QString& shown : {path, QString("email.eml")}) {
            if (shown != path)
                QVERIFY(QDir(folder).removeRecursively() && blocker.open(QIODevice::WriteOnly));
            QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}));
            const QStringList lines = w.boxes.lastLines();
            QCOMPARE(w.boxes.last().icon, QMessageBox::Critical);
            QCOMPARE(lines.mid(0, 2),
                     QStringList({"Impossibile scrivere il messaggio di posta elettronica", shown}));
            QVERIFY(lines.size() == 3 && !lines[2].isEmpty());
            QVERIFY(!QFileInfo(path).isSymLink()); // the file cut short removed
        }
        QCOMPARE(w.boxes.lastLines()[2], QString("La cartella temporanea privata non è disponibile."));
        // Nothing opened, the file closed.
        QTest::qWait(100);
        QVERIFY(opened().isEmpty());
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
            QVERIFY(fd.symLinkTarget() != "/dev/full");
        // Closing without a private folder leaves a message file of the current folder alone.
        QFile other("email.eml");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        w.close();
        QVERIFY(other.exists() && other.remove() && blocker.remove());
    }

    void noPrinterOffersPdf() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Stampa di prova", "uno due tre\r\nquattro cinque"}}));
        const QString target = w.dir.filePath("uscita.pdf"),
                      noPrinter = Box("Nessuna stampante disponibile: impossibile stampare il tip.\n"
                                      "Salvare le pagine del tip in un documento PDF?",
                                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        DialogDriver driver;
        QVERIFY(PopMenuCommand(w, 1, {QMessageBox::No})); // declined: no dialog
        QVERIFY(w.said().last() == noPrinter && driver.done() == 0 && !QFile::exists(target));
        // The whole text, only the part selected, and all of it selected as no selection.
        const QStringList whole = {"uno due tre", "quattro cinque"};
        for (const auto& [from, to, printed] :
             {std::tuple(0, 0, whole), {4, 11, QStringList("due tre")}, {0, 26, whole}}) {
            QTextCursor cursor = w.win->txtProcedura->textCursor();
            cursor.setPosition(from);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            w.win->txtProcedura->setTextCursor(cursor);
            QString proposed;
            driver.onFileDialog([&](QFileDialog* d) {
                proposed =
                    d->findChild<QLineEdit*>("fileNameEdit")->text() + '|' + d->nameFilters().join(';');
                DialogDriver::typeAndConfirm(d, w.dir.filePath("uscita")); // the default extension follows
            });
            QVERIFY(PopMenuCommand(w, 1, {QMessageBox::Yes}));
            QVERIFY(w.said().last() == noPrinter && !QApplication::overrideCursor());
            QCOMPARE(proposed, QString("Stampa di prova.pdf|Documento PDF (*.pdf)"));
            QCOMPARE(PdfPages(target), QList<QStringList>{QStringList("Stampa di prova") + printed +
                                                          QStringList("Quillnote - Quillnote.mdb Pagina 1")});
            QVERIFY(QFile::remove(target));
        }
    }
};

QTEST_MAIN(TestSendTip)
#include "tst_sendtip.moc"
