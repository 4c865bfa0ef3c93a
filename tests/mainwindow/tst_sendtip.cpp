// The pop-up menu of cmdInviaTips on the real window: its place, names and refusals, email.eml
// (its bytes, its opening, failing to write it), and printing with no printer, offering a PDF.
#include "../printing/ReadBack.h"
#include "DialogDriver.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QAccessible>
#include <QPrinterInfo>
#include <QtTest>

namespace {

// Opens the menu by a click at `at` in the button; nullptr when it does not show.
QMenu* OpenPopMenu(ArchiveWindow& w, QPoint at = {20, 20}) {
    QTest::mouseClick(w.widget("cmdInviaTips"), Qt::LeftButton, {}, at);
    auto* menu = w.win->findChild<QMenu*>("mnu");
    return menu && QTest::qWaitFor([&] { return menu->isVisible(); }, 2000) ? menu : nullptr;
}

// Picks mnuPop(index) with the mouse; false when the boxes `answers` answer did not all come.
bool PopMenuCommand(ArchiveWindow& w, int index, const Answers& answers = {}) {
    QMenu* menu = OpenPopMenu(w);
    QAction* item = menu ? menu->findChild<QAction*>(QStringLiteral("mnuPop(%1)").arg(index)) : nullptr;
    if (!item) return false;
    const QPoint at = menu->actionGeometry(item).center();
    QTest::mouseMove(menu, at);
    return w.answering(answers, [&] { QTest::mouseClick(menu, Qt::LeftButton, {}, at); });
}

} // namespace

class TestSendTip : public QObject {
    Q_OBJECT
    QTemporaryDir env;
    const QString record = env.filePath("opened.txt"); // one line per xdg-open call: its argument
    QStringList opened() const { return QString(FileBytes(record)).split('\n', Qt::SkipEmptyParts); }
    static QString messagePath() { return GenericBas::TempFolder() + "email.eml"; }

private slots:
    void initTestCase() {
        // Our own runtime folder (the private one is in it), a recording xdg-open, no print server.
        const QString runtime = env.filePath("runtime");
        QFile script(env.filePath("xdg-open"));
        QVERIFY(QDir().mkdir(runtime) && script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(record) + "'\n");
        script.close();
        for (const QString& path : {runtime, script.fileName()})
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("PATH", QFile::encodeName(env.path()) + ':' + qgetenv("PATH"));
        qputenv("CUPS_SERVER", QFile::encodeName(env.filePath("nessuno.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QDir::setCurrent(env.path());
        QVERIFY(QPrinterInfo::defaultPrinter().isNull() && GenericBas::TempFolder().startsWith(runtime));
    }
    void init() { QFile::remove(record); }

    // The menu, its refusals, and printing with no printer on the second tip.
    void menuRefusalsAndPdf() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", QVariant()}, {"Stampa di prova", "uno due tre\r\nquattro cinque"}}));
        // 75 twips (5 pixels) below the button, centred on it, wherever the mouse is.
        const QRect button = w.widget("cmdInviaTips")->geometry();
        const QPoint point = w.win->mapToGlobal(QPoint(button.x() + button.width() / 2, button.bottom() + 6));
        for (const QPoint at : {QPoint(2, 2), QPoint(38, 30)}) {
            QMenu* menu = OpenPopMenu(w, at);
            QVERIFY(menu && menu->title() == "PopMenu" && menu->geometry().top() == point.y());
            QVERIFY(qAbs(menu->geometry().center().x() - point.x()) <= 1);
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(menu); // a screen reader
            QVERIFY(reader && reader->childCount() == 2 &&
                    reader->child(0)->text(QAccessible::Name) == "E-Mail");
            QCOMPARE(reader->child(1)->text(QAccessible::Name), QString("Stampa"));
            menu->hide();
        }
        // Nothing to send: both commands refused.
        QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}) && PopMenuCommand(w, 1, {QMessageBox::Ok}));
        QCOMPARE(w.said(), QStringList(2, Box("Nessun tips visualizzato.", QMessageBox::Warning)));
        QVERIFY(!QFile::exists(messagePath()) && opened().isEmpty());
        // Refused while a tip is added or edited (Nuovo, Annulla, Modifica).
        QVERIFY(w.click("optWork(1)"));
        for (const QString tool : {"cmdTool(0)", "cmdTool(3)", "cmdTool(4)"})
            QVERIFY(w.click(tool) && (tool == "cmdTool(3)" || w.click("cmdInviaTips", {QMessageBox::Ok})));
        const QString refusal = "Per usare questo comando occorre uscire dalla modalità modifica.";
        QCOMPARE(w.said().mid(2), QStringList(2, Box(refusal, QMessageBox::Information)));
        QVERIFY(!w.win->findChild<QMenu*>("mnu")->isVisible());
        QVERIFY(w.click("cmdTool(3)") && w.click("optWork(0)") && w.click("cmdSposta(2)"));
        const QString target = w.dir.filePath("uscita.pdf");
        const QString offer = Box("Nessuna stampante disponibile: impossibile stampare il tip.\n"
                                  "Salvare le pagine del tip in un documento PDF?",
                                  QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        DialogDriver driver;
        QVERIFY(PopMenuCommand(w, 1, {QMessageBox::No})); // declined: no dialog
        QVERIFY(w.said().last() == offer && driver.done() == 0 && !QFile::exists(target));
        // The whole text, only the part selected, and all of it selected as no selection.
        const QStringList whole = {"uno due tre", "quattro cinque"};
        for (const auto& [from, to, printed] :
             {std::tuple(0, 0, whole), {4, 11, QStringList("due tre")}, {0, 26, whole}}) {
            QTextCursor cursor = w.win->txtProcedura->textCursor();
            cursor.setPosition(from);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            w.win->txtProcedura->setTextCursor(cursor);
            QString name;
            driver.onFileDialog([&](QFileDialog* d) {
                name = d->findChild<QLineEdit*>("fileNameEdit")->text() + '|' + d->nameFilters().join(';');
                DialogDriver::typeAndConfirm(d, w.dir.filePath("uscita")); // the default extension follows
                if (d->isVisible()) d->reject();                           // never left hanging
            });
            QVERIFY(PopMenuCommand(w, 1, {QMessageBox::Yes}) && w.said().last() == offer);
            QVERIFY(!QApplication::overrideCursor() && name == "Stampa di prova.pdf|Documento PDF (*.pdf)");
            QCOMPARE(PdfPages(target), QList<QStringList>{QStringList("Stampa di prova") + printed +
                                                          QStringList("Quillnote - Quillnote.mdb Pagina 1")});
            QVERIFY(QFile::remove(target));
        }
    }

