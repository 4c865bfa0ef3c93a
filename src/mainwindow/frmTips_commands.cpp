// The toolbar commands that act on the window itself: keeping it above the other windows, and
// opening the About window.
#include "about/frmAbout.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

void frmTips::chkTopMost_Click() {
    // Pressed (checked) means released from the top; the tooltip names the state now in force.
    const bool released = chkTopMost->isChecked();
    GenericBas::SetTopMost(this, !released);
    const QString tip = released ? QStringLiteral("Finestra non in primo piano")
                                 : QStringLiteral("Finestra sempre in primo piano");
    chkTopMost->setToolTip(tip);
    chkTopMost->setAccessibleName(tip);
    txtLine[0]->setFocus();
}

void frmTips::cmdAbout_Click() {
    // Disabling the window takes the focus from its control; it is given back afterwards.
    const QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    qn::ui::Skip([&] {
        frmAbout about(this);
        about.exec();
    });
    setEnabled(true);
    // Back to the user, where the platform does not give the owner of a closed modal window
    // the input by itself.
    activateWindow();
    if (focus) focus->setFocus();
}
