#pragma once
// The main window: one tip at a time, a search panel (view mode) or a command panel (edit mode).
// Its routines are split over several files by concern; they keep the names the rest of the
// program and its tests know them by.

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QFrame;

class frmTips : public QWidget {
    Q_OBJECT

public:
    explicit frmTips(QWidget* parent = nullptr);
    ~frmTips() override;

    // Loading and unloading (open the start-up archive / close it and the message file).
    void Form_Load();
    void Form_Unload();

    // --- opening and verifying an archive
    void OpenDatabase(const QString& sDataBase);
    bool VerificaTabella();
    bool VerificaStrutturaTabella();
    void EnableControls(bool state);
    void ShowErrorNumber(long number, const QString& description = {});
    static bool HasAttribute(const QString& path, long attribute);
    void cmdOpenNewDB_Click();
    // An archive of the old Access formats: offers to convert it and opens the new archive.
    // False when the file is not of those formats.
    bool OfferConversion(const QString& sDataBase);
    // Runs the conversion helper and reports its result; true when the new archive was made.
    bool ConvertOldArchive(const QString& oldPath, const QString& newPath);
    // An archive found damaged while it is in use: said once, with the way to repair it, and
    // the window then left as after a failed opening (a tip being typed stays in its boxes).
    // True when the archive in use is damaged, also when that was already reported: the
    // caller's own report of the failure is then left out.
    bool ReportDamage();

    // --- record views
    void LoadView(const QString& sql);
    void FillTitleList();

    // --- layout helpers
    void SetFieldLengths();
    void SetMousePointers();
    void LockFields(bool locked);
    void AnimateArrow();
    void SetDropDownHeight(QComboBox* combo, int height);
    void cmdClose_Click();
    void txtFindTxt_GotFocus();

    // --- display and navigation
    void ShowCurrentRecord();
    void ClearFields();
    void cmdSposta_Click(int index);
    void HighlightSearchText();
    void HighlightText(QWidget* box, const QString& text);

    // --- search
    void InitSearchPanel();
    void FillCategoryList(bool keep);
    void FillGenericFindList(int kind);
    void cboSelectResearch_Click();
    void cboFindCategoria_Click();
    void cboGenericFind_Click();
    void cmdSearch_Click();
    void cboTitoli_Click();
    // Sets the search-type list's text; like a user's pick, this runs cboSelectResearch_Click.
    void SetSelectResearchText(const QString& text);

    // --- editing
    void cmdTool_Click(int index);
    void NewRecord();
    void EditRecord();
    bool ValidateRecord();
    void SaveRecord();
    void DeleteRecord();
    void CancelEdit();
    void SetBrowseMode(bool browsing);
    void ShowEmptyDatabaseMessage();
    void FillInsertLists();
    void ShowInsertLists(bool show);
    // Typing completion; keyAscii is set to 0 when the key was consumed.
    void AutoSearch(QComboBox* cbo, int& keyAscii);

    // --- modes
    void optWork_Click(int index);
    void lblNumRecord_DblClick();

    // --- bookmarks
    void cmdBookmark_Click();
    void ToggleBookmark();

    // --- window commands: always on top, the About window
    void chkTopMost_Click();
    void cmdAbout_Click();
    // --- the maintenance window (frmTips_utility.cpp)
    void cmdUtility_Click();
    // --- e-mail and printing: the pop-up menu of cmdInviaTips
    // A message as the mail file holds it; only Subject and Body are filled by this window.
    struct MailMessage {
        QString To, CC, BCC, From, Subject, Body;
    };
    void cmdInviaTips_Click();
    void mnuPop_Click(int index);
    void SendTipByEmail();
    // fileNumber is 0 when the file could not be opened (the reason was shown).
    void OpenOutputFile(const QString& path, int& fileNumber);
    // Writes and closes the file; ok is false when it could not be written (the reason was shown).
    void WriteMailFile(int fileNumber, const MailMessage& message, bool& ok);
    void PrintTip();
    QMenu* mnu = nullptr;
    std::array<QAction*, 2> mnuPop{};

    // The field boxes by index: 0 Titolo, 1 Procedura, 2 Categoria, 3 ChiaveRicerca, 4 Note.
    QString FieldText(int index) const;
    void SetFieldText(int index, const QString& text);
    QWidget* FieldBox(int index) const;
    static constexpr int FieldCount = 5;

    // Form-level state.
    bool DatabaseOpen = false;
    bool RecordsetOpen = false;
    bool SuppressListEvents = false;
    bool SuppressArrowAnimation = false;
    std::array<QString, 5> SearchFields;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildToolbar();
    void buildRecordArea();
    void buildSearchPanel();
    void buildWorkPanel();
    void buildNavigation();
    void setTabOrder();
    void connectSignals();
    bool m_unloaded = false;
    bool m_damageReported = false; // for the archive in use; cleared by each opening
    // --- editing state: the command panel shows a record being edited (SetBrowseMode(false)).
    bool m_editingRecord = false;

    // --- layout: keys and mouse of the field boxes, arrow frames
    bool txtdb_KeyDown(int index, int keyCode, Qt::KeyboardModifiers shift); // true: key consumed
    void txtdb_MouseDown(int index, Qt::MouseButton button);
    bool editPending() const;
    void showArrowFrame(int frame, const QSize& size);
    // --- e-mail and printing: builds mnu and its commands
    void buildPopMenu();

public:
    // Controls, named as their objectNames (arrays by index).
    std::array<QPushButton*, 2> optWork{};
    QPushButton* cmdUtility = nullptr;
    QPushButton* cmdBookmark = nullptr;
    QPushButton* cmdOpenNewDB = nullptr;
    QPushButton* cmdInviaTips = nullptr;
    QPushButton* chkTopMost = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdClose = nullptr;

    std::array<QLabel*, 2> lblLabels{};
    QLabel* Label3 = nullptr;
    QLabel* lblCategoria = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QLineEdit*, 5> txtLine{};   // txtdb(0), (2), (3), (4); index 1 unused
    QPlainTextEdit* txtProcedura = nullptr; // txtdb(1)
    QComboBox* cboTitoli = nullptr;
    QLabel* imgBookmark = nullptr;
    QComboBox* cboInsertCategoria = nullptr;
    QComboBox* cboInsertKey = nullptr;

    QWidget* picSearch = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboSelectResearch = nullptr;
    QLabel* imgFreccia = nullptr;
    QLabel* lblSearchDescription = nullptr;
    QComboBox* cboGenericFind = nullptr;
    QComboBox* cboFindCategoria = nullptr;
    QLineEdit* txtFindTxt = nullptr;
    QPushButton* cmdSearch = nullptr;

    QWidget* picWorkButton = nullptr;
    std::array<QPushButton*, 5> cmdTool{};

    std::array<QPushButton*, 4> cmdSposta{};
    QLabel* lblNumRecord = nullptr;
};
