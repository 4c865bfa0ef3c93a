// Opening the maintenance window, and bringing the main window up to date when it closes.
#include "maintenance/frmUtility.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using qn::ui::Skip;

namespace {

// The maintenance window could not reopen the archive: the window shows itself as after a
// failed opening, with no archive in use, and the user can open another one.
void showNoArchive(frmTips& w) {
    w.DatabaseOpen = false;
    w.RecordsetOpen = false;
    Skip([&] { w.ClearFields(); });
    for (QComboBox* list : {w.cboTitoli, w.cboGenericFind, w.cboFindCategoria}) {
        const QSignalBlocker block(list);
        list->clear();
    }
    w.setWindowTitle(QStringLiteral("Quillnote - DB corrente: nessuno!"));
    w.lblNumRecord->setText(QString());
    w.EnableControls(false);
}

bool archiveOpen() {
    return GenericBas::TipsDatabase && GenericBas::TipsDatabase->IsOpen() && GenericBas::TipsRecordset;
}

} // namespace

void frmTips::cmdUtility_Click() {
    if (!optWork[0]->isChecked()) optWork[0]->setChecked(true); // the wiring switches to view mode
    setEnabled(false);
    {
        frmUtility utility(this);
        utility.exec();
    } // released: the next opening starts from a fresh window
    if (!archiveOpen()) {
        showNoArchive(*this);
    } else if (qn::ui::ViewCount() == 0) {
        // No tip left (a repair that saved none): nothing is reloaded, and nothing stale stays shown.
        Skip([&] { FillCategoryList(false); });
        {
            const QSignalBlocker block(cboTitoli);
            cboTitoli->clear();
        }
        ShowCurrentRecord();
    } else {
        FillCategoryList(false);
    }
    setEnabled(true);
    FieldBox(0)->setFocus();
}
