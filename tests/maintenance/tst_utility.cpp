// The maintenance window on a real archive under a real main window: its controls, the help,
// closing and reopening the archive, backup copy, compaction, repair, a new archive, renaming,
// and the main window's command that opens it. Files are read back through plain SQLite.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "engine/Database.h"
#include "maintenance/ArchiveFiles.h"
#include "maintenance/frmUtility.h"
#include "mainwindow/frmTips_ui.h"
#include "startup/GenericBas.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const auto Y = QMessageBox::Yes, N = QMessageBox::No, K = QMessageBox::Ok;
const QString CompactQuestion =
    Box("Vuoi compattare i dati del Quillnote?\n\nAttenzione: prima di effettuare questa operazione è \n"
        "consigliabile eseguire una copia di backup del DB.",
        QMessageBox::Information, Y | N);
const QString CompactFailed =
    "Errore durante la compressione del DataBase.\nIl Database non e' stato compresso.";
const QString RepairQuestion =
    Box("Vuoi riparare il database Quillnote?\n(operazione da effettuare solo se necessario)",
        QMessageBox::Information, Y | N);
const QString Repaired =
    "Il database Quillnote è stato riparato.\n(per ottimizzare l'operazione si consiglia "
    "anche di compattare il database)";
const QString BackupDone = Box("La copia del DB è stato salvata.", QMessageBox::Information);
const QString BackupFailed = Box("Errore durante il salvataggio della copia del DB.", QMessageBox::Critical);
const QString Renamed = Box("Operazione conclusa con successo.", QMessageBox::Warning);
const QString Filter = "Microsoft Access (*mdb) (*.mdb)";

// SQL adding `tips` tips in one go: "Tip 0001".. with long procedures, in "Cat 0".."Cat 6".
QString bulk(int tips) {
    return QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                   "INSERT INTO TipsTable(Titolo, Categoria, Procedura) SELECT printf('Tip %04d', i), "
                   "'Cat ' || (i % 7), printf('%0800d', i) FROM n")
        .arg(tips);
}

QStringList raw(const QString& path, const QString& sql) {
    return EngineFixture::rawColumn(path, sql);
}

// Digits grouped by threes with `separator`, a minus in front when negative.
QString grouped(qint64 value, const QString& separator, const QString& minus) {
    QString digits = QString::number(qAbs(value));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, separator);
    return (value < 0 ? minus : QString()) + digits;
}

QString report(qint64 before, qint64 after, int rate) {
    const QLocale sys = QLocale::system();
    auto f = [&](qint64 v) { return grouped(v, sys.groupSeparator(), sys.negativeSign()); };
    return "Il DataBase è stato compresso.\n\nDimensioni originali     \t" + f(before) +
           " (bytes)\nDimensioni compresse\t" + f(after) + " (bytes)\n\nSpazio  recuperato      \t" +
           f(before - after) + " (bytes)\n\nCompressione             \t" + f(rate) + "%";
}

bool archiveIsOpen() {
    return GenericBas::TipsDatabase && GenericBas::TipsDatabase->IsOpen();
}

} // namespace

class tst_Utility : public QObject {
    Q_OBJECT

    std::unique_ptr<ArchiveWindow> w;
    frmUtility* u = nullptr;

    // A main window on an archive of `tips` (plus the change made to it before), and the
    // maintenance window over it, shown (not modal, so the test drives it).
    bool start(const QList<Tip>& tips, const Answers& load = {}, const QString& change = {}) {
        w = std::make_unique<ArchiveWindow>();
        if (!w->open(tips, load, change)) return false;
        u = new frmUtility(w->win.get());
        u->show();
        return QTest::qWaitForWindowExposed(u);
    }
    // cmdEsci, answering the boxes it shows.
    bool leave(const Answers& answers = {}) { return w->click("cmdEsci", answers) && !u->isVisible(); }
    // A command whose save dialog gets `name` ("" cancels); the dialog's title|name|filters.
    QString withSaveDialog(const QString& button, const QString& name, const Answers& answers) {
        DialogDriver driver;
        QString seen;
        driver.onFileDialog([&](QFileDialog* d) {
            seen = d->windowTitle() + '|' + d->findChild<QLineEdit*>("fileNameEdit")->text() + '|' +
                   d->nameFilters().join(';');
            if (name.isEmpty()) return d->reject();
            DialogDriver::typeAndConfirm(d, name);
            if (d->isVisible()) d->reject();
        });
        return w->click(button, answers) ? seen : "boxes missing";
    }

private slots:
    void initTestCase() {
        // As the program runs: Italian by default, while the compaction report follows the system.
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }
    void cleanup() {
        u = nullptr;
        w.reset();
    }

