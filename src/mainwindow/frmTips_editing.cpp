// Editing commands of the main window: new, save, delete, cancel and change a tip, the checks
// made before a tip is stored, and the category / search-key lists offered while editing.
#include "mainwindow/EditState.h"
#include "mainwindow/StatementTrap.h"
#include "mainwindow/TitleList.h"
#include "mainwindow/frmTips.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <optional>

using qn::editing::OpenTipsSet;
using qn::editing::TrimSpaces;

namespace {

constexpr int CategoriaMax = 30;
constexpr int ChiaveRicercaMax = 20;

void warn(QWidget* parent, const QString& text) {
    qn::ui::ShowMessage(parent, text, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
}

QString tooLongMessage(const QString& field, int limit) {
    return QStringLiteral("La lunghezza max consentita per il campo") + QLatin1Char('\n') + field +
           QStringLiteral(" è di %1 caratteri.").arg(limit);
}

// Engine errors carry their own number and text; anything else is reported as unclassified.
void reportError(frmTips* window, const std::exception& error) {
    const auto [number, description] = qn::ui::ErrorOf(error);
    window->ShowErrorNumber(number, description);
}

// The view in use; an engine error when the window has none, so callers report it as any other.
qn::Recordset& requireTipsSet() {
    if (qn::Recordset* rs = OpenTipsSet()) return *rs;
    throw qn::EngineError::fromNumber(qn::err::ObjectClosed);
}

// The distinct values of one field, in the order the grouping query returns them.
QStringList distinctValues(const QString& field, bool skipEmpty) {
    return qn::ui::ListValues(tipsdb::DistinctValues(field), field, skipEmpty);
}

// The archive's change stamp before a write, for the title list; 0 (never a stamp) without one.
quint64 stampBefore() {
    quint64 stamp = 0;
    qn::ui::Skip([&] { stamp = qn::ui::TipsDb().ChangeStamp(); });
    return stamp;
}

// Tells the title list which record a save wrote and the title it has now. An added record is
// the set's last modified one; reaching it moves the set, which the save repositions anyway.
void noteStoredTitle(QComboBox* list, qn::Recordset& rs, bool isEdit, quint64 before) {
    qn::ui::TitleList& titles = qn::ui::TitlesOf(list);
    try {
        if (!isEdit) rs.SetBookmark(rs.LastModified());
        titles.titleStored(qn::ui::TipsDb(), before,
                           rs.Fields(QStringLiteral("KeyPrimary")).Value().toLongLong(),
                           rs.Fields(QStringLiteral("Titolo")).Value());
    } catch (const std::exception&) {
        titles.forgetTable(); // read anew by FillTitleList
    }
}

void fillList(QComboBox* cbo, const QStringList& values) {
    cbo->clear();
    cbo->clearEditText();
    cbo->addItems(values);
    // Filling an empty combo box makes its first entry current; the list starts with no text.
    cbo->setCurrentIndex(-1);
    cbo->clearEditText();
}

} // namespace

void frmTips::cmdTool_Click(int index) {
    switch (index) {
    case 0:
        ClearFields();
        NewRecord();
        // A refused AddNew leaves the window browsing, without the insert lists.
        if (qn::editing::PendingEditMode() == qn::dbEditAdd) ShowInsertLists(true);
        break;
    case 1:
        SaveRecord();
        break;
    case 2:
        DeleteRecord();
        break;
    case 3:
        CancelEdit();
        ShowInsertLists(false);
        break;
    case 4:
        EditRecord();
        break;
    default:
        break;
    }
}

void frmTips::NewRecord() {
    FillInsertLists();
    try {
        requireTipsSet().AddNew();
    } catch (const std::exception& e) {
        // Nothing was started: report it and show the current tip again (the boxes were emptied).
        reportError(this, e);
        ShowCurrentRecord();
        return;
    }
    SetBrowseMode(false);
    LockFields(false);
    FieldBox(0)->setFocus();
}

void frmTips::EditRecord() {
    qn::Recordset* rs = OpenTipsSet();
    long count = 0;
    qn::ui::Skip([&] { count = rs ? rs->RecordCount() : 0; });
    if (count <= 0) {
        ShowEmptyDatabaseMessage();
        return;
    }
    qn::ui::Skip([&] { rs->Edit(); });
    FillInsertLists();
    ShowInsertLists(true);
    SetBrowseMode(false);
    LockFields(false);
    FieldBox(0)->setFocus();
}

bool frmTips::ValidateRecord() {
    if (FieldText(0).isEmpty()) {
        warn(this, QStringLiteral("Digitare il titolo del Tip"));
        FieldBox(0)->setFocus();
        return false;
    }
    if (FieldText(1).isEmpty()) {
        warn(this, QStringLiteral("Digitare la descrizione del Tip"));
        FieldBox(1)->setFocus();
        return false;
    }
    const QString categoria = cboInsertCategoria->currentText();
    if (categoria.isEmpty()) {
        warn(this, QStringLiteral("Digitare una categoria da associare al Tip"));
        cboInsertCategoria->setFocus();
        return false;
    }
    if (categoria.size() > CategoriaMax) {
        warn(this, tooLongMessage(QStringLiteral("Categoria"), CategoriaMax));
        cboInsertCategoria->setFocus();
        return false;
    }
    SetFieldText(2, categoria);
    const QString key = cboInsertKey->currentText();
    if (key.size() <= ChiaveRicercaMax) {
        SetFieldText(3, key);
        return true;
    }
    warn(this, tooLongMessage(QStringLiteral("ChiaveRicerca"), ChiaveRicercaMax));
    cboInsertKey->setFocus();
    return false;
}

void frmTips::SaveRecord() {
    if (!ValidateRecord()) return;
    try {
        qn::Recordset& rs = requireTipsSet();
        const bool isEdit = rs.EditMode() == qn::dbEditInProgress;
        const QByteArray editedRecord = isEdit ? rs.Bookmark() : QByteArray();
        static const char* const fields[FieldCount] = {"Titolo", "Procedura", "Categoria", "ChiaveRicerca",
                                                       "Note"};
        for (int i = 0; i < FieldCount; ++i)
            rs.Fields(QString::fromLatin1(fields[i])).SetValue(TrimSpaces(FieldText(i)));
        const quint64 before = stampBefore();
        rs.Update();
        noteStoredTitle(cboTitoli, rs, isEdit, before);

        FillTitleList();
        if (rs.RecordCount() != 0) {
            rs.MoveLast();
            rs.MoveFirst();
        }
        if (isEdit)
            rs.SetBookmark(editedRecord);
        else
            rs.MoveLast(); // a tip added through the view stands at its end
        SetBrowseMode(true);
        LockFields(true);
        ShowCurrentRecord();
        ShowInsertLists(false);
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void frmTips::DeleteRecord() {
    try {
        qn::Recordset* rs = OpenTipsSet();
        if (!rs || rs->RecordCount() <= 0) {
            ShowEmptyDatabaseMessage();
            return;
        }
        if (qn::ui::ShowMessage(this, QStringLiteral("Sei sicuro di voler eliminare il record corrente?"),
                                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes) != QMessageBox::Yes)
            return;
        std::optional<qint64> key;
        qn::ui::Skip([&] { key = rs->Fields(QStringLiteral("KeyPrimary")).Value().toLongLong(); });
        const quint64 before = stampBefore();
        rs->Delete();
        if (key)
            qn::ui::TitlesOf(cboTitoli).recordDeleted(qn::ui::TipsDb(), before, *key);
        else
            qn::ui::TitlesOf(cboTitoli).forgetTable();
        rs->MoveNext();
        if (rs->RecordCount() > 0 && rs->IsEOF()) {
            rs->MoveLast();
            if (rs->IsBOF()) {
                cboTitoli->clear();
                cboTitoli->setEnabled(false);
                return;
            }
        }
        FillTitleList();
        ShowCurrentRecord();
        if (rs->RecordCount() == 0) cboGenericFind->clear();
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void frmTips::CancelEdit() {
    bool pending = false;
    if (qn::Recordset* rs = OpenTipsSet()) {
        try {
            const int mode = rs->EditMode();
            pending = mode == qn::dbEditInProgress || mode == qn::dbEditAdd;
            if (pending) rs->CancelUpdate();
        } catch (const std::exception& e) {
            reportError(this, e);
            pending = true;
        }
    }
    // Back to browsing also when the window was left editing without a pending change (a refused
    // Edit, a store that failed half-way): Annulla must always lead out of the editing state.
    if (pending || m_editingRecord) {
        ShowCurrentRecord();
        SetBrowseMode(true);
        LockFields(true);
    }
}

void frmTips::SetBrowseMode(bool browsing) {
    m_editingRecord = !browsing;
    cmdTool[0]->setEnabled(browsing);
    cmdTool[2]->setEnabled(browsing);
    cmdTool[4]->setEnabled(browsing);
    cmdTool[1]->setEnabled(!browsing);
    cmdTool[3]->setEnabled(!browsing);
    cmdUtility->setEnabled(browsing);
    cmdBookmark->setEnabled(browsing);
    for (QPushButton* b : cmdSposta)
        b->setEnabled(browsing);
    cboTitoli->setEnabled(browsing);
    if (browsing && cboTitoli->count() < 2)
        cboTitoli->setEnabled(false); // one title or none offers no choice
}

void frmTips::ShowEmptyDatabaseMessage() {
    qn::ui::ShowMessage(this,
                        QStringLiteral("Attenzione: il database è vuoto!") + QLatin1Char('\n') +
                            QStringLiteral("Per iniziare ad inserire i dati, premere il pulsante Nuovo."),
                        QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
}

void frmTips::FillInsertLists() {
    fillList(cboInsertCategoria, distinctValues(QStringLiteral("Categoria"), false));
    fillList(cboInsertKey, distinctValues(QStringLiteral("ChiaveRicerca"), true));
}

void frmTips::ShowInsertLists(bool show) {
    cboInsertCategoria->setVisible(show);
    cboInsertKey->setVisible(show);
    if (!show) return;
    const QString categoria = TrimSpaces(FieldText(2));
    if (!categoria.isEmpty()) cboInsertCategoria->setEditText(categoria);
    const QString key = TrimSpaces(FieldText(3));
    if (!key.isEmpty()) cboInsertKey->setEditText(key);
}
