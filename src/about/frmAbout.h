#pragma once
// The About window: the program's name and version, what it is for, its requirements, a
// disclaimer and the author's address, which starts a new mail message when clicked. It is
// built anew for every opening and shown modally over its owner.

#include <QDialog>
#include <QString>
#include <array>

class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner = nullptr);

    // Pictures, cursors and the texts built at run time.
    void Form_Load();
    void cmdEsci_Click();
    // Opens a new message to the author in the user's mail program, then closes the window.
    void lblEmail_Click();

    // The address shown and written to; under a domain reserved for examples.
    static QString AuthorAddress();
    // "Versione " and the program's major, minor and patch numbers.
    static QString VersionText();

    std::array<QLabel*, 2> Label1{}; // the title, white, over its grey shadow
    QLabel* lblVersione = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* imgMylogo = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lblEmail = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* lblWarning = nullptr;
    QPushButton* cmdEsci = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildTexts();
    void buildDecorations();
    bool m_emailPressed = false;
};
