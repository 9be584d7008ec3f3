// SPDX-License-Identifier: GPL-3.0-or-later
// A QApplication for one test, on the offscreen platform.
#pragma once

#include <QApplication>

namespace tolvex::testing {

struct QtApp {
    QtApp() : QtApp("offscreen") {}
    // `platform` may carry options ("offscreen:configfile=screens.json").
    explicit QtApp(const QByteArray& platform) : offscreen(qputenv("QT_QPA_PLATFORM", platform)) {}
    bool offscreen;  // set before the application starts
    int argc = 1;
    char name[17] = "tolvex_gui_tests";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

}  // namespace tolvex::testing
