// The commands on the archive's file: backup copy, compaction, repair, and a new archive.
// Each of the first three closes the main window's archive first; none reopens it: the window
// does when it closes.
#include "maintenance/ArchiveFiles.h"
#include "maintenance/frmUtility.h"

#include "dialogs/OpenSave.h"
#include "engine/Database.h"
#include "engine/DurableFile.h"
#include "mainwindow/StatementTrap.h"
#include "startup/GenericBas.h"
#include "startup/MessageBox.h"
#include "tipsdb/CreateDB.h"
#include "tipsdb/TipsSql.h"

#include <QApplication>
#include <QLocale>

using GenericBas::DatabasePath;

namespace {

const QString ArchiveFilter = QStringLiteral("Microsoft Access (*mdb)|*.mdb");

// The hourglass over the whole program while a long step runs; back to normal when done.
class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { restore(); }
    void restore() {
        if (m_on) QApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

// The save dialog as the file commands show it; the chosen path, or "" when cancelled.
QString AskForFile(QWidget* owner, const QString& title, const QString& proposed) {
    OpenSave dialog;
    dialog.SetDialogTitle(title);
    dialog.SetFilter(ArchiveFilter);
    dialog.SetOwner(owner);
    dialog.SetFileName(proposed);
    dialog.SetDefaultExt(QStringLiteral("mdb"));
    dialog.ShowSave();
    return dialog.FileName();
}

QString CompactionFailure() {
    return QStringLiteral(
        "Errore durante la compressione del DataBase.\nIl Database non e' stato compresso.");
}

} // namespace

void frmUtility::BackupDB() {
    CloseDatabase();
    QString chosen;
    bool asked = true;
    try {
        chosen = AskForFile(this, QStringLiteral("Scegli il percorso dove salvare il database.."),
                            QStringLiteral("Back") + GenericBas::FileNameOf(DatabasePath));
    } catch (const std::exception&) {
        asked = false; // a name the dialog cannot take (over 255 characters): the copy failed
    }
    if (asked && chosen.isEmpty()) return;
    bool copied = false;
    if (asked) CopyDBFile(chosen, copied);
    if (copied)
        qn::ui::ShowMessage(this, QStringLiteral("La copia del DB è stato salvata."),
                            QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
    else
        qn::ui::ShowMessage(this, QStringLiteral("Errore durante il salvataggio della copia del DB."),
                            QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}

void frmUtility::CopyDBFile(const QString& destination, bool& copied) {
    // Success is a complete copy (checked byte by byte) under the chosen name, not merely a
    // file there: an old copy the failed one was to replace does not count.
    copied = qn::ui::Skip([&] { qn::durable::Copy(DatabasePath, destination); }) &&
             GenericBas::FileExists(destination);
}

void frmUtility::CompactDB() {
    const auto answer = qn::ui::ShowMessage(
        this,
        QStringLiteral("Vuoi compattare i dati del ") + QStringLiteral("Quillnote") + QStringLiteral("?") +
            QStringLiteral("\n\nAttenzione: prima di effettuare questa operazione è \nconsigliabile ") +
            QStringLiteral("eseguire una copia di backup del DB."),
        QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) return;
    CloseDatabase();
    Hourglass hourglass;
    const maintenance::CompactOutcome outcome = maintenance::CompactArchive(DatabasePath);
    hourglass.restore();
    using Result = maintenance::CompactOutcome::Result;
    if (outcome.result == Result::Compacted) {
        // The numbers follow the system's own settings, whatever language the program speaks.
        qn::ui::ShowMessage(
            this, maintenance::CompactionReport(outcome.sizeBefore, outcome.sizeAfter, QLocale::system()),
            QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    QString text = CompactionFailure();
    if (outcome.result == Result::TempInTheWay)
        text += QStringLiteral("\nIl file ") + maintenance::CompactionTempPath(DatabasePath) +
                QStringLiteral(" esiste già: rinominarlo o spostarlo, poi ripetere la compattazione.");
    qn::ui::ShowMessage(this, text, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}

void frmUtility::RepairDB() {
    const auto answer =
        qn::ui::ShowMessage(this,
                            QStringLiteral("Vuoi riparare il database ") + QStringLiteral("Quillnote") +
                                QStringLiteral("?\n(operazione da effettuare solo se necessario)"),
                            QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) return;
    Hourglass hourglass;
    CloseDatabase();
    qn::RepairResult result;
    try {
        result = qn::DBEngine::RepairDatabase(DatabasePath, {tipsdb::TableName});
    } catch (const std::exception& e) {
        // The file is as it was; saying it was repaired would be false.
        hourglass.restore();
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowError(number, description);
        return;
    }
    hourglass.restore();
    QString text =
        QStringLiteral("Il database ") + QStringLiteral("Quillnote") + QStringLiteral(" è stato riparato.") +
        QStringLiteral("\n(per ottimizzare l'operazione si consiglia anche di compattare il database)");
    if (result.rebuilt) {
        text += QStringLiteral("\nTips recuperati: ") + QString::number(result.rows.value(tipsdb::TableName));
        if (!result.refused.isEmpty())
            text += QStringLiteral("\nVoci scartate perché non valide: ") +
                    result.refused.join(QStringLiteral(", "));
    }
    qn::ui::ShowMessage(this, text, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
}

void frmUtility::CreateNewDB() {
    QString chosen;
    bool asked = qn::ui::Skip([&] {
        chosen = AskForFile(this, QStringLiteral("Digita il nome del nuovo DB"),
                            QStringLiteral("NewQuillnote.mdb"));
    });
    if (asked && chosen.isEmpty()) return;
    if (CreateDB::CreateTipsDatabase(chosen))
        qn::ui::ShowMessage(this, QStringLiteral("Il nuovo DB è stato creato."), QMessageBox::Information,
                            QMessageBox::Ok, QMessageBox::Ok);
    else
        qn::ui::ShowMessage(this, QStringLiteral("Errore durante la creazione del DB."),
                            QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}
