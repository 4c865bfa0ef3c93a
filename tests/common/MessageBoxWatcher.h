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

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

class MessageBoxWatcher : public QObject {
    Q_OBJECT

public:
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton, answer = QMessageBox::NoButton;
    };

    explicit MessageBoxWatcher(QObject* parent = nullptr);

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
    void clear();

    // Runs the event loop until `n` boxes were seen in all (or the time is up).
    bool waitForCount(int n, int timeoutMs = 5000);

private:
    void poll();

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_answers;
    QList<Seen> m_seen;
    QPointer<QMessageBox> m_handled;
    int m_unexpected = 0;
};
