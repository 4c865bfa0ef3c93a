#pragma once
// Drives modal dialogs other than message boxes: queue an action, then start the code that opens
// the dialog. Each action runs once on the next active modal widget of its class, in order.
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

    void onNext(const char* className, Action action) { m_queue.append({className, std::move(action)}); }
    void onFileDialog(std::function<void(QFileDialog*)> action) {
        onNext("QFileDialog", [action](QWidget* w) { action(static_cast<QFileDialog*>(w)); });
    }
    int done() const { return m_done; }

    // Types `name` into the name box key by key and presses Enter, so the dialog applies its own
    // checks (selectFile would not: it leaves a focused name box alone). A full path first
    // changes to its folder.
    static void typeAndConfirm(QFileDialog* d, const QString& name) {
        const QFileInfo info(name);
        if (info.isAbsolute()) d->setDirectory(info.absolutePath());
        auto* box = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, info.isAbsolute() ? info.fileName() : name);
        // The user's Enter is for the dialog, not for the name box's completer.
        if (QCompleter* c = box->completer(); c && c->popup()->isVisible()) c->popup()->hide();
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
