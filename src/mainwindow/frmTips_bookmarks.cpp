// Bookmarks: the mark kept in each tip's Bookmark field, set or cleared from the toolbar.
#include "mainwindow/EditState.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/TitleList.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"

#include <QLabel>
#include <QPushButton>

void frmTips::cmdBookmark_Click() {
    ToggleBookmark();
    cmdSposta[2]->setFocus(); // Enter then moves on to the next tip
}

void frmTips::ToggleBookmark() {
    qn::Recordset* rs = qn::editing::OpenTipsSet();
    long count = 0;
    qn::ui::Skip([&] { count = rs ? rs->RecordCount() : 0; });
    if (count <= 0) {
        qn::ui::ShowMessage(this, QStringLiteral("Database vuoto!"), QMessageBox::Warning, QMessageBox::Ok,
                            QMessageBox::Ok);
        return;
    }
    // Any value but 0 and Null counts as set, also one written by another program.
    int current = 0;
    qn::ui::Skip([&] {
        const QVariant value = rs->Fields(QStringLiteral("Bookmark")).Value();
        current = value.isValid() ? value.toInt() : 0;
    });
    const QString question =
        current != 0 ? QStringLiteral("Vuoi eliminare il segnalibro associato al record corrente?")
                     : QStringLiteral("Vuoi aggiungere un segnalibro al record corrente?");
    if (qn::ui::ShowMessage(this, question, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes)
        return;

    const int stored = current != 0 ? 0 : 1;
    try {
        const quint64 before = qn::ui::TipsDb().ChangeStamp();
        rs->Edit();
        rs->Fields(QStringLiteral("Bookmark")).SetValue(stored);
        rs->Update();
        qn::ui::TitlesOf(cboTitoli).titleKept(qn::ui::TipsDb(), before); // no title changed
    } catch (const std::exception&) {
        // A refused change leaves record and mark as they were.
        qn::ui::Skip([&] {
            if (rs->EditMode() != qn::dbEditNone) rs->CancelUpdate();
        });
        return;
    }
    imgBookmark->setVisible(stored == 1);
}
