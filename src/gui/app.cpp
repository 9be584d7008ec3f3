// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/app.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>

#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/table_files.h"
#include "core/text/ini_file.h"
#include "devices/devices.h"
#include "gui/app_icon.h"
#include "gui/splash.h"
#include "midi/alsa_backend.h"

namespace tolvex {

std::unique_ptr<App> createApp(AppOptions options)
{
    auto app = std::make_unique<App>();
    registerDeviceFamilies(app->commands);
    app->shell.answerBox = std::move(options.answerBox);
    Session& s = app->session;
    // A first start leaves the settings file where the user will find it,
    // before anything can keep the program from closing normally.
    if (!options.newInstance) ensureSettingsFile(settingsFolder(options.progpath) + kSettingsFileName);
    if (options.makeDevices) {
        // The MIDI service is chosen before the devices are counted, so this one
        // key is read ahead of the rest of the settings.
        const IniFile ini(settingsFolder(options.progpath) + kSettingsFileName);
        setAlsaProgramPace(
            ini.ReadInteger("Settings", "AlsaProgramPace", static_cast<int>(kAlsaProgramBytesPerSecond)));
        app->devices = options.makeDevices(app->shell, ini.ReadString("Settings", "MidiApi", ""));
    }
    s.midi.devices = app->devices.get();
    s.paths.diagnosticsFolder = diagnosticsFolder(options.progpath);
    {
        std::error_code ec;
        s.paths.reportsFollowLastFile =
            reportsFollowLastFile(options.progpath, std::filesystem::current_path(ec).string());
    }
    // Unit start-up first: the tables, then the message core.
    installDeviceFamilies(s);
    startFamilyTables(s, options.progpath);
    InitMessageCore(s, options.writeDebugFile);

    std::unique_ptr<TFormSplash> splash;
    if (options.showSplash) {
        splash = std::make_unique<TFormSplash>();
        splash->show();
        QApplication::processEvents();
    }
    QApplication::setApplicationName("Tolvex");
    QGuiApplication::setDesktopFileName(kDesktopFileName);
    if (QGuiApplication::windowIcon().isNull()) QApplication::setWindowIcon(tolvexIcon());

    app->window = std::make_unique<MainWindow>(s, app->shell, app->commands);
    app->shell.setWindow(app->window.get());
    if (s.midi.devices) {
        s.midi.devices->onInput = [&s] { MIDIInput1MidiInput(s); };
        s.midi.devices->onOverflow = [&s] { MIDIInput1Overflow(s); };
        s.midi.devices->onLost = [&s](const std::string& reason) { MidiDeviceLost(s, reason); };
    }
    FormCreate(s, options.progpath);
    if (options.newInstance) {
        s.paths.settingsWritable = false;
        s.log.LogString("New instance: the settings file " + s.paths.settingsFolder + kSettingsFileName +
                        " will not be written");
    }
    app->timbreCopy = std::make_unique<TimbreCopyWindow>(s, app->shell, app->commands);
    // The definition tables are read once the event loop runs, after the window is shown.
    QTimer::singleShot(0, app->window.get(), [&s] { loadDeferredFamilyTables(s); });
    return app;
}

void quitOnSignal(App& app)
{
    app.shell.answerBox = [](const std::string& title, const std::string& text) {
        std::cerr << title << ": " << text << std::endl;
        return MsgResult::Cancel;
    };
    app.session.operation.CancelState = true;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
    // The dismissed boxes return first; a send gets a moment to stop at its next message.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    auto closeWhenFree = std::make_shared<std::function<void()>>();
    *closeWhenFree = [&app, deadline, closeWhenFree] {
        if (app.session.midi.SendRunning && std::chrono::steady_clock::now() < deadline) {
            QTimer::singleShot(20, app.window.get(), *closeWhenFree);
            return;
        }
        app.window->stopping = true;
        app.window->closeWithoutAsking();
        *closeWhenFree = nullptr;  // ends the self-reference
        QApplication::quit();
    };
    QTimer::singleShot(0, app.window.get(), *closeWhenFree);
}

void openHandedFiles(App& app, const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        try {
            OpenSysexFile(app.session, file);
        } catch (const TolvexError& e) {
            app.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        }
    }
    app.window->showNormal();
    app.window->raise();
    app.window->activateWindow();
}

}  // namespace tolvex