    void windowAsBuilt() {
        QVERIFY(start({{"Alfa"}}));
        QVERIFY(u->windowTitle() == "DB utility" && !u->windowIcon().isNull() && u->isModal());
        QVERIFY(u->minimumSize() == u->maximumSize() && u->size() == QSize(287, 404));
        const QStringList texts =
            QString("Label1(0)|Gestione e manutenzione DB|;Label1(1)|Gestione e manutenzione DB|;"
                    "Label2(0)|Compatta database|;Label2(1)|Ripara database|;Label2(2)|Copia database|;"
                    "Label2(3)|Crea nuovo database|;lblDbVuoto|>>> Attenzione: database vuoto <<<|;"
                    "Label3| Rinomina |;optRename(0)|Categoria|Rinomina una categoria;"
                    "optRename(1)|ChiaveRicerca|Rinomina una ChiaveRicerca;Label5|Nome da cambiare|;"
                    "cboRename||Seleziona la voce da rinominare;Label4|Nuovo nome|;txtRename||Digita la "
                    "nuova voce;"
                    "cmdRename|Rinomina|Rinomina la voce selezionata;Check1||Guida all'uso delle utility;"
                    "cmdEsci|&Esci|chiude la finestra")
                .split(';');
        for (const QString& row : texts) {
            const QStringList p = row.split('|');
            QWidget* c = u->findChild<QWidget*>(p[0]);
            QVERIFY2(c, qPrintable(p[0]));
            const QVariant text = c->property("text");
            QCOMPARE(p[0] + '|' + (text.isValid() ? text.toString() : "") + '|' + c->toolTip(), row);
        }
        // From the top: copy, compact, repair, create; the help box over the commands.
        for (int i : {2, 0, 1, 3})
            QCOMPARE(u->cmdUtility[i]->geometry(), QRect(24, QList<int>{96, 144, 48, 192}[i], 57, 43));
        QCOMPARE(u->Text1->geometry(), QRect(8, 40, 271, 317));
        QVERIFY(u->Text1->isHidden() && u->Text1->isReadOnly() && u->lblDbVuoto->isHidden());
        QVERIFY(!u->cboRename->isEditable() && !u->cboRename->isEnabled() && !u->txtRename->isEnabled() &&
                !u->cmdRename->isEnabled() && !u->optRename[0]->isChecked() && !u->optRename[1]->isChecked());
        // Captions fit, controls that take input have names, and none covers another but the help box.
        const QImage button = qn::ui::ButtonCursor().pixmap().toImage();
        QWidgetList controls;
        for (QWidget* c : u->findChildren<QWidget*>()) {
            const bool decoration =
                c->inherits("QFrame") && !c->inherits("QLabel") && !c->inherits("QAbstractScrollArea");
            if (c->parentWidget() != u || decoration) continue;
            if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c))
                QVERIFY2(c->sizeHint().width() <= c->width(), qPrintable(c->objectName()));
            if (c->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            if (qobject_cast<QAbstractButton*>(c)) QCOMPARE(c->cursor().pixmap().toImage(), button);
            if (c != u->Text1 && c != u->Label1[1]) controls << c;
        }
        for (QWidget* a : controls)
            for (QWidget* b : controls)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " / " + b->objectName()));
        QVERIFY(u->rect().contains(u->cmdEsci->geometry()) && u->rect().contains(u->Check1->geometry()));
    }

    // With no tips compaction, repair and renaming are off and the warning shows; opening and
    // closing at once (button, Esc or close box) neither closes nor reopens the archive.
    void openAndCloseAtOnce_data() {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<int>("how");
        QTest::newRow("tips, cmdEsci") << false << 0;
        QTest::newRow("empty, Esc") << true << 1;
        QTest::newRow("empty, close box") << true << 2;
    }
    void openAndCloseAtOnce() {
        QFETCH(bool, empty);
        QFETCH(int, how);
        QVERIFY(empty ? start({}, {K}) : start({{"Alfa"}}));
        QStringList off;
        for (QWidget* c : u->findChildren<QWidget*>())
            if (!c->isEnabled() && c->parentWidget() == u) off << c->objectName();
        off.sort();
        QCOMPARE(off,
                 QString(empty ? "cboRename cmdRename cmdUtility(0) cmdUtility(1) optRename(0) optRename(1) "
                                 "txtRename"
                               : "cboRename cmdRename txtRename")
                     .split(' '));
        QCOMPARE(u->lblDbVuoto->isVisible(), empty);
        const qn::Database* before = GenericBas::TipsDatabase.get();
        if (how == 0) QVERIFY(leave());
        if (how == 1) QTest::keyClick(u, Qt::Key_Escape);
        if (how == 2) u->close();
        QVERIFY(!u->isVisible() && !u->DatabaseClosed);
        QVERIFY(GenericBas::TipsDatabase.get() == before && archiveIsOpen());
    }

    void helpAndClosingOnce() {
        QVERIFY(start({{"Alfa"}}));
        QVERIFY(w->click("Check1"));
        QVERIFY(u->Text1->isVisible() && u->focusWidget() == u->Text1);
        const QString text = u->Text1->toPlainText();
        const QString first = "Attenzione! Prima di effettuare qualunque modifica al database creare - "
                              "sempre - una copia di backup.";
        QCOMPARE(u->Text1->textCursor().selectedText(), first);
        QCOMPARE(
            text,
            first +
                "\n\n- CopiaDB\nQuesto comando permette di salvare una copia di backup del database "
                "corrente.\n\n- Compatta DB\nQuando si modificano i dati in un database, questo potrebbe "
                "frammentarsi e utilizzare più spazio su disco del necessario.\nÈ consigliabile, quindi, "
                "utilizzare periodicamente questo comando per compattare il database.  Inoltre, il "
                "database compattato, è in genere di dimensioni inferiori e spesso è più veloce.\n\n- "
                "Ripara DB\nQuesto comando tenta di ripristinare un database probabilmente danneggiato da "
                "un'operazione di scrittura incompleta provocata, ad esempio, da un'improvvisa nterruzione "
                "di corrente o da un problema dell'hardware del computer. Dopo il ripristino di un "
                "database, si consiglia di compattarlo utilizzando il comando \"CompattaDB\".\n\n- Crea "
                "nuovo database\nQuesto comando permette di creare un nuovo database da utilizzare per "
                "l'archiviazione di nuovi tips.\n\n- Rinomina Categoria o ChiaveRicerca\nIn questa sezione "
                "è possibile rinominare velocemente i nomi assegnati alle Categorie o alle ChiaviRicerca.");
        QVERIFY(w->click("Check1") && u->Text1->isHidden());
        u->Text1->clear();
        QVERIFY(w->click("Check1") && u->Text1->toPlainText() == text);
        // Closed once: a second command does not close the archive again, whatever it is then.
        u->CloseDatabase();
        QVERIFY(u->DatabaseClosed && !archiveIsOpen());
        GenericBas::TipsDatabase = qn::DBEngine::Workspaces(0).OpenDatabase(w->path, true, false);
        u->CloseDatabase();
        QVERIFY(archiveIsOpen());
        GenericBas::TipsDatabase.reset();
        QVERIFY(leave() && archiveIsOpen()); // reopened by the window
    }

    void backupCopy() {
        QVERIFY(start({{"Alfa"}, {"Beta"}}));
        const QByteArray archive = EngineFixture::fileBytes(w->path);
        const QString copy = w->dir.filePath("copia.mdb");
        // Cancelled: no message, but the archive was closed and is reopened on leaving.
        QCOMPARE(withSaveDialog("cmdUtility(2)", "", {}),
                 "Scegli il percorso dove salvare il database..|BackQuillnote.mdb|" + Filter);
        QVERIFY(u->DatabaseClosed && w->said().isEmpty());
        QVERIFY(withSaveDialog("cmdUtility(2)", copy, {K}) != "boxes missing");
        QCOMPARE(w->said().last(), BackupDone);
        QCOMPARE(EngineFixture::fileBytes(copy), archive);
        // Over an existing file, after the dialog's own question; onto the archive itself: refused.
        QVERIFY(QFile(copy).open(QIODevice::WriteOnly | QIODevice::Truncate) && QFile(copy).size() == 0);
        QVERIFY(withSaveDialog("cmdUtility(2)", copy, {Y, K}) != "boxes missing");
        QCOMPARE(w->said().last(), BackupDone);
        QCOMPARE(EngineFixture::fileBytes(copy), archive);
        QVERIFY(withSaveDialog("cmdUtility(2)", w->path, {Y, K}) != "boxes missing");
        QCOMPARE(w->said().last(), BackupFailed);
        QCOMPARE(EngineFixture::fileBytes(w->path), archive);
        QCOMPARE(QDir(w->dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
                 QStringList({"copia.mdb", "Quillnote.mdb"})); // no half copy left behind
        QTest::keyClick(u, Qt::Key_Escape);                    // Esc presses cmdEsci: reopened
        QVERIFY(!u->isVisible() && archiveIsOpen());
    }

    void compactionReport_data() {
        QTest::addColumn<qint64>("before");
        QTest::addColumn<qint64>("after");
        QTest::addColumn<int>("rate");
        QTest::newRow("a quarter") << qint64(1000000) << qint64(750000) << 25;
        QTest::newRow("grown") << qint64(8192) << qint64(12288) << -50;
        QTest::newRow("tie to even below") << qint64(200) << qint64(3) << 98;  // 98.5
        QTest::newRow("tie to even above") << qint64(200) << qint64(1) << 100; // 99.5
        QTest::newRow("over 2 GiB") << qint64(5000000000) << qint64(2500000000) << 50;
    }
    void compactionReport() {
        QFETCH(qint64, before);
        QFETCH(qint64, after);
        QFETCH(int, rate);
        QCOMPARE(maintenance::CompactionReport(before, after, QLocale::system()),
                 report(before, after, rate));
        const QLocale german(QLocale::German);
        QCOMPARE(maintenance::GroupedNumber(-1234567, german), grouped(-1234567, ".", "-"));
    }

    // No changes nothing; Yes shrinks the file and keeps every tip; the report gives the sizes as
    // seen from outside in the system's format; the close box reopens the archive.
    void compaction() {
        QVERIFY(start({}, {}, bulk(400) + "; DELETE FROM TipsTable WHERE KeyPrimary % 4 <> 0"));
        const QByteArray before = EngineFixture::fileBytes(w->path);
        QVERIFY(w->click("cmdUtility(0)", {N}) && archiveIsOpen() && !u->DatabaseClosed);
        QCOMPARE(EngineFixture::fileBytes(w->path), before);
        // A Temp.mdb already in the folder (the user's own, maybe) is never used or touched.
        const QString temp = w->dir.filePath("Temp.mdb");
        QVERIFY(CreateTips(temp, {{"Altro archivio"}}));
        const QByteArray tempBytes = EngineFixture::fileBytes(temp);
        QVERIFY(w->click("cmdUtility(0)", {Y, K}));
        QCOMPARE(w->said().last(),
                 Box(CompactFailed + "\nIl file " + temp +
                         " esiste già: rinominarlo o spostarlo, poi ripetere la compattazione.",
                     QMessageBox::Critical));
        QVERIFY(EngineFixture::fileBytes(temp) == tempBytes && EngineFixture::fileBytes(w->path) == before);
        QVERIFY(QFile::remove(temp));
        QVERIFY(w->click("cmdUtility(0)", {Y, K}));
        const qint64 after = QFileInfo(w->path).size();
        QVERIFY(after < before.size() / 2 && QApplication::overrideCursor() == nullptr);
        QCOMPARE(w->said().mid(3),
                 QStringList({CompactQuestion,
                              Box(report(before.size(), after, qRound(100.0 - 100.0 * after / before.size())),
                                  QMessageBox::Information)}));
        QVERIFY(w->said()[0] == CompactQuestion && w->boxes.seen()[0].defaultButton == Y &&
                !QFileInfo::exists(temp));
        u->close();
        QVERIFY(!u->isVisible() && archiveIsOpen());
        QCOMPARE(GenericBas::TipsRecordset->RecordCount(), 100L);
        w->close();
        // Every fourth tip, whole.
        QCOMPARE(raw(w->path,
                     "SELECT count(*) FROM TipsTable WHERE KeyPrimary % 4 = 0 AND Titolo = printf('Tip "
                     "%04d', KeyPrimary) AND Procedura = printf('%0800d', KeyPrimary)"),
                 QStringList({"100"}));
    }

    // An intact archive keeps every tip; a damaged one keeps the tips of its sound pages and says
    // how many it saved.
    void repair() {
        QVERIFY(start({}, {}, bulk(1500)));
        QVERIFY(w->click("cmdUtility(1)", {N}) && !u->DatabaseClosed);
        QVERIFY(w->click("cmdUtility(1)", {Y, K}));
        QCOMPARE(w->said(),
                 QStringList({RepairQuestion, RepairQuestion, Box(Repaired, QMessageBox::Information)}));
        QCOMPARE(raw(w->path, "SELECT count(*) FROM TipsTable"), QStringList({"1500"}));
        const QStringList leaves = raw(
            w->path, "SELECT pageno FROM dbstat WHERE name='TipsTable' AND pagetype='leaf' ORDER BY pageno");
        if (leaves.isEmpty() || leaves[0].startsWith('<')) QSKIP("this SQLite has no dbstat table");
        EngineFixture::overwrite(w->path, (leaves[leaves.size() / 2].toLongLong() - 1) * 4096, 4096);
        QVERIFY(w->click("cmdUtility(1)", {Y, K}));
        const QString saved = raw(w->path, "SELECT count(*) FROM TipsTable").value(0);
        QVERIFY2(saved.toInt() < 1500 && saved.toInt() > 1450, qPrintable(saved));
        QCOMPARE(w->said().last(), Box(Repaired + "\nTips recuperati: " + saved, QMessageBox::Information));
        QVERIFY(leave() && GenericBas::TipsRecordset->RecordCount() == saved.toInt());
    }

    // A repair that cannot run says why and leaves the file as it was; the window then cannot
    // reopen the archive either, says so, and the main window is left without one.
    void repairThatCannotRun_data() {
        QTest::addColumn<bool>("remove");
        QTest::newRow("file gone") << true;
        QTest::newRow("schema unreadable") << false;
    }
    void repairThatCannotRun() {
        QFETCH(bool, remove);
        QVERIFY(start({{"Alfa"}, {"Beta"}}));
        if (remove)
            QVERIFY(QFile::remove(w->path));
        else
            EngineFixture::overwrite(w->path, 100, 3996);
        const QByteArray bytes = EngineFixture::fileBytes(w->path);
        const long number = remove ? qn::err::FileNotFound : qn::err::CannotOpen;
        const QString error =
            "Errore n° " + QString::number(number) + "\n" + qn::errorDescription(number, w->path);
        QVERIFY(w->click("cmdUtility(1)", {Y, K}));
        QCOMPARE(w->said().last(), Box(error, QMessageBox::Critical));
        QCOMPARE(EngineFixture::fileBytes(w->path), bytes);
        QVERIFY(leave({K}));
        QCOMPARE(w->said().last(),
                 Box("Impossibile riaprire il database\n" + w->path + "\n" + error, QMessageBox::Critical));
        QVERIFY(!GenericBas::TipsDatabase && !GenericBas::TipsRecordset);
    }

    void newArchive() {
        QVERIFY(start({{"Alfa"}}));
        const QString created = w->dir.filePath("Nuovo.mdb");
        QCOMPARE(withSaveDialog("cmdUtility(3)", created.chopped(4), {K}),
                 "Digita il nome del nuovo DB|NewQuillnote.mdb|" + Filter);
        QCOMPARE(w->said().last(), Box("Il nuovo DB è stato creato.", QMessageBox::Information));
        QVERIFY(!u->DatabaseClosed && archiveIsOpen());
        // Over an existing file, even after the dialog's question: refused, the file untouched.
        const QByteArray existing = EngineFixture::fileBytes(created);
        QVERIFY(withSaveDialog("cmdUtility(3)", created, {Y, K}) != "boxes missing");
        QCOMPARE(w->said().last(), Box("Errore durante la creazione del DB.", QMessageBox::Critical));
        QCOMPARE(EngineFixture::fileBytes(created), existing);
        QVERIFY(leave());
        w->boxes.arm(K);
        w->win->OpenDatabase(created);
        QVERIFY(w->boxes.waitForCount(w->boxes.count()) &&
                w->said().last().contains("Il Database Nuovo.mdb è vuoto."));
        QCOMPARE(w->win->windowTitle(), "Quillnote - DB corrente: Nuovo.mdb");
    }

    void renaming() {
        QVERIFY(start({{"A", "p", "L'uso", "k1"},
                       {"B", "p", "Rete", "k2"},
                       {"C", "p", "Reti", "k1"},
                       {"D", "p", "Rete"},
                       {"E", "p", ""}}));
        QVERIFY(w->click("optRename(0)") && u->DatabaseClosed);
        QCOMPARE(w->items("cboRename"), QStringList({"L'uso", "Rete", "Reti"}));
        QVERIFY(u->txtRename->text() == "L'uso" && u->txtRename->selectedText() == "L'uso" &&
                u->cmdRename->isEnabled() && u->txtRename->maxLength() == 30);
        // Picks `from`, types `to` (unless null) and presses Rinomina.
        auto rename = [&](const QString& from, const QString& to) {
            if (!w->pick("cboRename", from)) return false;
            if (!to.isNull()) w->type("txtRename", to);
            return w->click("cmdRename", {K});
        };
        const QString categories = "SELECT group_concat(c, '|') FROM (SELECT ifnull(Categoria, '-') AS c "
                                   "FROM TipsTable ORDER BY KeyPrimary)";
        QVERIFY(rename("L'uso", "L'usi"));
        QCOMPARE(w->said().last(), Renamed);
        QCOMPARE(raw(w->path, categories), QStringList({"L'usi|Rete|Reti|Rete|"}));
        QVERIFY(rename("Rete", "Reti")); // merged
        QCOMPARE(w->items("cboRename"), QStringList({"L'usi", "Reti"}));
        QVERIFY(rename("Reti", " Reti ")); // blanks only: trimmed, nothing changes
        QCOMPARE(w->said().last(), Renamed);
        QCOMPARE(raw(w->path, categories), QStringList({"L'usi|Reti|Reti|Reti|"}));
        QVERIFY(rename("Reti", "") && rename("Reti", QString()));
        QCOMPARE(w->said().mid(w->said().size() - 2),
                 QStringList({Box("Digitare, nel textbox, il nuovo nome per la Categoria sopra selezionata",
                                  QMessageBox::Warning),
                              Box("Il nuovo nome è uguale a quello precedente.", QMessageBox::Warning)}));
        QCOMPARE(u->focusWidget(), u->txtRename);
        QCOMPARE(u->txtRename->selectedText(), "Reti");
        // Search keys: 20 characters at most; a field with no value has nothing to rename.
        QVERIFY(w->click("optRename(1)") && u->txtRename->maxLength() == 20);
        QCOMPARE(w->items("cboRename"), QStringList({"k1", "k2"}));
        w->type("txtRename", QString(25, 'x'));
        QCOMPARE(u->txtRename->text(), QString(20, 'x'));
        QCOMPARE(EngineFixture::rawExec(w->path, "UPDATE TipsTable SET ChiaveRicerca = ''"), 0);
        QVERIFY(w->click("optRename(0)") && w->click("optRename(1)", {K}));
        QCOMPARE(w->said().last(), Box("Non è presente nessuna voce da rinominare.", QMessageBox::Warning));
        QVERIFY(!u->cmdRename->isEnabled() && w->items("cboRename").isEmpty());
        QVERIFY(leave() && archiveIsOpen());
    }

    // Through the main window's button: view mode first, the window modal and fresh each time,
    // then the whole table at its first tip with the category list rebuilt.
    void openedFromTheMainWindow() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open({{"Alfa", "p", "Rete"}, {"Beta", "p", "Varie"}, {"Gamma", "p", "Rete"}}));
        for (int round = 0; round < 2; ++round) {
            // A filter in force, and the command panel shown.
            QVERIFY(w->pick("cboFindCategoria", round == 0 ? "Rete" : "Varie") && w->counter() != "1  di  3");
            QVERIFY(w->click("optWork(1)"));
            DialogDriver driver;
            bool asExpected = false;
            driver.onNext("frmUtility", [&](QWidget* d) {
                auto* f = static_cast<frmUtility*>(d);
                asExpected = f->isModal() && f->isEnabled() && !w->win->isEnabled() &&
                             w->win->optWork[0]->isChecked() && !f->DatabaseClosed &&
                             f->cboRename->count() == 0;
                if (round == 0) {
                    f->optRename[0]->click();
                    w->pick("cboRename", "Rete");
                    w->type("txtRename", "Reti");
                    w->click("cmdRename", {K});
                }
                f->cmdEsci->click();
            });
            w->click("cmdUtility");
            QVERIFY(asExpected && driver.done() == 1 && w->win->findChildren<frmUtility*>().isEmpty());
            QVERIFY(w->win->isEnabled());
            QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
            QCOMPARE(w->tip(), "Alfa 1  di  3");
            QCOMPARE(w->items("cboFindCategoria"), QStringList({"[Tutte le categorie]", "Reti", "Varie"}));
        }
        // The archive vanished meanwhile: the failure is reported and no archive is in use.
        DialogDriver driver;
        driver.onNext("frmUtility", [&](QWidget* d) {
            QFile::remove(w->path);
            w->click("optRename(0)", {K});
            static_cast<frmUtility*>(d)->cmdEsci->click();
        });
        w->boxes.arm(K); // the reopening's message
        w->click("cmdUtility");
        const QString missing = "Errore n° 3024\n" + qn::errorDescription(qn::err::FileNotFound, w->path);
        QCOMPARE(w->said().mid(w->said().size() - 2),
                 QStringList({Box(missing, QMessageBox::Critical),
                              Box("Impossibile riaprire il database\n" + w->path + "\n" + missing,
                                  QMessageBox::Critical)}));
        QCOMPARE(w->win->windowTitle(), "Quillnote - DB corrente: nessuno!");
        QVERIFY(!w->win->cmdUtility->isEnabled() && !w->win->cboTitoli->isEnabled() &&
                w->win->cmdOpenNewDB->isEnabled());
        QVERIFY(w->boxText(0).isEmpty() && w->counter().isEmpty() && w->win->isEnabled());
    }
};

QTEST_MAIN(tst_Utility)
#include "tst_utility.moc"
