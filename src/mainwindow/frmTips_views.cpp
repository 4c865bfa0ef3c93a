// Record views: replacing the view shown in the main window by the result of a query, and the
// title list that goes with it (a TitleList model, which follows the window's own edits).
#include "mainwindow/StatementTrap.h"
#include "mainwindow/TitleList.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QComboBox>

using qn::ui::Skip;
using qn::ui::View;

void frmTips::LoadView(const QString& sql) {
    using GenericBas::TipsRecordset;
    const bool opened = Skip([&] { TipsRecordset = qn::ui::TipsDb().OpenRecordset(sql); });
    if (qn::ui::ViewCount() == 0) {
        if (ReportDamage()) return; // not an empty result: the archive is damaged
        // Nothing matched: the whole table becomes the view again; list and boxes stay as they are.
        Skip([&] { TipsRecordset = qn::ui::TipsDb().OpenRecordset(tipsdb::DefaultView()); });
        qn::ui::ShowMessage(this, QStringLiteral("Nessun record trovato."), QMessageBox::Information,
                            QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    qn::ui::TitleList& titles = qn::ui::TitlesOf(cboTitoli);
    const bool wholeTable = opened && sql == tipsdb::DefaultView();
    // A list that holds every title of the table as it is now is what the default view lists.
    bool listed = false;
    Skip([&] { listed = wholeTable && !SuppressListEvents && titles.holdsWholeTable(qn::ui::TipsDb()); });
    Skip([&] {
        const QSignalBlocker block(cboTitoli);
        if (!listed) cboTitoli->clear();
        cboTitoli->setEnabled(false);
    });
    if (!SuppressListEvents && !listed) {
        Skip([&] {
            const QSignalBlocker block(cboTitoli);
            titles.load(View(), qn::ui::TipsDb(), wholeTable);
        });
    }
    Skip([&] {
        View().MoveLast();
        View().MoveFirst();
    });
    if (cboTitoli->count() >= 2) cboTitoli->setEnabled(true);
    ShowCurrentRecord();
}

void frmTips::FillTitleList() {
    qn::ui::TitleList& titles = qn::ui::TitlesOf(cboTitoli);
    // Kept up to date by the window's own saves and deletes; read anew after any other change.
    bool listed = false;
    Skip([&] { listed = titles.holdsWholeTable(qn::ui::TipsDb()); });
    if (!listed) {
        Skip([&] {
            const QSignalBlocker block(cboTitoli);
            cboTitoli->clear();
        });
        std::unique_ptr<qn::Recordset> rs;
        Skip([&] { rs = qn::ui::TipsDb().OpenRecordset(tipsdb::DefaultView()); });
        if (!rs) return;
        bool any = false;
        Skip([&] { any = rs->RecordCount() != 0; });
        if (any) {
            Skip([&] {
                const QSignalBlocker block(cboTitoli);
                titles.load(*rs, qn::ui::TipsDb(), true);
            });
        }
        Skip([&] { rs->Close(); });
    }
    // Only enables: the caller's mode switch disables the list.
    if (cboTitoli->count() > 1) cboTitoli->setEnabled(true);
}
