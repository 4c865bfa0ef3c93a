// The field boxes as one array, their limits, locking, keys and mouse; the cursors, the arrow
// animation, the drop-down height and closing the window.
#include "mainwindow/DropDownList.h"
#include "mainwindow/LongLines.h"
#include "mainwindow/frmTips.h"
#include "mainwindow/frmTips_ui.h"
#include "startup/GenericBas.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSvgRenderer>
#include <QThread>
#include <QPainter>

// ---- pictures, cursors and fonts

// The pictures are compiled into a static library; their registration must be asked for.
static void RegisterPictures() {
    Q_INIT_RESOURCE(quillnote);
}

void qn::ui::EnsurePictures() {
    static const bool once = (RegisterPictures(), true);
    (void)once;
}

QFont qn::ui::ListFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSize(9);
    return font;
}

QPixmap qn::ui::Picture(const QString& path, const QSize& size) {
    EnsurePictures();
    QSvgRenderer renderer(path);
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QPixmap qn::ui::ArrowFrame(int frame, const QSize& size) {
    return Picture(QStringLiteral(":/bitmaps/%1-arrow%2.svg").arg(100 + frame).arg(frame), size);
}

QCursor qn::ui::PictureCursor(const QString& path, const QPoint& hotSpot) {
    const QPixmap pixmap = Picture(path, QSize(32, 32));
    if (pixmap.isNull())
        return QCursor(Qt::ArrowCursor);
    return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

QCursor qn::ui::ButtonCursor() {
    return PictureCursor(QStringLiteral(":/cursors/101-button.svg"), QPoint(9, 2));
}

QCursor qn::ui::ListCursor() {
    return PictureCursor(QStringLiteral(":/cursors/102-list.svg"), QPoint(3, 2));
}

// ---- the field boxes as one array

QWidget* frmTips::FieldBox(int index) const {
    if (index == 1)
        return txtProcedura;
    if (index < 0 || index >= FieldCount)
        return nullptr;
    return txtLine[static_cast<size_t>(index)];
}

QString frmTips::FieldText(int index) const {
    if (index == 1)
        return txtProcedura->toPlainText();
    if (auto* box = qobject_cast<QLineEdit*>(FieldBox(index)))
        return box->text();
    return {};
}

void frmTips::SetFieldText(int index, const QString& text) {
    if (index == 1)
        qn::ui::SetWrappedPlainText(txtProcedura, text);
    else if (auto* box = qobject_cast<QLineEdit*>(FieldBox(index)))
        box->setText(text);
}

void frmTips::SetFieldLengths() {
    // Each limit is the size of its field; the note field holds 50 characters.
    static constexpr int limits[FieldCount] = {60, 0, 30, 20, 50};
    for (int i = 0; i < FieldCount; ++i) {
        if (auto* box = qobject_cast<QLineEdit*>(FieldBox(i)))
            box->setMaxLength(limits[i] > 0 ? limits[i] : 32767);
    }
}

void frmTips::LockFields(bool locked) {
    for (int i = 0; i < FieldCount; ++i) {
        if (auto* box = qobject_cast<QLineEdit*>(FieldBox(i)))
            box->setReadOnly(locked);
    }
    txtProcedura->setReadOnly(locked);
    // A locked box still lets the user select and copy, also from the keyboard.
    if (locked)
        txtProcedura->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void frmTips::SetMousePointers() {
    const QCursor button = qn::ui::ButtonCursor();
    const QCursor list = qn::ui::ListCursor();
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w))
            w->setCursor(button);
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            combo->setCursor(list);
            // The text part of a free-text list would otherwise show its own I-beam.
            if (combo->lineEdit())
                combo->lineEdit()->setCursor(list);
        }
    }
}

// ---- keys and mouse of the field boxes

bool frmTips::txtdb_KeyDown(int index, int keyCode, Qt::KeyboardModifiers shift) {
    // Ctrl+T in the procedure box types five blanks where a tab would go.
    if (index != 1 || txtProcedura->isReadOnly() || shift != Qt::ControlModifier || keyCode != Qt::Key_T)
        return false;
    for (int i = 0; i < 5; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(txtProcedura, &press);
        QCoreApplication::sendEvent(txtProcedura, &release);
    }
    return true;
}

void frmTips::txtdb_MouseDown(int index, Qt::MouseButton button) {
    if (index != 1 || button != Qt::RightButton || editPending())
        return;
    // A right-click then acts on the whole procedure.
    if (!txtProcedura->textCursor().hasSelection())
        txtProcedura->selectAll();
}

bool frmTips::editPending() const {
    if (!GenericBas::TipsRecordset)
        return false;
    try {
        const int mode = GenericBas::TipsRecordset->EditMode();
        return mode == qn::dbEditInProgress || mode == qn::dbEditAdd;
    } catch (const qn::EngineError&) {
        return false;
    }
}

void frmTips::txtFindTxt_GotFocus() {
    if (!txtFindTxt->text().isEmpty())
        txtFindTxt->selectAll();
}

// ---- search panel helpers

void frmTips::AnimateArrow() {
    if (SuppressArrowAnimation)
        return;
    const QSize size = imgFreccia->size();
    for (int round = 0; round < 2; ++round) {
        for (int frame = 1; frame <= 8; ++frame) {
            showArrowFrame(frame, size);
            QCoreApplication::processEvents();
            QThread::msleep(40);
        }
    }
    showArrowFrame(1, size);
}

void frmTips::showArrowFrame(int frame, const QSize& size) {
    imgFreccia->setPixmap(qn::ui::ArrowFrame(frame, size));
    imgFreccia->setProperty("arrowFrame", frame);
}

void frmTips::SetDropDownHeight(QComboBox* combo, int height) {
    if (!combo || qobject_cast<QFrame*>(combo->parentWidget()))
        return;
    // The height covers the closed box and its open list.
    if (auto* list = dynamic_cast<DropDownList*>(combo))
        list->setDropDownHeight(height);
}

// ---- closing

void frmTips::cmdClose_Click() {
    close();
}
