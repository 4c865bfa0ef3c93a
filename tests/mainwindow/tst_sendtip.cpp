// The pop-up menu of cmdInviaTips on the real window: its place and names, its refusals, the
// bytes of email.eml and its opening (seen by a recording xdg-open first on PATH), a message
// file that cannot be written, and printing with no printer, which offers the pages as a PDF.
#include "DialogDriver.h"
#include "PdfText.h"
#include "PopMenu.h"
#include "TestArchive.h"
#include "startup/GenericBas.h"

#include <QAccessible>
#include <QFileDialog>
#include <QPrinterInfo>
#include <QtTest>

namespace {

const QString NoTip = Box("Nessun tips visualizzato.", QMessageBox::Warning);
const QString NoPrinter = Box("Nessuna stampante disponibile: impossibile stampare il tip.\n"
                              "Salvare le pagine del tip in un documento PDF?",
                              QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
const QByteArray Crlf = "\r\n";

QString messagePath() {
    return GenericBas::TempFolder() + "email.eml";
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The words of a PDF's body, or an explanation of what is wrong with its frame.
QStringList pdfBody(const QString& path, const QString& header, const QString& footer) {
    const QList<QStringList> pages = PdfPages(path);
    if (pages.size() != 1 || pages[0].size() < 3) return {"pages: " + QString::number(pages.size())};
    const QStringList& lines = pages[0];
    if (lines.first().trimmed() != header) return {"header: " + lines.first()};
    if (lines.last().simplified() != footer + " Pagina 1") return {"footer: " + lines.last()};
    return lines.mid(1, lines.size() - 2).join(' ').split(' ', Qt::SkipEmptyParts);
}

} // namespace

class TestSendTip : public QObject {
    Q_OBJECT
    QTemporaryDir env;
    QString record; // one line per xdg-open call: its argument

    QStringList opened() const {
        QFile f(record);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        // A runtime folder of our own (the private temporary folder lives there), a recording
        // xdg-open, and a print server address where nothing listens: no printer at all.
        QVERIFY(env.isValid());
        const QString runtime = env.filePath("runtime");
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        QVERIFY(QDir().mkpath(env.filePath("bin")));
        record = env.filePath("opened.txt");
        QFile script(env.filePath("bin/xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(record) + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(env.filePath("bin")) + ':' + qgetenv("PATH"));
        qputenv("CUPS_SERVER", QFile::encodeName(env.filePath("nessuno.sock")));
        QDir::setCurrent(env.path());
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());
        QVERIFY(GenericBas::TempFolder().startsWith(runtime));
    }
    void init() { QFile::remove(record); }

    void menuCentredBelowTheButtonWithNames() {
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa"}}));
        // The button at 3720, 120, 615 × 615 twips: the menu's point is 4028, 810 twips (269, 54).
        QCOMPARE(w.widget("cmdInviaTips")->geometry(), QRect(248, 8, 41, 41));
        const QPoint point = w.win->mapToGlobal(QPoint(269, 54));
        for (const QPoint at : {QPoint(2, 2), QPoint(38, 30)}) { // wherever the mouse is
            QMenu* menu = OpenPopMenu(w, at);
            QVERIFY(menu);
            QVERIFY2(qAbs(menu->geometry().center().x() - point.x()) <= 1,
                     qPrintable(QString::number(menu->x())));
            QCOMPARE(menu->geometry().top(), point.y());
            QCOMPARE(menu->title(), QString("PopMenu"));
            // Found by name, and by a screen reader by their captions.
            QAccessibleInterface* access = QAccessible::queryAccessibleInterface(menu);
            QVERIFY(access && access->childCount() == 2);
            const QStringList captions = {"E-Mail", "Stampa"};
            for (int i = 0; i < 2; ++i) {
                const auto* item = menu->findChild<QAction*>(QStringLiteral("mnuPop(%1)").arg(i));
                QVERIFY(item && item->text() == captions[i]);
                QCOMPARE(access->child(i)->text(QAccessible::Name), captions[i]);
            }
            menu->hide();
        }
        // Refused while a tip is added or edited.
        const QString refusal =
            Box("Per usare questo comando occorre uscire dalla modalità modifica.", QMessageBox::Information);
        QVERIFY(w.click("optWork(1)"));
        for (const QString tool : {"cmdTool(0)", "cmdTool(3)", "cmdTool(4)"}) { // Nuovo, Annulla, Modifica
            QVERIFY(w.click(tool));
            if (tool == "cmdTool(3)") continue;
            QVERIFY(w.click("cmdInviaTips", {QMessageBox::Ok}));
            QCOMPARE(w.said().last(), refusal);
            QVERIFY(!w.win->findChild<QMenu*>("mnu")->isVisible());
        }
    }

    void messageFileBytes() {
        const QByteArray end = "X-Unsent: 1\r\n\r\n";
        struct Row {
            QString title, procedure;
            QByteArray bytes;
        };
        const QList<Row> rows = {
            {"Titolo", "corpo", "From: <>\r\nSubject: Titolo\r\n" + end + "corpo\r\n"},
            {"", "senza titolo: nessun Subject", "From: <>\r\n" + end + "senza titolo: nessun Subject\r\n"},
            {"Perché 5 €", "È così: “citato” – fine",
             "From: <>\r\nSubject: Perch\xE9 5 \x80\r\n" + end +
                 "\xC8 cos\xEC: \x93"
                 "citato\x94 \x96 fine\r\n"},
            // Line breaks as CR LF, one more at the end; lines starting with From or a dot kept.
            {"Righe", "From mario\r\n.\nfine\n",
             "From: <>\r\nSubject: Righe\r\n" + end + "From mario\r\n.\r\nfine\r\n\r\n"},
            {"Funzione λ", "α → β",
             "From: <>\r\nSubject: =?UTF-8?B?RnVuemlvbmUgzrs=?=\r\nX-Unsent: 1\r\nMIME-Version: 1.0\r\n"
             "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
                 QString("α → β").toUtf8() + Crlf},
            // A line break in the title starts no header of its own.
            {"Prova\nBcc: altri@example.org", "corpo",
             "From: <>\r\nSubject: Prova Bcc: altri@example.org\r\n" + end + "corpo\r\n"},
        };
        const QString longTitle(60, QChar(0x03BB)); // 120 bytes in UTF-8
        QList<Tip> tips = {{longTitle, "corpo"}};
        for (const Row& r : rows)
            tips << Tip(r.title, r.procedure);
        ArchiveWindow w;
        QVERIFY(w.open(tips));
        for (const Row& r : rows) {
            QFile::remove(record);
            QVERIFY2(w.pick("cboTitoli", r.title), qPrintable(r.title));
            QVERIFY(PopMenuCommand(w, 0));
            QVERIFY(QTest::qWaitFor([&] { return opened().size() == 1; }, 5000));
            QCOMPARE(fileBytes(messagePath()), r.bytes);
            // Opened as the file it is, by path or file URL.
            const QString arg = opened().first();
            QCOMPARE(arg.startsWith("file:") ? QUrl(arg).toLocalFile() : arg, messagePath());
        }

        // A long subject folds into RFC 2047 words of whole characters, lines of 76 at most.
        QVERIFY(w.pick("cboTitoli", longTitle) && PopMenuCommand(w, 0));
        const QList<QByteArray> lines = fileBytes(messagePath()).split('\n');
        QByteArray decoded;
        qsizetype i = 1;
        for (; i < lines.size() && (i == 1 || lines[i].startsWith(' ')); ++i) {
            const QByteArray word = lines[i].chopped(1).trimmed().mid(i == 1 ? 9 : 0); // after "Subject: "
            QVERIFY(lines[i].size() - 1 <= 76 && word.startsWith("=?UTF-8?B?") && word.endsWith("?="));
            const QByteArray part = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            QCOMPARE(QString::fromUtf8(part).toUtf8(), part);
            decoded += part;
        }
        QVERIFY(i > 2);
        QCOMPARE(QString::fromUtf8(decoded), longTitle);
        // Every command rewrote the one file, which goes with the window.
        QCOMPARE(QDir(GenericBas::TempFolder()).entryList({"*.eml"}), QStringList{"email.eml"});
        w.close();
        QVERIFY(!QFile::exists(messagePath()));
    }

    void emptyProcedureRefusesBothCommands() {
        ArchiveWindow w;
        QVERIFY(w.open({}, {QMessageBox::Ok})); // the empty archive's hint
        QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}));
        QVERIFY(PopMenuCommand(w, 1, {QMessageBox::Ok}));
        QCOMPARE(w.said().mid(1), QStringList({NoTip, NoTip}));
        QVERIFY(!QFile::exists(messagePath()));
        QVERIFY(opened().isEmpty());
    }