    void messageFileBytes() {
        const QByteArray end = "X-Unsent: 1\r\n\r\n"; // after "From: <>\r\n" and the subject
        const QList<std::pair<Tip, QByteArray>> rows = {
            {{"Titolo", "corpo"}, "Subject: Titolo\r\n" + end + "corpo\r\n"},
            {{"", "senza titolo"}, end + "senza titolo\r\n"},
            {{"Perché 5 €", "È così – fine"},
             "Subject: Perch\xE9 5 \x80\r\n" + end + "\xC8 cos\xEC \x96 fine\r\n"},
            // Line breaks as CR LF, one more at the end; lines starting with From or a dot kept.
            {{"Righe", "From mario\r\n.\nfine\n"},
             "Subject: Righe\r\n" + end + "From mario\r\n.\r\nfine\r\n\r\n"},
            {{"Funzione λ", "α → β"},
             "Subject: =?UTF-8?B?RnVuemlvbmUgzrs=?=\r\nX-Unsent: 1\r\nMIME-Version: 1.0\r\n"
             "Content-Type: text/plain; charset=UTF-8\r\n"
             "Content-Transfer-Encoding: 8bit\r\n\r\n" +
                 QString("α → β\r\n").toUtf8()},
            // A line break in the title starts no header of its own.
            {{"Prova\nBcc: altri@example.org", "corpo"},
             "Subject: Prova Bcc: altri@example.org\r\n" + end + "corpo\r\n"},
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
            QCOMPARE(FileBytes(messagePath()), "From: <>\r\n" + bytes);
            QCOMPARE(QUrl::fromUserInput(opened().first()).toLocalFile(), messagePath()); // path or URL
        }
        // A long subject folds into RFC 2047 words of whole characters, lines of 76 at most.
        QFile::remove(record);
        QVERIFY(w.pick("cboTitoli", longTitle) && PopMenuCommand(w, 0));
        QVERIFY(QTest::qWaitFor([&] { return opened().size() == 1; }, 5000)); // before the record goes
        const QByteArray file = FileBytes(messagePath());
        const QList<QByteArray> lines = file.mid(10, file.indexOf("X-Unsent") - 12).split('\n'); // Subject
        QByteArray decoded;
        for (const QByteArray& line : lines) {
            const QByteArray word = line.trimmed().split(' ').last();
            QVERIFY(line.size() - line.endsWith('\r') <= 76 && word.startsWith("=?UTF-8?B?") &&
                    word.endsWith("?="));
            decoded += QByteArray::fromBase64(word.mid(10, word.size() - 12));
            QVERIFY(QString::fromUtf8(decoded).toUtf8() == decoded); // whole characters
        }
        QVERIFY(lines.size() > 2 && lines[0].startsWith("Subject: ") &&
                QString::fromUtf8(decoded) == longTitle);
        QCOMPARE(QDir(GenericBas::TempFolder()).entryList({"*.eml"}), QStringList{"email.eml"}); // rewritten
        // The disk full (the file cut short is removed), then no private folder (a file in its place).
        const QString folder = GenericBas::TempFolder(), eml = messagePath();
        QFile blocker(folder.chopped(1));
        QVERIFY(QFile::remove(eml) && QFile::link("/dev/full", eml));
        QFile::remove(record);
        for (const QString& shown : {eml, QString("email.eml")}) {
            if (shown != eml) QVERIFY(QDir(folder).removeRecursively() && blocker.open(QIODevice::WriteOnly));
            QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}) && w.boxes.last().icon == QMessageBox::Critical);
            const QStringList lines = w.boxes.lastLines();
            QCOMPARE(lines.mid(0, 2),
                     QStringList({"Impossibile scrivere il messaggio di posta elettronica", shown}));
            QVERIFY(lines.size() == 3 && !lines[2].isEmpty() && !QFileInfo(eml).isSymLink());
        }
        QCOMPARE(w.boxes.lastLines()[2], QString("La cartella temporanea privata non è disponibile."));
        // Nothing opened, the file closed; closing leaves a message file of the current folder alone.
        QVERIFY(!QTest::qWaitFor([&] { return !opened().isEmpty(); }, 100));
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
            QVERIFY(fd.symLinkTarget() != "/dev/full");
        QVERIFY(QFile::copy(env.filePath("xdg-open"), "email.eml")); // any ordinary file
        w.close();
        QVERIFY(QFile::remove("email.eml") && blocker.remove());
    }
};

QTEST_MAIN(TestSendTip)
#include "tst_sendtip.moc"
