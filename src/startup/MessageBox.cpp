#include "startup/MessageBox.h"

#include <QMessageBox>

namespace qn::ui {

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton, const QString& title) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setObjectName(QStringLiteral("QuillnoteMessage"));
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    // A message must stay above a main window that is kept on top.
    if (parent && (parent->window()->windowFlags() & Qt::WindowStaysOnTopHint))
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace qn::ui
