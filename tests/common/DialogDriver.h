#pragma once
// Drives modal dialogs other than message boxes (file dialogs, the program's own windows)
// during a test: queue an action, then start the code that opens the dialog. The action runs
// once on the next active modal widget of the given type; it must close the dialog (accept,
// reject) or leave it open for a later action.

#include <QTimer>
#include <QWidget>
#include <functional>

class QFileDialog;

class DialogDriver : public QObject {
    Q_OBJECT

public:
    using Action = std::function<void(QWidget*)>;

    explicit DialogDriver(QObject* parent = nullptr);

    // Runs `action` on the next modal widget that inherits `className` ("QFileDialog").
    void onNext(const char* className, Action action) { m_queue.append({className, std::move(action)}); }
    // Shorthand for QFileDialog.
    void onFileDialog(std::function<void(QFileDialog*)> action);

    int done() const { return m_done; }
    int pending() const { return int(m_queue.size()); }

private:
    void poll();

    QTimer m_timer;
    QList<std::pair<QByteArray, Action>> m_queue;
    int m_done = 0;
};

// Types `text` into the file-name box of a Qt file dialog (replacing what is there).
void TypeFileName(QFileDialog* dialog, const QString& text);
// Presses the dialog's Open/Save button, as the user would.
void PressAccept(QFileDialog* dialog);
