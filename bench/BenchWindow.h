#pragma once
// The program's main window for the benchmark cases: loaded as start-up loads it, without the
// arrow animation's deliberate pauses, and closed with the program-wide archive objects.

#include "mainwindow/frmTips.h"
#include "startup/GenericBas.h"

#include <QCoreApplication>
#include <memory>

inline std::unique_ptr<frmTips> startWindow(const QString& path) {
    GenericBas::DatabasePath = path;
    auto w = std::make_unique<frmTips>();
    w->SuppressArrowAnimation = true;
    w->Form_Load();
    return w;
}

inline void closeWindow(std::unique_ptr<frmTips>& w) {
    w->close();
    w.reset();
    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
    QCoreApplication::processEvents();
}
