// Starts the real window offscreen and checks what a user would see first.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <gtest/gtest.h>

#include "gui/app.h"

namespace tolvex {
namespace {

TEST(MainWindow, StartsOffscreenShowsLogAndMessagesAndSavesScreenshot)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "tolvex_gui_tests";
    char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);

    auto app = createApp(false);
    app->window->show();
    QApplication::processEvents();

    EXPECT_EQ(app->window->windowTitle().toStdString(), "Tolvex");
    ASSERT_GE(app->window->logList()->count(), 2);
    EXPECT_EQ(app->window->logList()->item(0)->text().toStdString(), "InternalName = Tolvex ");
    EXPECT_EQ(app->window->logList()->item(1)->text().toStdString(), "FileVersion = 1.6.0.0 ");

    app->session.messages.append("Yamaha DX7 Bulk Dump", Bytes{0xF0, 0x43, 0xF7}, "x");
    app->session.messages.append("Korg Triton", Bytes{0xF0, 0x42, 0xF7}, "y");
    app->session.messages.makeCurrent(1);
    QApplication::processEvents();
    auto* view = app->window->objectsList();
    EXPECT_EQ(view->model()->rowCount(), 2);
    const auto rows = view->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.front().row(), 1);

    // Selecting in the view selects in the session.
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    EXPECT_TRUE(app->session.messages.selectedAt(0));

    const QPixmap shot = app->window->grab();
    EXPECT_FALSE(shot.isNull());
    shot.save(QDir::current().filePath("tolvex-main-window.png"));
    app->window->close();
}

}  // namespace
}  // namespace tolvex
