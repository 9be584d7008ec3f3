// Starts the real window offscreen and checks what a user would see first.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>

#include "core/controls.h"
#include "gui/app.h"

namespace tolvex {
namespace {

TEST(MainWindow, StartsOffscreenWithDefaultsAndWritesSettingsOnClose)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "tolvex_gui_tests";
    char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    QTemporaryDir progdir;
    ASSERT_TRUE(progdir.isValid());

    std::vector<std::string> boxes;
    AppOptions options;
    options.progpath = progdir.path().toStdString();
    options.writeDebugFile = false;
    options.showSplash = false;
    options.answerBox = [&](const std::string& title, const std::string& text) {
        boxes.push_back(title + ": " + text);
        return MsgResult::Ok;
    };
    auto app = createApp(std::move(options));
    app->window->show();
    QApplication::processEvents();

    // No MIDI devices are given: the start-up warning, and the window still opens.
    EXPECT_EQ(boxes, std::vector<std::string>{"Warning: MIDI Interface Not Installed"});
    EXPECT_EQ(app->window->windowTitle().toStdString(), "Tolvex");
    ASSERT_GE(app->window->logList()->count(), 3);
    EXPECT_EQ(app->window->logList()->item(0)->text().toStdString(), "InternalName = Tolvex ");
    EXPECT_EQ(app->window->logList()->item(1)->text().toStdString(), "FileVersion = 1.6.0.0 ");
    EXPECT_EQ(app->window->visiblePages(), (QStringList{"Triton", "Kronos"}));
    auto text = [&](const char* control) { return static_cast<QLineEdit*>(app->window->control(control))->text(); };
    EXPECT_EQ(text(ctl::Channel), "0");
    EXPECT_EQ(text(ctl::ProgChange), "1");
    EXPECT_EQ(text(ctl::Tri_Gchan), "1");
    EXPECT_EQ(text(ctl::SXreqString), "");

    // A received message becomes the only selected entry in the view too.
    app->session.messages.append("Yamaha DX7 Bulk Dump", Bytes{0xF0, 0x43, 0xF7}, "x");
    app->session.messages.append("Korg Triton", Bytes{0xF0, 0x42, 0xF7}, "y");
    app->session.messages.makeCurrent(1);
    QApplication::processEvents();
    auto* view = app->window->objectsList();
    const auto rows = view->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.front().row(), 1);
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    EXPECT_TRUE(app->session.messages.selectedAt(0));

    // Delete removes selected messages only while the Objects Window has the focus.
    app->window->activateWindow();
    app->window->logList()->setFocus();
    QTest::keyClick(app->window->logList(), Qt::Key_Delete);
    EXPECT_EQ(app->session.messages.count(), 2u);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(app->session.messages.count(), 0u);

    // Typing into a box reaches the session; checking the legacy box shows the pages.
    static_cast<QLineEdit*>(app->window->control(ctl::Channel))->textEdited("5");
    app->session.checked.set(ctl::XTCheckBox1, true);
    EXPECT_EQ(app->window->visiblePages(), (QStringList{"DX/TX", "SP", "Wavestation", "Triton", "Kronos"}));

    const QPixmap shot = app->window->grab();
    EXPECT_FALSE(shot.isNull());
    shot.save(QDir::current().filePath("tolvex-main-window.png"));

    app->window->close();
    std::ifstream ini(progdir.filePath("TOLVEX.INI").toStdString());
    std::stringstream written;
    written << ini.rdbuf();
    EXPECT_NE(written.str().find("Channel=5\r\n"), std::string::npos) << written.str();
    EXPECT_NE(written.str().find("XTCheckBox1=1\r\n"), std::string::npos) << written.str();
}

}  // namespace
}  // namespace tolvex
