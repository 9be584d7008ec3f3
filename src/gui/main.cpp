// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <iostream>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include "core/app/librarian.h"
#include "core/app/table_files.h"
#include "core/text/version_info.h"
#include "gui/app.h"
#include "gui/app_icon.h"
#include "gui/instance.h"
#include "midi/port_devices.h"

namespace {

int stopPipe[2] = {-1, -1};

// SIGTERM (a session logging out) and SIGINT close the window writing what
// can be written, never waiting on a box; the handler only writes a byte.
void onStopSignal(int)
{
    const char one = 1;
    [[maybe_unused]] const auto n = ::write(stopPipe[1], &one, 1);
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App cli("Tolvex, the MIDI SysEx librarian and converter", "tolvex");
    cli.set_version_flag("--version", "tolvex " + tolvex::programVersionRecord().at("FileVersion"));
    std::vector<std::string> files;
    cli.add_option("files", files, "SysEx files to open");
    bool newInstance = false;
    cli.add_flag("--new-instance", newInstance,
                 "start a window of its own (which does not write the settings) instead of handing the files to the "
                 "running one");
    cli.allow_extras();  // Qt's own options
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }
    // Names are the shell's: taken from the folder the program was started in,
    // before the window (or the running one they are handed to) changes its own.
    for (std::string& f : files) {
        std::error_code ec;
        const auto whole = std::filesystem::absolute(f, ec);
        if (!ec) f = whole.lexically_normal().string();
    }
    QApplication qapp(argc, argv);
    // The window belongs to its menu entry: the desktop file names the program
    // on Wayland, WM_CLASS ("tolvex", "Tolvex") matches its StartupWMClass on X11.
    QApplication::setApplicationName("Tolvex");
    QGuiApplication::setDesktopFileName(tolvex::kDesktopFileName);
    QApplication::setWindowIcon(tolvex::tolvexIcon());
    // A double-click on a .syx while Tolvex is open: the running window opens it.
    const QString serverName = tolvex::instanceServerName(
        QString::fromStdString(tolvex::settingsFolder(QApplication::applicationDirPath().toStdString())),
        tolvex::currentDisplay());
    if (!newInstance) {
        QStringList list;
        for (const std::string& f : files) list << QString::fromStdString(f);
        if (tolvex::handOverFiles(serverName, list, std::cerr)) return 0;
    }
    tolvex::AppOptions options;
    options.newInstance = newInstance;
    options.progpath = QApplication::applicationDirPath().toStdString();
    options.makeDevices = [](tolvex::Shell& shell, const std::string& api) -> std::unique_ptr<tolvex::MidiDevices> {
        return tolvex::makeSystemMidiDevices(shell, api);
    };
    auto app = tolvex::createApp(std::move(options));
    app->window->show();
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) == 0) {
        auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, app->window.get());
        QObject::connect(notifier, &QSocketNotifier::activated, app->window.get(),
                         [&app] { tolvex::quitOnSignal(*app); });
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    tolvex::InstanceServer server;
    if (!newInstance) {
        QObject::connect(&server, &tolvex::InstanceServer::filesReceived, app->window.get(),
                         [&app](const QStringList& handed) {
                             std::vector<std::string> paths;
                             for (const QString& f : handed) paths.push_back(f.toStdString());
                             tolvex::openHandedFiles(*app, paths);
                         });
        if (!server.listen(serverName)) app->session.log.LogString("Another Tolvex window is running");
    }
    // Files given on the command line (a double-click in the file manager) open as Open Sysex opens them.
    for (const std::string& file : files) tolvex::OpenSysexFile(app->session, file);
    // For the start-up benchmark: leave at the first idle pass of the event
    // loop, once the window is shown and the tables deferred to then are read.
    if (qEnvironmentVariableIsSet("TOLVEX_QUIT_WHEN_IDLE")) QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
