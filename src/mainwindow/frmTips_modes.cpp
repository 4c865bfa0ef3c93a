// The two modes of the main window: view mode with the search panel, edit mode with the
// command panel, switched by the option buttons or a double-click on the record counter.
#include "mainwindow/EditState.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"

#include <QLabel>
#include <QPushButton>


void frmTips::optWork_Click(int index) {
    if (index == 0) {
        // Resetting the search type must not play the arrow animation.
        SuppressArrowAnimation = true;
        qn::ui::Skip([&] { cmdTool_Click(3); }); // a pending change is abandoned without a question
        qn::ui::Skip([&] {
            picWorkButton->hide();
            picSearch->show();
        });
        qn::ui::Skip([&] { SetSelectResearchText(SearchFields[0]); });
        lblSearchDescription->setText(QStringLiteral("Seleziona la categoria da ricercare"));
        FieldBox(0)->setFocus();
        SuppressArrowAnimation = false;
    } else if (index == 1) {
        picWorkButton->show();
        picSearch->hide();
        // All tips again, staying on the one shown.
        qn::ui::Skip([&] { FillCategoryList(true); });
        cmdTool[0]->setFocus();
    }
}

void frmTips::lblNumRecord_DblClick() {
    if (!optWork[1]->isEnabled()) return;
    // The counter never leaves an unsaved tip; only the option button can, discarding it.
    if (qn::editing::EditPending()) return;
    if (optWork[1]->isChecked())
        optWork[0]->setChecked(true);
    else
        optWork[1]->setChecked(true);
}
