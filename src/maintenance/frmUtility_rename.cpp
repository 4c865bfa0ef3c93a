// Renaming a category or a search key in every tip at once. The section works on its own
// connection: every list filling and every update opens the archive exclusively and closes it.
#include "maintenance/frmUtility.h"

#include "engine/Database.h"
#include "mainwindow/StatementTrap.h"
#include "startup/GenericBas.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

namespace {

QString FieldOf(int flag) {
    return flag != 0 ? QStringLiteral("ChiaveRicerca") : QStringLiteral("Categoria");
}

// Field sizes of Categoria and ChiaveRicerca.
constexpr int CategoryLength = 30;
constexpr int KeyLength = 20;

std::unique_ptr<qn::Database> OpenArchive() {
    return qn::DBEngine::Workspaces(0).OpenDatabase(GenericBas::DatabasePath, true, false);
}

qn::Database& Opened(const std::unique_ptr<qn::Database>& db) {
    if (!db) throw qn::EngineError::fromNumber(qn::err::ObjectClosed);
    return *db;
}

} // namespace

void frmUtility::optRename_Click(int index) {
    CloseDatabase();
    txtRename->setText(QString());
    cboRename->setEnabled(true);
    txtRename->setEnabled(true);
    // The limit comes before the list: a line edit cuts a text set beyond its limit, and the
    // first value is copied into it as soon as the list is filled.
    int flag = index == 0 ? 0 : 1;
    txtRename->setMaxLength(flag == 0 ? CategoryLength : KeyLength);
    FillRenameList(flag);
}

void frmUtility::FillRenameList(int& flag) {
    {
        const QSignalBlocker block(cboRename);
        cboRename->clear();
    }
    const QString field = FieldOf(flag);
    std::unique_ptr<qn::Database> db;
    try {
        db = OpenArchive();
        auto rs = db->OpenRecordset(tipsdb::DistinctValues(field), qn::dbOpenDynaset);
        QStringList values;
        if (rs->RecordCount() >= 1) {
            rs->MoveLast();
            const long n = rs->RecordCount();
            rs->MoveFirst();
            for (long i = 0; i < n; ++i) {
                const QVariant value = rs->Fields(field).Value();
                if (value.isValid() && !value.toString().isEmpty()) values << value.toString();
                rs->MoveNext();
            }
        }
        rs->Close();
        db->Close();
        if (!values.isEmpty()) {
            {
                const QSignalBlocker block(cboRename);
                cboRename->addItems(values);
                cboRename->setCurrentIndex(0);
            }
            cmdRename->setEnabled(true);
            cboRename_Click();
            return;
        }
    } catch (const std::exception& e) {
        // The archive cannot be opened or read: said in the rename handler's words; nothing to rename.
        qn::ui::Skip([&] { Opened(db).Close(); });
        cmdRename->setEnabled(false);
        const auto [number, description] = qn::ui::ErrorOf(e);
        ShowError(number, description);
        return;
    }
    qn::ui::ShowMessage(this, QStringLiteral("Non è presente nessuna voce da rinominare."),
                        QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
    cmdRename->setEnabled(false);
}

void frmUtility::cboRename_Click() {
    txtRename->setText(cboRename->currentText());
    txtRename->setFocus();
    txtRename->setSelection(0, static_cast<int>(txtRename->text().size()));
}

bool frmUtility::eventFilter(QObject* watched, QEvent* event) {
    // Before the line edit handles the focus loss, which drops its selection.
    if (watched == txtRename && event->type() == QEvent::FocusOut)
        m_renameSelStart =
            txtRename->hasSelectedText() ? txtRename->selectionStart() : txtRename->cursorPosition();
    return QDialog::eventFilter(watched, event);
}

void frmUtility::cmdRename_Click() {
    bool failed = false;
    // Every failing step is reported and the routine goes on with the next one.
    auto step = [&](auto&& statement) {
        try {
            statement();
        } catch (const std::exception& e) {
            const auto [number, description] = qn::ui::ErrorOf(e);
            ShowError(number, description);
            failed = true;
        }
    };
    int flag = optRename[0]->isChecked() ? 0 : 1;
    const QString field = FieldOf(flag);
    if (txtRename->text().isEmpty()) {
        qn::ui::ShowMessage(this,
                            QStringLiteral("Digitare, nel textbox, il nuovo nome per la ") + field +
                                QStringLiteral(" sopra selezionata"),
                            QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
        txtRename->setFocus();
        return;
    }
    if (txtRename->text() == cboRename->currentText()) {
        qn::ui::ShowMessage(this, QStringLiteral("Il nuovo nome è uguale a quello precedente."),
                            QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
        int start = m_renameSelStart;
        if (txtRename->hasFocus())
            start = txtRename->hasSelectedText() ? txtRename->selectionStart() : txtRename->cursorPosition();
        txtRename->setFocus();
        txtRename->setSelection(start, static_cast<int>(txtRename->text().size()));
        return;
    }
    std::unique_ptr<qn::Database> db;
    step([&] { db = OpenArchive(); });
    const QString statement =
        tipsdb::RenameUpdate(field, txtRename->text().trimmed(), cboRename->currentText().trimmed());
    step([&] { Opened(db).Execute(statement); });
    step([&] { Opened(db).Close(); });
    db.reset();
    if (!failed)
        qn::ui::ShowMessage(this, QStringLiteral("Operazione conclusa con successo."), QMessageBox::Warning,
                            QMessageBox::Ok, QMessageBox::Ok);
    FillRenameList(flag);
}
