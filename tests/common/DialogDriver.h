#pragma once
// Drives modal dialogs other than message boxes (file dialogs, the program's own windows)
// during a test: queue an action, then start the code that opens the dialog. The action runs
// once on the next active modal widget of the given type; it must close the dialog (accept,
// reject) or leave it open for a later action.
//
// A name is given as a user gives it: typed into the name box and confirmed with Enter, so the
// dialog applies its own checks (file must exist, confirm overwriting, default suffix):
//     driver.onFileDialog([](QFileDialog* d) { DialogDriver::typeAndConfirm(d, "tips.mdb"); });
// (QFileDialog::selectFile is no substitute: it leaves the name box alone while it has the focus.)

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <functional>

class DialogDriver : public QObject {
public:
    using Action = std::function<void(QWidget*)>;

    explicit DialogDriver(QObject* parent = nullptr) : QObject(parent) { startTimer(10); }

    // Runs `action` on the next modal widget that inherits `className` ("QFileDialog").
    void onNext(const char* className, Action action) { m_queue.append({className, std::move(action)}); }
    // Shorthand for QFileDialog.
    void onFileDialog(std::function<void(QFileDialog*)> action) {
        onNext("QFileDialog", [action](QWidget* w) { action(static_cast<QFileDialog*>(w)); });
    }

    int done() const { return m_done; }

    // Replaces the text of the dialog's name box by `name`, typed key by key, and presses Enter.
    // For a full path the dialog first goes to its folder, as a user would, and then the bare
    // name is typed.
    static void typeAndConfirm(QFileDialog* d, const QString& name) {
        QString typed = name;
        if (QFileInfo(name).isAbsolute()) {
            d->setDirectory(QFileInfo(name).absolutePath());
            typed = QFileInfo(name).fileName();
        }
        auto* box = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, typed);
        // The name box completes folder and file names; the user's Enter is for the dialog.
        if (QCompleter* completer = box->completer(); completer && completer->popup()->isVisible())
            completer->popup()->hide();
        QTest::keyClick(box, Qt::Key_Return);
    }

protected:
    void timerEvent(QTimerEvent*) override {
        QWidget* modal = QApplication::activeModalWidget();
        if (m_queue.isEmpty() || !modal || !modal->isVisible() || !modal->inherits(m_queue.first().first))
            return;
        ++m_done;
        m_queue.takeFirst().second(modal);
    }

private:
    QList<std::pair<QByteArray, Action>> m_queue;
    int m_done = 0;
};
