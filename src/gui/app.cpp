#include "gui/app.h"

#include "core/version_info.h"

namespace tolvex {

std::unique_ptr<App> createApp(bool writeDebugFile)
{
    auto app = std::make_unique<App>();
    if (writeDebugFile) app->session.debugFile.open();
    app->window = std::make_unique<MainWindow>(app->session, app->shell);
    app->shell.setWindow(app->window.get());
    app->session.LogString(GetExeVersion(4));
    app->session.LogString(GetExeVersion(3));
    return app;
}

}  // namespace tolvex
