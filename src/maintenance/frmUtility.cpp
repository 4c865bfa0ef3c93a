// The maintenance window itself: loading, the command buttons, the help text, closing the main
// window's archive before a command touches the file and reopening it when the window closes.
#include "maintenance/frmUtility.h"

#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips_ui.h"
#include "startup/GenericBas.h"
#include "startup/MessageBox.h"
#include "tipsdb/TipsSql.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>

using qn::ui::Skip;

namespace {

// The help text; its first sentence, selected when it is shown, is this many characters long.
constexpr int FirstSentenceLength = 101;

QString HelpText() {
    const QString nl = QStringLiteral("\n");
    const QString quote = QStringLiteral("\"");
    return QStringLiteral(
               "Attenzione! Prima di effettuare qualunque modifica al database creare - sempre - una "
               "copia di backup.") +
           nl + nl + QStringLiteral("- CopiaDB") + nl +
           QStringLiteral("Questo comando permette di salvare una copia di backup del database corrente.") +
           nl + nl + QStringLiteral("- Compatta DB") + nl +
           QStringLiteral("Quando si modificano i dati in un database, questo potrebbe ") +
           QStringLiteral("frammentarsi e utilizzare più spazio su disco del necessario.") + nl +
           QStringLiteral(
               "È consigliabile, quindi, utilizzare periodicamente questo comando per compattare il "
               "database.  Inoltre, il database compattato, è in genere di dimensioni inferiori e spesso "
               "è più veloce.") +
           nl + nl + QStringLiteral("- Ripara DB") + nl +
           QStringLiteral("Questo comando tenta di ripristinare un database probabilmente danneggiato") +
           QStringLiteral(" da un'operazione di scrittura incompleta provocata, ad esempio,") +
           QStringLiteral(
               " da un'improvvisa nterruzione di corrente o da un problema dell'hardware del computer.") +
           QStringLiteral(
               " Dopo il ripristino di un database, si consiglia di compattarlo utilizzando il comando ") +
           quote + QStringLiteral("CompattaDB") + quote + QStringLiteral(".") + nl + nl +
           QStringLiteral("- Crea nuovo database") + nl +
           QStringLiteral(
               "Questo comando permette di creare un nuovo database da utilizzare per l'archiviazione di "
               "nuovi tips.") +
           nl + nl + QStringLiteral("- Rinomina Categoria o ChiaveRicerca") + nl +
           QStringLiteral(
               "In questa sezione è possibile rinominare velocemente i nomi assegnati alle Categorie o alle "
               "ChiaviRicerca.");
}

} // namespace

void frmUtility::connectSignals() {
    for (int i = 0; i < 4; ++i)
        connect(cmdUtility[i], &QPushButton::clicked, this, [this, i] { cmdUtility_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(optRename[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) optRename_Click(i);
        });
    connect(cboRename, &QComboBox::activated, this, [this] { cboRename_Click(); });
    connect(cmdRename, &QPushButton::clicked, this, [this] { cmdRename_Click(); });
    connect(Check1, &QPushButton::toggled, this, [this] { Check1_Click(); });
    connect(cmdEsci, &QPushButton::clicked, this, [this] { cmdEsci_Click(); });
    txtRename->installEventFilter(this);
}

void frmUtility::Form_Load() {
    DatabaseClosed = false;
    long count = 0;
    DatabaseEmpty = !Skip([&] { count = qn::ui::View().RecordCount(); }) || count == 0;
    Skip([&] { setWindowIcon(QIcon(QStringLiteral(":/icons/201-window.svg"))); });
    Skip([&] {
        const QCursor pointer = qn::ui::ButtonCursor();
        for (QWidget* w :
             std::initializer_list<QWidget*>{cmdUtility[0], cmdUtility[1], cmdUtility[2], cmdUtility[3],
                                             cmdEsci, Check1, optRename[0], optRename[1], cmdRename})
            w->setCursor(pointer);
    });
    EnableUtilities(!DatabaseEmpty);
}

void frmUtility::cmdUtility_Click(int index) {
    switch (index) {
    case 0:
        CompactDB();
        break;
    case 1:
        RepairDB();
        break;
    case 2:
        BackupDB();
        break;
    case 3:
        CreateNewDB();
        break;
    default:
        break;
    }
}

void frmUtility::Check1_Click() {
    if (Check1->isChecked()) {
        Text1->setVisible(true);
        Info();
    } else {
        Text1->setVisible(false);
    }
}

void frmUtility::Info() {
    Text1->setPlainText(HelpText());
    Text1->setFocus();
    QTextCursor selection(Text1->document());
    selection.setPosition(0);
    selection.setPosition(FirstSentenceLength, QTextCursor::KeepAnchor);
    Text1->setTextCursor(selection);
}

void frmUtility::EnableUtilities(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdUtility[0], cmdUtility[1], optRename[0], optRename[1]})
        w->setEnabled(enabled);
    lblDbVuoto->setVisible(!enabled);
}

void frmUtility::CloseDatabase() {
    if (DatabaseClosed) return;
    Skip([&] { qn::ui::View().Close(); });
    Skip([&] { qn::ui::TipsDb().Close(); });
    DatabaseClosed = true;
}

void frmUtility::cmdEsci_Click() {
    using namespace GenericBas;
    if (DatabaseClosed) {
        try {
            TipsDatabase = qn::DBEngine::Workspaces(0).OpenDatabase(DatabasePath, true, false);
            TipsRecordset = TipsDatabase->OpenRecordset(tipsdb::TableName, qn::dbOpenDynaset);
            DatabaseClosed = false;
        } catch (const std::exception& e) {
            // The main window finds no archive and shows itself as after a failed opening.
            TipsRecordset.reset();
            TipsDatabase.reset();
            const auto [number, description] = qn::ui::ErrorOf(e);
            qn::ui::ShowMessage(this,
                                QStringLiteral("Impossibile riaprire il database\n") + DatabasePath +
                                    QStringLiteral("\nErrore n° ") + QString::number(number) +
                                    QLatin1Char('\n') + description,
                                QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
        }
    }
    Form_Unload();
    done(QDialog::Rejected);
}

void frmUtility::Form_QueryUnload(int& cancel, int unloadMode) {
    (void)cancel; // closing is never refused
    if (unloadMode == 0) cmdEsci_Click();
}

void frmUtility::closeEvent(QCloseEvent* event) {
    // The window unloads itself through done(), which sends no close event: one that arrives
    // comes from the close box, the system menu or the window manager.
    int cancel = 0;
    Form_QueryUnload(cancel, 0);
    QDialog::closeEvent(event);
}

void frmUtility::ShowError(long number, const QString& description) {
    qn::ui::ShowMessage(
        this, QStringLiteral("Errore n° ") + QString::number(number) + QLatin1Char('\n') + description,
        QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}
