#pragma once
// Answers the program's modal message boxes during a test.
//
// Arm it before the action that shows the box(es):
//     MessageBoxWatcher watcher;
//     watcher.arm(QMessageBox::Yes);          // one answer per expected box, in order
//     QTest::mouseClick(button, Qt::LeftButton);
//     QCOMPARE(watcher.count(), 1);
//     QCOMPARE(watcher.last().text, "…");
// It polls for the active modal QMessageBox, records what it shows and clicks the answer.
// A box that arrives when no answer is left is still recorded (unexpected() counts it) and
// closed with its escape or default button, so a faulty test fails instead of hanging.

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
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton, answer = QMessageBox::NoButton;
    };

    explicit MessageBoxWatcher(QObject* parent = nullptr) : QObject(parent) { startTimer(10); }

    // Queue the answer for the next box (appends; call once per expected box).
    void arm(QMessageBox::StandardButton answer = QMessageBox::Ok) { m_answers.append(answer); }
    void arm(const QList<QMessageBox::StandardButton>& answers) { m_answers.append(answers); }

    int count() const { return int(m_seen.size()); }
    int unexpected() const { return m_unexpected; }
    int pending() const { return int(m_answers.size()); }
    const QList<Seen>& seen() const { return m_seen; }
    Seen last() const { return m_seen.value(m_seen.size() - 1); }
    // Lines of the last text, split at "\n".
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
        Seen s{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
               def ? box->standardButton(def) : QMessageBox::NoButton};
        m_unexpected += m_answers.isEmpty() ? 1 : 0;
        s.answer = m_answers.isEmpty() ? QMessageBox::NoButton : m_answers.takeFirst();
        QAbstractButton* target = box->button(s.answer);
        // Unexpected, or an answer the box does not offer: it leaves as Esc would take it.
        if (!target) target = box->escapeButton() ? box->escapeButton() : def;
        if (s.answer == QMessageBox::NoButton) s.answer = box->standardButton(target);
        m_seen.append(s);
        target ? target->click() : box->reject();
    }

private:
    QList<QMessageBox::StandardButton> m_answers;
    QList<Seen> m_seen;
    QPointer<QMessageBox> m_handled;
    int m_unexpected = 0;
};
