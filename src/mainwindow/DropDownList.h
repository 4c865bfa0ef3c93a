#pragma once
// A combo box whose list always opens below the box, as lists on the desktop the window was
// designed for do. Qt's Fusion style would otherwise place the list over the current item and
// ignore the list's height. With a drop-down height set, the box and its open list together are
// that tall (fewer rows shrink the list); without one the list shows eight rows.

#include <QComboBox>

class DropDownList : public QComboBox {
public:
    explicit DropDownList(QWidget* parent = nullptr);

    // Height in pixels of the closed box plus its open list; 0 = eight rows.
    void setDropDownHeight(int height) { m_dropDownHeight = height; }
    int dropDownHeight() const { return m_dropDownHeight; }

    static constexpr int DefaultRows = 8;

protected:
    void showPopup() override;

private:
    int m_dropDownHeight = 0;
};
