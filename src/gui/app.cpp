#include "gui/app.h"

#include <QApplication>
#include <QTimer>

#include "core/app/incoming.h"
#include "core/app/main_window_model.h"
#include "core/app/table_files.h"
#include "core/text/ini_file.h"
#include "devices/devices.h"
#include "gui/splash.h"

namespace tolvex {

std::unique_ptr<App> createApp(AppOptions options)
{
    auto app = std::make_unique<App>();
    registerDeviceFamilies(app->commands);
    app->shell.answerBox = std::move(options.answerBox);
    Session& s = app->session;
    // A first start leaves the settings file where the user will find it,
    // before anything can keep the program from closing normally.
    ensureSettingsFile(settingsFolder(options.progpath) + kSettingsFileName);
    if (options.makeDevices) {
        // The MIDI service is chosen before the devices are counted, so this one
        // key is read ahead of the rest of the settings.
        const IniFile ini(settingsFolder(options.progpath) + kSettingsFileName);
        app->devices = options.makeDevices(app->shell, ini.ReadString("Settings", "MidiApi", ""));
    }
    s.devices = app->devices.get();
    // Unit start-up first: the tables, then the message core.
    const StartupHooks hooks = deviceStartupHooks(options.progpath);
    hooks.unitStartup(s);
    InitMessageCore(s, options.writeDebugFile);

    std::unique_ptr<TFormSplash> splash;
    if (options.showSplash) {
        splash = std::make_unique<TFormSplash>();
        splash->show();
        QApplication::processEvents();
    }
    QApplication::setApplicationName("Tolvex");

    app->window = std::make_unique<MainWindow>(s, app->shell, app->commands);
    app->shell.setWindow(app->window.get());
    if (s.devices) {
        s.devices->onInput = [&s] { MIDIInput1MidiInput(s); };
        s.devices->onOverflow = [&s] { MIDIInput1Overflow(s); };
        s.devices->onLost = [&s](const std::string& reason) { MidiDeviceLost(s, reason); };
    }
    FormCreate(s, options.progpath, hooks);
    app->timbreCopy = std::make_unique<TimbreCopyWindow>(s, app->shell, app->commands);
    // The definition tables are read once the event loop runs, after the window is shown.
    QTimer::singleShot(0, app->window.get(), [] { loadDeferredTables(); });
    return app;
}

}  // namespace tolvex
