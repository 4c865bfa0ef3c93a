#pragma once
// Every message of the program is built here, so its look lives in one place and tests can
// find and answer the boxes. Lines are passed already joined (the callers join them with "\n").

#include <QMessageBox>
#include <QString>

class QWidget;

namespace qn::ui {

constexpr const char* AppTitle = "Quillnote";

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                        const QString& title = QString::fromLatin1(AppTitle));

} // namespace qn::ui
