#pragma once
// Pictures, cursors and fonts shared by the main window's building code.

#include <QCursor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QString>

namespace qn::ui {

// Makes the program's pictures reachable under their ":/…" names.
void EnsurePictures();
// Arial where the system has it, else its metric twin.
QFont ListFont();
// An SVG picture of the resources rendered at the given size (empty when it cannot be read).
QPixmap Picture(const QString& path, const QSize& size);
// Frame 1..8 of the search panel's arrow (bitmaps 101..108).
QPixmap ArrowFrame(int frame, const QSize& size);
// A 32×32 cursor drawn from an SVG picture, hot spot in picture pixels.
QCursor PictureCursor(const QString& path, const QPoint& hotSpot);
// Cursor 101 (buttons, option buttons, check boxes) and 102 (lists).
QCursor ButtonCursor();
QCursor ListCursor();

} // namespace qn::ui
