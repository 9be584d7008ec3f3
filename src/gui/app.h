// Start-up of the program, shared by main() and the offscreen window test.
#pragma once

#include <memory>

#include "core/session.h"
#include "gui/main_window.h"
#include "gui/qt_shell.h"

namespace tolvex {

struct App {
    QtShell shell;
    Session session{shell};
    std::unique_ptr<MainWindow> window;
};

// Builds the session and the main window (not yet shown). `writeDebugFile`
// creates "debugfile.txt" in the current folder, as the program does.
std::unique_ptr<App> createApp(bool writeDebugFile);

}  // namespace tolvex
