#pragma once
// Answers the program's modal message boxes during a test: arm() one answer per expected box, in
// order, before the action that shows them; every box is recorded as it was shown. A box with no
// answer left is counted as unexpected and closed as Esc would close it, so a faulty test fails
// instead of hanging.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class MessageBoxWatcher : public QObject {
public:
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    explicit MessageBoxWatcher(QObject* parent = nullptr) : QObject(parent) { startTimer(10); }

    void arm(QMessageBox::StandardButton answer = QMessageBox::Ok) { m_answers.append(answer); }
    void arm(const QList<QMessageBox::StandardButton>& answers) { m_answers.append(answers); }

    int count() const { return int(m_seen.size()); }
    int unexpected() const { return m_unexpected; }
    const QList<Seen>& seen() const { return m_seen; }
    Seen last() const { return m_seen.value(m_seen.size() - 1); }
    QStringList lastLines() const { return last().text.split(QLatin1Char('\n')); }
    void clear() { m_seen.clear(), m_answers.clear(), m_unexpected = 0; }
    // Runs the event loop until `n` boxes were seen in all (or the time is up).
    bool waitForCount(int n, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return count() >= n; }, timeoutMs);
    }

protected:
    void timerEvent(QTimerEvent*) override {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // A box already answered may linger until its exec() returns.
        if (!box || box == m_handled || !box->isVisible()) return;
        m_handled = box;
        QPushButton* def = box->defaultButton();
        m_seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                       def ? box->standardButton(def) : QMessageBox::NoButton});
        m_unexpected += m_answers.isEmpty() ? 1 : 0;
        QAbstractButton* target = m_answers.isEmpty() ? nullptr : box->button(m_answers.takeFirst());
        // Unexpected, or an answer the box does not offer: it leaves as Esc would take it.
        if (!target) target = box->escapeButton() ? box->escapeButton() : def;
        target ? target->click() : box->reject();
    }

private:
    QList<QMessageBox::StandardButton> m_answers;
    QList<Seen> m_seen;
    QPointer<QMessageBox> m_handled;
    int m_unexpected = 0;
};
