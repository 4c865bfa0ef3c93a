#include "DialogDriver.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

DialogDriver::DialogDriver(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &DialogDriver::poll);
    m_timer.start(10);
}

void DialogDriver::onFileDialog(std::function<void(QFileDialog*)> action) {
    onNext("QFileDialog", [action](QWidget* w) { action(static_cast<QFileDialog*>(w)); });
}

void DialogDriver::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (m_queue.isEmpty() || !modal || !modal->isVisible() || !modal->inherits(m_queue.first().first)) return;
    ++m_done;
    m_queue.takeFirst().second(modal);
}

void TypeFileName(QFileDialog* dialog, const QString& text) {
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
}

void PressAccept(QFileDialog* dialog) {
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    const bool open = dialog->acceptMode() == QFileDialog::AcceptOpen;
    QPushButton* button = box ? box->button(open ? QDialogButtonBox::Open : QDialogButtonBox::Save) : nullptr;
    if (button && button->isEnabled())
        button->click();
    else
        QMetaObject::invokeMethod(dialog, "accept");
}
