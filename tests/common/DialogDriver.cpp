#include "DialogDriver.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

DialogDriver::DialogDriver(QObject* parent) : QObject(parent) {
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &DialogDriver::poll);
    m_timer.start();
}

void DialogDriver::onNext(const char* className, Action action) {
    m_queue.append({QByteArray(className), std::move(action)});
}

void DialogDriver::onFileDialog(std::function<void(QFileDialog*)> action) {
    onNext("QFileDialog", [action](QWidget* w) { action(static_cast<QFileDialog*>(w)); });
}

void DialogDriver::poll() {
    if (m_queue.isEmpty())
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || !modal->inherits(m_queue.first().className.constData()))
        return;
    const Step step = m_queue.takeFirst();
    ++m_done;
    step.action(modal);
}

void TypeFileName(QFileDialog* dialog, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void PressAccept(QFileDialog* dialog) {
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QPushButton* button = box ? box->button(dialog->acceptMode() == QFileDialog::AcceptOpen
                                                ? QDialogButtonBox::Open
                                                : QDialogButtonBox::Save)
                              : nullptr;
    if (button && button->isEnabled())
        button->click();
    else
        QMetaObject::invokeMethod(dialog, "accept");
}
