#pragma once
// The maintenance window: backup copy, compaction, repair, a new archive, and renaming a
// category or a search key in every tip. The commands that touch the file close the main
// window's archive first (CloseDatabase); the window reopens it when it closes.
// Its routines are split over several files: the controls (frmUtility_layout.cpp), the window
// and its help (frmUtility.cpp), the file commands (frmUtility_files.cpp) and renaming
// (frmUtility_rename.cpp).

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmUtility : public QDialog {
    Q_OBJECT

public:
    // Builds the window and loads it (Form_Load).
    explicit frmUtility(QWidget* parent = nullptr);
    ~frmUtility() override;

    // --- the window
    void Form_Load();
    void cmdUtility_Click(int index);
    void Check1_Click();
    void Info();
    void EnableUtilities(bool enabled);
    void CloseDatabase();
    void cmdEsci_Click();
    // unloadMode 0: the user closed the window from its close box or system menu.
    void Form_QueryUnload(int& cancel, int unloadMode);
    void Form_Unload() {}

    // --- backup copy, compaction, repair, new archive
    void BackupDB();
    void CopyDBFile(const QString& destination, bool& copied);
    void CompactDB();
    void RepairDB();
    void CreateNewDB();

    // --- renaming
    void optRename_Click(int index);
    void FillRenameList(int& flag);
    void cboRename_Click();
    void cmdRename_Click();

    // Form-level state.
    bool DatabaseClosed = false;
    bool DatabaseEmpty = false;

    // Controls, named as their objectNames (arrays by index).
    std::array<QLabel*, 2> Label1{};
    std::array<QPushButton*, 4> cmdUtility{};
    std::array<QLabel*, 4> Label2{};
    QLabel* lblDbVuoto = nullptr;
    QLabel* Label3 = nullptr;
    std::array<QRadioButton*, 2> optRename{};
    QLabel* Label5 = nullptr;
    QComboBox* cboRename = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtRename = nullptr;
    QPushButton* cmdRename = nullptr;
    QPushButton* Check1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* cmdEsci = nullptr;

    // Esc and every other way of dismissing the dialog go through cmdEsci_Click.
    void reject() override { cmdEsci_Click(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void connectSignals();
    // Error report of this window: "Errore n° " number, then the description.
    void ShowError(long number, const QString& description);
    // Where txtRename's selection started when it last lost the focus (a line edit forgets it).
    int m_renameSelStart = 0;
};
