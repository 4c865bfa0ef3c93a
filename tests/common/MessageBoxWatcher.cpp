#include "MessageBoxWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>

MessageBoxWatcher::MessageBoxWatcher(QObject* parent) : QObject(parent) {
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    m_timer.start();
}

MessageBoxWatcher::~MessageBoxWatcher() = default;

void MessageBoxWatcher::arm(QMessageBox::StandardButton answer) {
    m_answers.append(answer);
}

void MessageBoxWatcher::arm(const QList<QMessageBox::StandardButton>& answers) {
    m_answers.append(answers);
}

void MessageBoxWatcher::clear() {
    m_seen.clear();
    m_answers.clear();
    m_unexpected = 0;
}

bool MessageBoxWatcher::waitForCount(int n, int timeoutMs) {
    return QTest::qWaitFor([&] { return count() >= n; }, timeoutMs);
}

void MessageBoxWatcher::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // A box already answered may linger until its exec() returns.
    if (!box || box == m_handled || !box->isVisible())
        return;
    m_handled = box;

    Seen s;
    s.title = box->windowTitle();
    s.text = box->text();
    s.icon = box->icon();
    s.buttons = box->standardButtons();
    if (QPushButton* def = box->defaultButton())
        s.defaultButton = box->standardButton(def);

    QAbstractButton* target = nullptr;
    if (!m_answers.isEmpty()) {
        s.answer = m_answers.takeFirst();
        target = box->button(s.answer);
    } else {
        ++m_unexpected;
    }
    if (!target)
        target = box->escapeButton() ? box->escapeButton() : static_cast<QAbstractButton*>(box->defaultButton());
    if (target && s.answer == QMessageBox::NoButton)
        s.answer = box->standardButton(target);
    m_seen.append(s);

    if (target)
        target->click();
    else
        box->reject();
}
