// Record views: replacing the view shown in the main window by the result of a query, and the
// title list that goes with it.
#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QComboBox>
#include <QStringList>

using qn::ui::Skip;
using qn::ui::View;

namespace {

// Every title of `rs` from its first record on, in the set's order. A Null title has no text
// and is left out. The set ends past its last record.
QStringList collectTitles(qn::Recordset& rs) {
    QStringList titles;
    long count = 0;
    Skip([&] {
        rs.MoveLast();
        count = rs.RecordCount();
        rs.MoveFirst();
    });
    const int column = rs.FieldIndex(QStringLiteral("Titolo"));
    if (column < 0) return titles;
    titles.reserve(count);
    for (long i = 0; i < count; ++i) {
        Skip([&] {
            const QVariant title = rs.Fields(column).Value();
            if (title.isValid()) titles.append(title.toString());
        });
        if (!Skip([&] { rs.MoveNext(); })) break;
    }
    return titles;
}

// Puts all titles into the list in one go: with 100,000 tips, adding them one by one with a
// repaint each is far too slow.
void setTitles(QComboBox* list, const QStringList& titles) {
    const QSignalBlocker block(list);
    list->setUpdatesEnabled(false);
    list->clear();
    list->addItems(titles);
    list->setUpdatesEnabled(true);
}

} // namespace

void frmTips::LoadView(const QString& sql) {
    using GenericBas::TipsRecordset;
    Skip([&] { TipsRecordset = qn::ui::TipsDb().OpenRecordset(sql); });
    if (qn::ui::ViewCount() == 0) {
        if (ReportDamage()) return; // not an empty result: the archive is damaged
        // Nothing matched: the whole table becomes the view again; list and boxes stay as they are.
        Skip([&] { TipsRecordset = qn::ui::TipsDb().OpenRecordset(tipsdb::DefaultView()); });
        qn::ui::ShowMessage(this, QStringLiteral("Nessun record trovato."), QMessageBox::Information,
                            QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    Skip([&] {
        const QSignalBlocker block(cboTitoli);
        cboTitoli->clear();
        cboTitoli->setEnabled(false);
    });
    if (!SuppressListEvents) Skip([&] { setTitles(cboTitoli, collectTitles(View())); });
    Skip([&] {
        View().MoveLast();
        View().MoveFirst();
    });
    if (cboTitoli->count() >= 2) cboTitoli->setEnabled(true);
    ShowCurrentRecord();
}

void frmTips::FillTitleList() {
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
        Skip([&] { setTitles(cboTitoli, collectTitles(*rs)); });
        // Only enables: the caller's mode switch disables the list.
        if (cboTitoli->count() > 1) cboTitoli->setEnabled(true);
    }
    Skip([&] { rs->Close(); });
}
