// The maintenance window on a real archive under a real main window; files read back through SQLite.
#include "DialogDriver.h"
#include "EngineFixture.h"
#include "TestArchive.h"
#include "maintenance/ArchiveFiles.h"
#include "maintenance/frmUtility.h"
#include "startup/GenericBas.h"

#include <QtTest>

namespace {

const auto Y = QMessageBox::Yes, N = QMessageBox::No, K = QMessageBox::Ok;
const auto Info = QMessageBox::Information, Crit = QMessageBox::Critical, Warn = QMessageBox::Warning;
const auto raw = EngineFixture::rawColumn;
const auto bytes = EngineFixture::fileBytes;
const QString Repaired = "Il database Quillnote è stato riparato.\n(per ottimizzare l'operazione si "
                         "consiglia anche di compattare il database)";
const QString RepairQ =
    Box("Vuoi riparare il database Quillnote?\n(operazione da effettuare solo se necessario)", Info, Y | N);
const QString CompactQ = Box("Vuoi compattare i dati del Quillnote?\n\nAttenzione: prima di effettuare "
                             "questa operazione è \nconsigliabile eseguire una copia di backup del DB.",
                             Info, Y | N);
const QString Filter = "|Microsoft Access (*mdb) (*.mdb)";

} // namespace

class tst_Utility : public QObject {
    Q_OBJECT

    std::unique_ptr<ArchiveWindow> w;
    frmUtility* u = nullptr;
    QString dialog; // title|name|filters of the last save dialog

