#pragma once
// Drives modal dialogs other than message boxes (file dialogs, the program's own windows)
// during a test: queue an action, then start the code that opens the dialog. The action runs
// once on the next active modal widget of the given type; it must close the dialog (accept,
// reject) or leave it open for a later action.
//
// The (protected) slot QFileDialog::accept applies the dialog's own checks (file must exist,
// confirm overwriting, default suffix) to the name in its name box, as the Open/Save button does:
//     driver.onFileDialog([](QFileDialog* d) {
//         d->selectFile("tips.mdb");
//         QMetaObject::invokeMethod(d, "accept");
//     });

#include <QApplication>
#include <QFileDialog>
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
