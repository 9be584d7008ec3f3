#include <QApplication>

#include <CLI/CLI.hpp>

#include "core/text/version_info.h"

#include "gui/app.h"
#include "midi/port_devices.h"

int main(int argc, char** argv)
{
    CLI::App cli("Tolvex, the MIDI SysEx librarian and converter", "tolvex");
    cli.set_version_flag("--version", "tolvex " + tolvex::programVersionRecord().at("FileVersion"));
    cli.allow_extras();  // Qt's own options
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }
    QApplication qapp(argc, argv);
    tolvex::AppOptions options;
    options.progpath = QApplication::applicationDirPath().toStdString();
    options.makeDevices = [](tolvex::Shell& shell, const std::string& api) -> std::unique_ptr<tolvex::MidiDevices> {
        return tolvex::makeSystemMidiDevices(shell, api);
    };
    auto app = tolvex::createApp(std::move(options));
    app->window->show();
    return QApplication::exec();
}