    void unwritableMessageFile_data() {
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("reason"); // "" = the system's own words
        QTest::newRow("disk full") << true << "";
        QTest::newRow("no private folder") << false << "La cartella temporanea privata non è disponibile.";
    }
    void unwritableMessageFile() {
        QFETCH(bool, diskFull);
        QFETCH(QString, reason);
        ArchiveWindow w;
        QVERIFY(w.open({{"Alfa", "corpo"}}));
        const QString folder = GenericBas::TempFolder();
        QString shown = folder + "email.eml";
        if (diskFull) {
            QVERIFY(QFile::link("/dev/full", shown));
        } else {
            // The private folder is replaced by a file: no folder of ours can be had.
            QVERIFY(QDir(folder).removeRecursively());
            QFile blocker(folder.chopped(1));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            shown = "email.eml";
        }
        QVERIFY(PopMenuCommand(w, 0, {QMessageBox::Ok}));
        const QStringList lines = w.boxes.lastLines();
        QCOMPARE(w.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(lines.mid(0, 2),
                 QStringList({"Impossibile scrivere il messaggio di posta elettronica", shown}));
        QVERIFY(lines.size() == 3 && !lines[2].isEmpty());
        if (!reason.isEmpty()) QCOMPARE(lines[2], reason);
        // Nothing opened, the file closed and removed.
        QTest::qWait(100);
        QVERIFY(opened().isEmpty());
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
            QVERIFY(fd.symLinkTarget() != "/dev/full");
        QVERIFY(!QFileInfo(folder + "email.eml").isSymLink());
        if (diskFull) return;
        // Closing without a private folder leaves a message file of the current folder alone.
        QFile other(QDir::current().filePath("email.eml"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        w.close();
        QVERIFY(other.exists() && other.remove());
        QVERIFY(QFile::remove(folder.chopped(1)));
    }

    void noPrinterOffersPdf_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("printed");
        QTest::newRow("no selection: the whole text") << 0 << 0 << true << "uno due tre quattro cinque";
        QTest::newRow("part selected: only that") << 4 << 11 << true << "due tre";
        QTest::newRow("all selected: as no selection") << 0 << 26 << true << "uno due tre quattro cinque";
        QTest::newRow("declined: no dialog") << 0 << 0 << false << "";
    }
    void noPrinterOffersPdf() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, save);
        QFETCH(QString, printed);
        ArchiveWindow w;
        QVERIFY(w.open({{"Stampa di prova", "uno due tre\r\nquattro cinque"}}));
        QTextCursor cursor = w.win->txtProcedura->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        w.win->txtProcedura->setTextCursor(cursor);

        DialogDriver driver;
        QString proposed;
        const QString target = w.dir.filePath("uscita.pdf");
        driver.onFileDialog([&](QFileDialog* d) {
            proposed = d->findChild<QLineEdit*>("fileNameEdit")->text() + '|' + d->nameFilters().join(';');
            DialogDriver::typeAndConfirm(d, w.dir.filePath("uscita")); // the default extension follows
            if (d->isVisible()) d->reject();
        });
        QVERIFY(PopMenuCommand(w, 1, {save ? QMessageBox::Yes : QMessageBox::No}));
        QCOMPARE(w.said().last(), NoPrinter);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(driver.done(), save ? 1 : 0);
        QCOMPARE(QFile::exists(target), save);
        if (!save) return;
        QCOMPARE(proposed, QString("Stampa di prova.pdf|Documento PDF (*.pdf)"));
        QCOMPARE(pdfBody(target, "Stampa di prova", "Quillnote - Quillnote.mdb"), printed.split(' '));
        // In Arial 10 or its twin: the header's first word is a 10-point line high.
        QProcess fonts, boxes;
        fonts.start("pdffonts", {target});
        boxes.start("pdftotext", {"-bbox", target, "-"});
        QVERIFY(fonts.waitForFinished(30000) && boxes.waitForFinished(30000));
        QVERIFY(QRegularExpression("LiberationSans|Arial").match(fonts.readAllStandardOutput()).hasMatch());
        const auto first = QRegularExpression(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">Stampa<)re")
                               .match(QString::fromUtf8(boxes.readAllStandardOutput()));
        QVERIFY(first.hasMatch());
        const double height = first.captured(2).toDouble() - first.captured(1).toDouble();
        QVERIFY2(height > 10 && height < 12.5, qPrintable(QString::number(height)));
    }
};

QTEST_MAIN(TestSendTip)
#include "tst_sendtip.moc"
