// Opening an archive in the main window: the read-only, empty and incompatible cases, the two
// compatibility checks, the controls that depend on an open archive, and the window's load and
// unload.
#include "dialogs/OpenSave.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/Compatibility.h"
#include "tipsdb/TipsSql.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using qn::ui::Skip;

namespace {

const QString AppTitle = QStringLiteral("Quillnote");

// File attributes as the archive routines know them.
constexpr long AttrReadOnly = 1;
constexpr long AttrDirectory = 16;

} // namespace

bool frmTips::HasAttribute(const QString& path, long attribute) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return false;
    long attributes = 0;
    if (info.isDir()) attributes |= AttrDirectory;
    // Read-only when the owner may not write it, or when this user may not: a file made
    // read-only stays read-only for us even when we run with the rights to write it anyway.
    if (!(info.permissions() & QFileDevice::WriteOwner) || !info.isWritable()) attributes |= AttrReadOnly;
    return (attributes & attribute) == attribute;
}

void frmTips::ShowErrorNumber(long number, const QString& description) {
    // A failure that comes from damage in the archive is said once, as damage.
    if (ReportDamage()) return;
    const QString text = description.isEmpty() ? qn::errorDescription(number) : description;
    qn::ui::ShowMessage(
        this, QStringLiteral("Errore numero: ") + QString::number(number) + QLatin1Char('\n') + text,
        QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}

void frmTips::EnableControls(bool state) {
    for (QWidget* w : std::initializer_list<QWidget*>{cboSelectResearch, cboGenericFind, cboTitoli,
                                                      cboFindCategoria, cmdUtility, cmdBookmark, optWork[1]})
        w->setEnabled(state);
    for (QPushButton* b : cmdSposta)
        b->setEnabled(state);
}

bool frmTips::VerificaTabella() {
    return tipsdb::HasTipsTable(qn::ui::TipsDb());
}

bool frmTips::VerificaStrutturaTabella() {
    bool complete = false;
    Skip([&] { complete = tipsdb::HasTipsFields(qn::ui::TipsDb()); });
    return complete;
}

namespace {

// The three commands that change the archive follow its read-only state.
void allowChanges(frmTips& w, bool allowed) {
    w.cmdUtility->setEnabled(allowed);
    w.cmdBookmark->setEnabled(allowed);
    w.optWork[1]->setEnabled(allowed);
}

// Not a tips archive: say so (with `reason` as a last line, when there is one) and leave no
// archive in use.
void rejectIncompatible(frmTips& w, const QString& sDataBase, const QString& reason) {
    qn::ui::ShowMessage(&w,
                        QStringLiteral("Impossibile aprire e/o modificare\n") + sDataBase +
                            QStringLiteral("\nIl datatbase che si sta cercando di aprire non \n"
                                           "è compatibile con la struttura del programma!") +
                            (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason),
                        QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok,
                        AppTitle + QStringLiteral(" - Operazione annullata"));
    Skip([&] { qn::ui::TipsDb().Close(); });
    w.EnableControls(false);
    w.DatabaseOpen = false;
}

// An archive without tips: a writable one starts in edit mode with a hint how to begin.
void showEmptyArchive(frmTips& w, bool readOnly) {
    if (readOnly) {
        qn::ui::ShowMessage(&w, QStringLiteral("Database vuoto e di sola lettura!"), QMessageBox::Critical,
                            QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    w.ShowCurrentRecord();
    for (QComboBox* list : {w.cboGenericFind, w.cboFindCategoria}) {
        const QSignalBlocker block(list);
        list->clear();
    }
    w.optWork[1]->setChecked(true); // the wiring switches to edit mode
    QCoreApplication::processEvents();
    w.repaint();
    qn::ui::ShowMessage(&w,
                        QStringLiteral("Il Database ") + GenericBas::FileNameOf(GenericBas::DatabasePath) +
                            QStringLiteral(" è vuoto.\n"
                                           "Per iniziare ad inserire dei dati premere il pulsante Nuovo e,\n"
                                           "dopo aver digitato nelle caselle le informazioni da registrare,\n"
                                           "confermare premendo il pulsante Salva."),
                        QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
}

} // namespace

void frmTips::OpenDatabase(const QString& sDataBase) {
    using namespace GenericBas;
    DatabaseOpen = false;
    RecordsetOpen = false;
    m_damageReported = false;
    Skip([&] { ClearFields(); });
    for (QComboBox* list : {cboTitoli, cboGenericFind, cboFindCategoria}) {
        const QSignalBlocker block(list);
        list->clear();
    }
    setWindowTitle(AppTitle + QStringLiteral(" - DB corrente: nessuno!"));
    lblNumRecord->setText(QString());
    // An archive of the old Access formats is not opened but offered for conversion.
    if (OfferConversion(sDataBase)) return;
    const bool readOnly = HasAttribute(sDataBase, AttrReadOnly);

    try {
        if (readOnly) {
            qn::ui::ShowMessage(this,
                                QStringLiteral("Attenzione: il database è di sola lettura.\n"
                                               "Non sarà possibile eseguire nessuna modifica."),
                                QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
            allowChanges(*this, false);
        }
        // Assigned only once the file is open: a failed opening keeps the previous object.
        TipsDatabase = qn::DBEngine::Workspaces(0).OpenDatabase(sDataBase, true, readOnly);
        if (!readOnly) {
            DatabaseOpen = true;
            allowChanges(*this, true);
        }
    } catch (const std::exception& e) {
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowErrorNumber(number, description);
        EnableControls(false);
        DatabaseOpen = false;
        return;
    }

    try {
        // What the file would run on its own is refused before anything in it is opened.
        const tipsdb::Compatibility safety = tipsdb::CheckSchemaSafety(qn::ui::TipsDb());
        if (safety != tipsdb::Compatibility::Compatible) {
            rejectIncompatible(*this, sDataBase, tipsdb::RefusalReason(safety));
            return;
        }
        if (!VerificaTabella() || !VerificaStrutturaTabella()) {
            if (!ReportDamage()) rejectIncompatible(*this, sDataBase, {});
            return;
        }
        // Accepted: the file is now ours to change, and it is kept in the delete journal mode
        // (a file left in WAL mode by another program is checkpointed once, here).
        if (!readOnly) TipsDatabase->UseDeleteJournal();
        TipsRecordset = TipsDatabase->OpenRecordset(tipsdb::TableName, qn::dbOpenDynaset);
        RecordsetOpen = true;
        DatabasePath = sDataBase;
        setWindowTitle(AppTitle + QStringLiteral(" - DB corrente: ") + FileNameOf(DatabasePath));
        EnableControls(true);
        allowChanges(*this, !readOnly);
        if (TipsRecordset->RecordCount() > 0) {
            TipsRecordset->MoveLast();
            TipsRecordset->MoveFirst();
            FillCategoryList(false);
            ReportDamage(); // met while the first view was read
            return;
        }
        showEmptyArchive(*this, readOnly);
    } catch (const std::exception& e) {
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowErrorNumber(number, description);
        Skip([&] { qn::ui::TipsDb().Close(); });
        EnableControls(false);
        DatabaseOpen = false;
    }
}

void frmTips::Form_Load() {
    SetFieldLengths();
    SetMousePointers();
    GenericBas::SetTopMost(this, true);
    show();
    repaint();
    QCoreApplication::processEvents();
    OpenDatabase(GenericBas::DatabasePath);
    SuppressListEvents = false;
    LockFields(true);
    InitSearchPanel();
}

void frmTips::Form_Unload() {
    using namespace GenericBas;
    if (RecordsetOpen) Skip([&] { qn::ui::View().Close(); });
    if (DatabaseOpen) Skip([&] { qn::ui::TipsDb().Close(); });
    RecordsetOpen = false;
    DatabaseOpen = false;
    Skip([&] {
        // Only in the private folder: without one, "email.eml" would name a file of the current folder.
        const QString folder = TempFolder();
        const QString message = folder + QStringLiteral("email.eml");
        if (!folder.isEmpty() && FileExists(message)) QFile::remove(message);
    });
}

void frmTips::cmdOpenNewDB_Click() {
    using namespace GenericBas;
    Skip([&] {
        optWork[0]->setChecked(true); // the wiring switches to view mode
        QCoreApplication::processEvents();
        repaint();
    });
    QString chosen;
    Skip([&] {
        OpenSave dialog;
        dialog.SetDialogTitle(QStringLiteral("Seleziona il DB da aprire"));
        dialog.SetFilter(QStringLiteral("Microsoft Access (.mdb)|*.mdb"));
        dialog.SetOwner(this);
        dialog.ShowOpen();
        chosen = dialog.FileName();
    });
    if (!chosen.isEmpty()) {
        if (RecordsetOpen) Skip([&] { qn::ui::View().Close(); });
        if (DatabaseOpen) Skip([&] { qn::ui::TipsDb().Close(); });
        // A read-only archive is never closed explicitly, but it is opened exclusively: release
        // it before the new opening, or choosing the same file again would find it in use.
        TipsRecordset.reset();
        TipsDatabase.reset();
        DatabasePath.clear();
        OpenDatabase(chosen);
    }
    FieldBox(0)->setFocus();
}
