#pragma once
// The pop-up menu of cmdInviaTips as a user drives it: a click on the button opens it, a click
// on an item runs that command.

#include "TestArchive.h"

// Opens the menu by a click at `at` in the button (its centre by default); nullptr when it does not show.
inline QMenu* OpenPopMenu(ArchiveWindow& w, QPoint at = {}) {
    QWidget* button = w.widget(QStringLiteral("cmdInviaTips"));
    QTest::mouseClick(button, Qt::LeftButton, {}, at.isNull() ? button->rect().center() : at);
    auto* menu = w.win->findChild<QMenu*>(QStringLiteral("mnu"));
    return menu && QTest::qWaitFor([&] { return menu->isVisible(); }, 2000) ? menu : nullptr;
}

// Picks command mnuPop(index) with the mouse; false when the boxes `answers` answer did not all come.
inline bool PopMenuCommand(ArchiveWindow& w, int index, const Answers& answers = {}) {
    QMenu* menu = OpenPopMenu(w);
    if (!menu) return false;
    const QRect item =
        menu->actionGeometry(menu->findChild<QAction*>(QStringLiteral("mnuPop(%1)").arg(index)));
    const int before = w.boxes.count();
    w.boxes.arm(answers);
    QTest::mouseMove(menu, item.center());
    QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
    QCoreApplication::processEvents();
    return w.boxes.waitForCount(before + int(answers.size()));
}
