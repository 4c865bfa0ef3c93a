// An archive found damaged while the window uses it: one message that says so and how to
// repair it, and no half-read tips or lists left on screen.
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using qn::ui::Skip;

namespace {

QString damageMessage(const QString& path, bool typing) {
    QString text = QStringLiteral("Il database ") + path +
                   QStringLiteral(" è danneggiato: una parte dei dati non si può leggere.\n"
                                  "Per recuperare i dati leggibili eseguire la riparazione dalla "
                                  "finestra di manutenzione, poi riaprirlo.");
    if (typing)
        text += QStringLiteral("\nIl tip che si stava scrivendo non è stato salvato: resta nelle caselle.");
    return text;
}

} // namespace

bool frmTips::ReportDamage() {
    if (m_damageReported) return true;
    qn::Database* db = GenericBas::TipsDatabase.get();
    if (!db || !db->IsOpen() || !db->IsDamaged()) return false;
    m_damageReported = true;
    const QString path = db->Name();
    // What the user typed is kept; what was read from the file is not to be trusted.
    const bool typing = m_editingRecord;
    if (RecordsetOpen || GenericBas::TipsRecordset) Skip([] { qn::ui::View().Close(); });
    Skip([db] { db->Close(); });
    RecordsetOpen = false;
    DatabaseOpen = false;
    if (!typing) Skip([&] { ClearFields(); });
    for (QComboBox* list : {cboTitoli, cboGenericFind, cboFindCategoria}) {
        const QSignalBlocker block(list);
        list->clear();
    }
    for (QPushButton* b : cmdTool)
        b->setEnabled(false);
    setWindowTitle(QStringLiteral("Quillnote - DB corrente: nessuno!"));
    lblNumRecord->setText(QString());
    EnableControls(false);
    qn::ui::ShowMessage(this, damageMessage(path, typing), QMessageBox::Critical, QMessageBox::Ok,
                        QMessageBox::Ok);
    return true;
}
