#include "mainwindow/DropDownList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>

namespace {

// The application's style, except that a combo box's list is a plain list below the box.
class ListBelowStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* listBelowStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new ListBelowStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
    setStyle(listBelowStyle());
    setMaxVisibleItems(DefaultRows);
}

void DropDownList::showPopup() {
    // Enough rows to fill the room (one more, cut below); Qt measures each row it may show, so
    // never ask for every row of a long list.
    if (m_dropDownHeight > 0 && count() > 0) {
        const int row = std::max(1, view()->sizeHintForRow(0));
        setMaxVisibleItems(std::max(1, (m_dropDownHeight - height()) / row + 1));
    }
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (!popup || popup == window()) return;
    // Below the box, whatever Qt chose; as tall as the rows need, at most the room given.
    const QPoint below = mapToGlobal(QPoint(0, height()));
    int room = m_dropDownHeight > 0 ? m_dropDownHeight - height() : popup->height();
    if (const QScreen* screen = this->screen())
        room = std::min(room, screen->availableGeometry().bottom() + 1 - below.y());
    popup->setGeometry(below.x(), below.y(), popup->width(), std::max(1, std::min(popup->height(), room)));
}