    static bool archiveIsOpen() { return GenericBas::TipsDatabase && GenericBas::TipsDatabase->IsOpen(); }
    // A main window on an archive of `tips`, and the maintenance window over it, shown (not modal).
    bool start(const QList<Tip>& tips, const Answers& load = {}, const QString& sql = {}) {
        w = std::make_unique<ArchiveWindow>();
        u = w->open(tips, load, sql) ? new frmUtility(w->win.get()) : nullptr;
        return u && (u->show(), QTest::qWaitForWindowExposed(u));
    }
    bool leave(const Answers& answers = {}) { return w->click("cmdEsci", answers) && !u->isVisible(); }
    bool cmd(int i, const Answers& answers) { return w->click(QString("cmdUtility(%1)").arg(i), answers); }
    // cmdUtility(i) with its save dialog getting `name` ("" cancels); the last box shown.
    QString save(int i, const QString& name, const Answers& answers) {
        DialogDriver driver;
        driver.onFileDialog([&](QFileDialog* d) {
            dialog = d->windowTitle() + '|' + d->findChild<QLineEdit*>("fileNameEdit")->text() + '|' +
                     d->nameFilters().join(';');
            if (name.isEmpty()) return d->reject();
            DialogDriver::typeAndConfirm(d, name);
            if (d->isVisible()) d->reject();
        });
        return cmd(i, answers) ? w->said().value(w->said().size() - 1) : "boxes missing";
    }
    // Runs `inside` in the window the main window's button opens, then leaves it answering `leaving`.
    void viaButton(const Answers& leaving, const std::function<void()>& inside) {
        DialogDriver driver;
        driver.onNext("frmUtility", [&](QWidget* d) {
            u = static_cast<frmUtility*>(d);
            const auto closing = qScopeGuard([&] { w->click("cmdEsci", leaving); });
            QVERIFY(u->isModal() && !w->win->isEnabled() && w->win->optWork[0]->isChecked());
            QVERIFY(!u->DatabaseClosed && u->cboRename->count() == 0); // a fresh window each time
            inside();
        });
        w->click("cmdUtility");
        QVERIFY(driver.done() == 1 && w->win->findChildren<frmUtility*>().isEmpty() && w->win->isEnabled());
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void cleanup() { w.reset(); }

    // No tips: compaction, repair, renaming off, the warning shown; closing at once keeps the archive.
    void emptyArchiveAndClosingAtOnce() {
        for (const bool empty : {false, true}) {
            QVERIFY(empty ? start({}, {K}) : start({{"Alfa"}}));
            QStringList off;
            for (QWidget* c : u->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!c->isEnabled()) off << c->objectName();
            off.sort();
            QCOMPARE(off.join(' '),
                     QString("cboRename cmdRename %1txtRename")
                         .arg(empty ? "cmdUtility(0) cmdUtility(1) optRename(0) optRename(1) " : ""));
            QVERIFY(u->Text1->isHidden() && u->lblDbVuoto->isVisible() == empty);
            const qn::Database* before = GenericBas::TipsDatabase.get();
            empty ? void(u->close()) : QTest::keyClick(u, Qt::Key_Escape);
            QVERIFY(!u->isVisible() && !u->DatabaseClosed && GenericBas::TipsDatabase.get() == before);
        }
    }
    // The help; backups (cancelled, exact, over a file, onto the archive refused); a new archive.
    void helpAndSaveDialogs() {
        QVERIFY(start({{"Alfa"}, {"Beta"}}) && w->click("Check1") && u->focusWidget() == u->Text1);
        QCOMPARE(u->Text1->textCursor().selectedText(), "Attenzione! Prima di effettuare qualunque modifica "
                                                        "al database creare - sempre - una copia di backup.");
        QVERIFY(w->click("Check1") && u->Text1->isHidden());
        const QByteArray archive = bytes(w->path);
        const QString copy = w->dir.filePath("copia.mdb"), created = w->dir.filePath("Nuovo.mdb");
        QVERIFY(save(2, "", {}).isEmpty() && u->DatabaseClosed);
        QCOMPARE(dialog, "Scegli il percorso dove salvare il database..|BackQuillnote.mdb" + Filter);
        for (const Answers& answers : {Answers{K}, Answers{Y, K}}) {
            QCOMPARE(save(2, copy, answers), Box("La copia del DB è stato salvata.", Info));
            QVERIFY(bytes(copy) == archive && QFile::resize(copy, 0));
        }
        QCOMPARE(save(2, w->path, {Y, K}), Box("Errore durante il salvataggio della copia del DB.", Crit));
        QCOMPARE(bytes(w->path), archive);
        QCOMPARE(QDir(w->dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
                 QStringList({"copia.mdb", "Quillnote.mdb"})); // no half copy left behind
        QCOMPARE(save(3, created.chopped(4), {K}), Box("Il nuovo DB è stato creato.", Info));
        QCOMPARE(dialog, "Digita il nome del nuovo DB|NewQuillnote.mdb" + Filter);
        const QByteArray existing = bytes(created);
        QCOMPARE(save(3, created, {Y, K}), Box("Errore durante la creazione del DB.", Crit));
        // Closed once (by the backup): a later command leaves alone whatever archive is open then.
        GenericBas::TipsDatabase = qn::DBEngine::Workspaces(0).OpenDatabase(w->path, true, false);
        u->CloseDatabase();
        QVERIFY(bytes(created) == existing && u->DatabaseClosed && archiveIsOpen());
        GenericBas::TipsDatabase.reset();
        QVERIFY(leave() && archiveIsOpen()); // reopened by the window
        QVERIFY(w->answering({K}, [&] { w->win->OpenDatabase(created); }));
        QVERIFY(w->said().last().contains("Il Database Nuovo.mdb è vuoto."));
        QCOMPARE(w->win->windowTitle(), "Quillnote - DB corrente: Nuovo.mdb");
    }

    // No changes nothing; a Temp.mdb in the way stops the compaction, both files untouched; Yes shrinks
    // keeping every tip. Repair, sound and damaged: the tips on sound pages kept, and counted.
    void compactionAndRepair() {
        // The report of a file that grew, rates tied to the even number, sizes past 2 GiB.
        const QLocale de(QLocale::German);
        QCOMPARE(maintenance::CompactionReport(8192, 12288, de),
                 "Il DataBase è stato compresso.\n\nDimensioni originali     \t8.192 (bytes)\nDimensioni "
                 "compresse\t12.288 (bytes)\n\nSpazio  recuperato      \t-4.096 (bytes)\n\nCompressione      "
                 "       \t-50%");
        QVERIFY(maintenance::CompactionReport(200, 3, de).endsWith("\t98%") &&
                maintenance::CompactionReport(200, 1, de).endsWith("\t100%"));
        QVERIFY(maintenance::CompactionReport(5000000000, 2500000000, de)
                    .contains("\t2.500.000.000 (bytes)\n\nCompressione             \t50%"));
        QVERIFY(start({}, {},
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1600) INSERT "
                      "INTO TipsTable(Titolo, Procedura) SELECT printf('Tip %04d', i), printf('%0800d', i) "
                      "FROM n; DELETE FROM TipsTable WHERE KeyPrimary % 4 <> 0"));
        const QString temp = w->dir.filePath("Temp.mdb"),
                      whole = "SELECT count(*) FROM TipsTable WHERE Titolo = printf('Tip %04d', KeyPrimary) "
                              "AND Procedura = printf('%0800d', KeyPrimary)";
        const QByteArray before = bytes(w->path);
        QVERIFY(cmd(0, {N}) && cmd(1, {N}) && archiveIsOpen());
        QVERIFY(bytes(w->path) == before && CreateTips(temp, {{"Altro archivio"}}));
        const QByteArray tempBytes = bytes(temp);
        QVERIFY(cmd(0, {Y, K}) && bytes(temp) == tempBytes && bytes(w->path) == before);
        QVERIFY(QFile::remove(temp) && cmd(0, {Y, K}) && !QApplication::overrideCursor());
        const qint64 after = QFileInfo(w->path).size();
        QVERIFY(after < before.size() / 2 && !QFileInfo::exists(temp));
        QVERIFY(cmd(1, {Y, K}) && raw(w->path, whole) == QStringList{"400"}); // none lost by either
        const QStringList leaves = raw(
            w->path, "SELECT pageno FROM dbstat WHERE name='TipsTable' AND pagetype='leaf' ORDER BY pageno");
        if (leaves.isEmpty() || leaves[0].startsWith('<')) QSKIP("this SQLite has no dbstat table");
        EngineFixture::overwrite(w->path, (leaves[leaves.size() / 2].toLongLong() - 1) * 4096, 4096);
        const QString saved = cmd(1, {Y, K}) ? raw(w->path, "SELECT count(*) FROM TipsTable").value(0) : "";
        QVERIFY(saved.toInt() < 400 && saved.toInt() > 350 && raw(w->path, whole).value(0) == saved);

        const QString inTheWay =
            "Errore durante la compressione del DataBase.\nIl Database non e' stato compresso.\nIl file " +
            temp + " esiste già: rinominarlo o spostarlo, poi ripetere la compattazione.";
        const QString shrunk = maintenance::CompactionReport(before.size(), after, QLocale::system());
        QCOMPARE(w->said(), QStringList({CompactQ, RepairQ, CompactQ, Box(inTheWay, Crit), CompactQ,
                                         Box(shrunk, Info), RepairQ, Box(Repaired, Info), RepairQ,
                                         Box(Repaired + "\nTips recuperati: " + saved, Info)}));
        QVERIFY(w->boxes.seen()[0].defaultButton == Y && w->boxes.seen()[1].defaultButton == Y);
        QVERIFY(leave() && GenericBas::TipsRecordset->RecordCount() == saved.toInt());
    }

    // From the main window: renaming (apostrophes, a merge, blanks, refusals, keys, none left), then
    // the table at its first tip. The file damaged meanwhile: errors said, the file kept, no archive.
    void renamingFromTheMainWindow() {
        w = std::make_unique<ArchiveWindow>();
        QVERIFY(w->open({}, {},
                        "INSERT INTO TipsTable(Titolo, Procedura, Categoria, ChiaveRicerca) VALUES ('Alfa', "
                        "'p', 'L''uso', 'k1'), ('Beta', 'p', 'Rete', 'k2'), ('Gamma', 'p', 'Reti', 'k1'), "
                        "('Delta', 'p', 'Rete', NULL), ('Eta', 'p', NULL, NULL)"));
        QVERIFY(w->pick("cboFindCategoria", "Rete") && w->counter() != "1  di  5" && w->click("optWork(1)"));
        viaButton({}, [&] {
            QVERIFY(w->click("optRename(0)") && u->DatabaseClosed && u->txtRename->maxLength() == 30);
            QCOMPARE(w->items("cboRename"), QStringList({"L'uso", "Rete", "Reti"}));
            QVERIFY(u->txtRename->selectedText() == "L'uso" && u->cmdRename->isEnabled());
            const QStringList renames = {"L'uso",  "L'usi", "Rete", "Reti", "Reti",
                                         " Reti ", "Reti",  "",     "Reti", QString()};
            for (qsizetype i = 0; i < renames.size(); i += 2) {
                QVERIFY(w->pick("cboRename", renames[i]));
                if (!renames[i + 1].isNull()) w->type("txtRename", renames[i + 1]);
                QVERIFY(w->click("cmdRename", {K}));
            }
            QCOMPARE(w->items("cboRename"), QStringList({"L'usi", "Reti"}));
            QCOMPARE(raw(w->path, "SELECT group_concat(c, '|') FROM (SELECT ifnull(Categoria, '-') AS c FROM "
                                  "TipsTable ORDER BY KeyPrimary)"),
                     QStringList({"L'usi|Reti|Reti|Reti|-"}));
            const QString done = Box("Operazione conclusa con successo.", Warn),
                          same = Box("Il nuovo nome è uguale a quello precedente.", Warn);
            QCOMPARE(
                w->said(),
                QStringList(
                    {done, done, done,
                     Box("Digitare, nel textbox, il nuovo nome per la Categoria sopra selezionata", Warn),
                     same}));
            QVERIFY(u->focusWidget() == u->txtRename && u->txtRename->selectedText() == "Reti");
            QVERIFY(w->click("optRename(1)") && u->txtRename->maxLength() == 20 &&
                    w->items("cboRename") == QStringList({"k1", "k2"}));
            QCOMPARE(EngineFixture::rawExec(w->path, "UPDATE TipsTable SET ChiaveRicerca = ''"), 0);
            QVERIFY(w->click("optRename(0)") && w->click("optRename(1)", {K}) && !u->cmdRename->isEnabled());
            QCOMPARE(w->said().last(), Box("Non è presente nessuna voce da rinominare.", Warn));
        });
        QCOMPARE(w->win->focusWidget(), w->widget("txtdb(0)"));
        QCOMPARE(w->tip(), "Alfa 1  di  5");
        QCOMPARE(w->items("cboFindCategoria"), QStringList({"[Tutte le categorie]", "L'usi", "Reti"}));
        QByteArray damaged;
        viaButton({K}, [&] {
            EngineFixture::overwrite(w->path, 100, 3996);
            damaged = bytes(w->path);
            QVERIFY(w->click("optRename(0)", {K}) && cmd(1, {Y, K}));
        });
        const QString error = "Errore n° 3049\n" + qn::errorDescription(qn::err::CannotOpen, w->path);
        QCOMPARE(w->said().mid(6),
                 QStringList({Box(error, Crit), RepairQ, Box(error, Crit),
                              Box("Impossibile riaprire il database\n" + w->path + "\n" + error, Crit)}));
        QVERIFY(bytes(w->path) == damaged && !GenericBas::TipsDatabase && !GenericBas::TipsRecordset);
        QCOMPARE(w->win->windowTitle(), "Quillnote - DB corrente: nessuno!");
        QVERIFY(!w->win->cmdUtility->isEnabled() && !w->win->cboTitoli->isEnabled() &&
                w->win->cmdOpenNewDB->isEnabled() && w->boxText(0).isEmpty() && w->counter().isEmpty());
    }
};

QTEST_MAIN(tst_Utility)
#include "tst_utility.moc"
