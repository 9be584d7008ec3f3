#include <QApplication>

#include "gui/app.h"
#include "midi/port_devices.h"

int main(int argc, char** argv)
{
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
