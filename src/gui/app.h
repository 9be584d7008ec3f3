// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the program, shared by main() and the offscreen window test.
#pragma once

#include <memory>
#include <string>

#include "core/app/command_table.h"
#include "core/app/midi_devices.h"
#include "core/app/session.h"
#include "gui/main_window.h"
#include "gui/qt_shell.h"
#include "gui/timbre_copy_window.h"

namespace tolvex {

struct App {
    QtShell shell;
    Session session{shell};
    std::unique_ptr<MidiDevices> devices;
    CommandTable commands = makeCommandTable();
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<TimbreCopyWindow> timbreCopy;  // created hidden, shown by "Timbre Copy"
};

struct AppOptions {
    std::string progpath;        // program folder; the settings file lives there
    bool writeDebugFile = true;  // "debugfile.txt" in the current folder
    bool showSplash = true;
    // A second window started with --new-instance: it reads the settings but
    // never writes them, so two windows do not overwrite each other's.
    bool newInstance = false;
    // Makes the devices once the shell exists; `apiSetting` is the settings key
    // "MidiApi" of "Settings". Unset: no devices (the window works on files).
    std::function<std::unique_ptr<MidiDevices>(Shell&, const std::string& apiSetting)> makeDevices;
    // Answers message boxes instead of showing them (see QtShell::answerBox).
    std::function<MsgResult(const std::string&, const std::string&)> answerBox;
};

// Runs the start-up in order: message core, splash, main window (settings,
// devices, start-up log), the hidden timbre-copy window. The main window is
// built but not yet shown.
std::unique_ptr<App> createApp(AppOptions options);

// SIGTERM or SIGINT (the session logging out): no modal box is waited on any
// more (open ones are dismissed, new ones go to standard error), a running
// send is cancelled, the window closes writing what it can, and the event loop
// ends, all within about a second.
void quitOnSignal(App& app);

// Files a second start handed over: opened as Open Sysex opens them, and the
// window comes to the front.
void openHandedFiles(App& app, const std::vector<std::string>& files);

}  // namespace tolvex
