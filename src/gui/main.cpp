#include <QApplication>

#include "gui/app.h"

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tolvex");
    auto app = tolvex::createApp(true);
    app->window->show();
    return QApplication::exec();
}
