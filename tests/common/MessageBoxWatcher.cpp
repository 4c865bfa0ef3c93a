#include "MessageBoxWatcher.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

MessageBoxWatcher::MessageBoxWatcher(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    m_timer.start(10);
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
    if (!box || box == m_handled || !box->isVisible()) return;
    m_handled = box;
    QPushButton* def = box->defaultButton();
    Seen s{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
           def ? box->standardButton(def) : QMessageBox::NoButton};
    m_unexpected += m_answers.isEmpty() ? 1 : 0;
    QAbstractButton* target = m_answers.isEmpty() ? nullptr : box->button(s.answer = m_answers.takeFirst());
    // Unexpected, or an answer the box does not offer: it leaves as Esc would take it.
    if (!target) target = box->escapeButton() ? box->escapeButton() : def;
    if (target && s.answer == QMessageBox::NoButton) s.answer = box->standardButton(target);
    m_seen.append(s);
    if (target)
        target->click();
    else
        box->reject();
}
