// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the real window offscreen and checks what a user would see first.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include "qt_app.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/core_test_util.h"
#include "gui/app.h"
#include "gui/instance.h"
#include "gui/qt_shell.h"
#include "gui/splash.h"
#include "gui/timbre_copy_window.h"
#include "support/kronos_records.h"

namespace tolvex {
namespace {

// One application per test, destroyed with it, so that Qt and the libraries
// under it release what they hold before the leak check at exit.
using testing::QtApp;

// The program's window, offscreen, in a folder of its own holding the shipped
// tables; boxes are recorded as "TITLE: text" and answered OK.
struct Window {
    explicit Window(bool newInstance = false)
    {
        // No user copy of a table from the settings folder.
        qputenv("XDG_CONFIG_HOME", (progdir.path() + "/config").toUtf8());
        const QDir shipped(QCoreApplication::applicationDirPath());
        for (const QString& table : shipped.entryList({"*.txt"}, QDir::Files))
            QFile::copy(shipped.filePath(table), QDir(progdir.path()).filePath(table));
        AppOptions options;
        options.progpath = progdir.path().toStdString();
        options.writeDebugFile = false;
        options.showSplash = false;
        options.newInstance = newInstance;
        options.answerBox = [this](const std::string& title, const std::string& text) {
            boxes.push_back(title + ": " + text);
            return MsgResult::Ok;
        };
        app = createApp(std::move(options));
        app->window->show();
        QApplication::processEvents();  // the tables are read once the window is shown
        QApplication::processEvents();  // and their lines shown in the log
    }
    // What the window wrote to its settings file.
    std::string settings() const
    {
        std::ifstream ini(progdir.filePath("TOLVEX.INI").toStdString());
        return std::string(std::istreambuf_iterator<char>(ini), {});
    }
    // A file of two messages in the program folder.
    QString twoMessages() const
    {
        const QString syx = progdir.filePath("two.syx");
        std::ofstream(syx.toStdString(), std::ios::binary) << "\xF0\x43\x10\x01\xF7\xF0\x7E\x00\x06\x01\xF7";
        return syx;
    }
    QTemporaryDir progdir;
    std::vector<std::string> boxes;
    std::unique_ptr<App> app;
};

TEST(MainWindow, StartsOffscreenWithDefaultsAndWritesSettingsOnClose)
{
    QtApp qt;
    Window w;
    auto& app = w.app;

    // No MIDI devices are given: no box before the window, but a line in the
    // log and the status bar; the port lists wait for a choice.
    EXPECT_EQ(w.boxes, std::vector<std::string>{});
    std::vector<std::string> log;
    for (int i = 0; i < app->window->logList()->count(); ++i)
        log.push_back(app->window->logList()->item(i)->text().toStdString());
    EXPECT_NE(std::find(log.begin(), log.end(), "MIDI Interface Not Installed"), log.end());
    EXPECT_EQ(app->window->findChild<QLabel*>(ctl::StatusBar)->text(), "MIDI Interface Not Installed");
    EXPECT_EQ(app->window->findChild<QComboBox*>(ctl::cmbOutput)->currentText(), "");
    // A command that needs a port says what is missing.
    app->window->findChild<QPushButton*>("ReqSysex")->click();
    EXPECT_EQ(w.boxes, std::vector<std::string>{"Warning: MIDI Interface Not Installed"});
    w.boxes.clear();
    // The tables' summaries follow, each table with the folder it came from
    // (the summaries' texts: in the Kronos tables' tests).
    const std::string folder = w.progdir.path().toStdString() + "/";
    const std::string line = "Read Kro_Efx_Param.txt from " + folder + ": 4019 rows";
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    // The families' pages in their order; the legacy ones only while their box is checked.
    QStringList pages, current;
    for (const Page& p : app->commands.pages()) {
        pages << QString::fromStdString(p.title);
        if (!p.legacy) current << pages.back();
    }
    ASSERT_LT(current.size(), pages.size());
    EXPECT_EQ(app->window->visiblePages(), current);
    // A button without an action on purpose is there, disabled, and says why.
    for (const Command& c : app->commands.all()) {
        if (!c.noAction) continue;
        auto* b = app->window->findChild<QPushButton*>(QString::fromStdString(c.control));
        ASSERT_NE(b, nullptr) << c.control;
        EXPECT_FALSE(b->isEnabled()) << c.control;
        EXPECT_EQ(b->toolTip().toStdString(), c.hint);
    }

    // A received message becomes the only selected entry in the view too.
    app->session.messages.append("Yamaha DX7 Bulk Dump", Bytes{0xF0, 0x43, 0xF7}, "x");
    app->session.messages.append("Korg Triton", Bytes{0xF0, 0x42, 0xF7}, "y");
    app->session.messages.makeCurrent(1);
    QApplication::processEvents();
    auto* view = app->window->objectsList();
    auto click = [&](int row, Qt::KeyboardModifiers mods) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, QPoint(5, row * view->rowHeight() + 2));
    };
    // (Shift-click and the arrow keys: in the Objects Window's own tests.)
    click(0, Qt::ControlModifier);
    EXPECT_EQ(app->session.messages.selectedIndexes(), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(app->session.controls.text.get(ctl::Label_nbytes), " 3 bytes in buffer");  // the click's own command

    // Delete removes selected messages only while the Objects Window has the focus.
    app->window->activateWindow();
    app->window->logList()->setFocus();
    QTest::keyClick(app->window->logList(), Qt::Key_Delete);
    EXPECT_EQ(app->session.messages.count(), 2u);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(app->session.messages.count(), 0u);

    // A received message becomes the top line, however long the list.
    for (int i = 0; i < 500; ++i) app->session.messages.append("entry", Bytes{0xF0, 0xF7}, "");
    app->session.messages.makeCurrent(300);
    EXPECT_EQ(view->topRow(), 300);
    app->session.messages.makeCurrent(499);
    EXPECT_EQ(view->topRow(), 500 - view->visibleRows());
    app->session.messages.clear();

    // Typing into a box reaches the session; checking the legacy box shows the pages.
    static_cast<QLineEdit*>(app->window->control(ctl::Channel))->textEdited("5");
    app->session.controls.checked.set(ctl::XTCheckBox1, true);
    EXPECT_EQ(app->window->visiblePages(), pages);

    EXPECT_TRUE(app->window->grab().save(QDir::current().filePath("tolvex-main-window.png")));

    app->window->close();
    EXPECT_NE(w.settings().find("Channel=5\r\n"), std::string::npos) << w.settings();
    EXPECT_NE(w.settings().find("XTCheckBox1=1\r\n"), std::string::npos) << w.settings();
}

const std::vector<PageExtra>& extrasOf(const CommandTable& commands, const QString& title)
{
    for (const Page& p : commands.pages())
        if (QString::fromStdString(p.title) == title) return p.extras;
    static const std::vector<PageExtra> none;
    return none;
}

// The widget a page shows for a page extra its family declared, or null: a
// caption, a status label, a button with its caption to the left, a legend
// holding its text.
QWidget* extraWidget(QWidget* page, const PageExtra& x)
{
    const QString name = QString::fromStdString(x.control), text = QString::fromStdString(x.text);
    const auto labelled = [&]() -> QLabel* {
        for (auto* l : page->findChildren<QLabel*>())
            if (l->text() == text) return l;
        return nullptr;
    };
    switch (x.kind) {
    case PageExtra::Label: return labelled();
    case PageExtra::StatusLabel: return page->findChild<QLabel*>(name);
    case PageExtra::LabelledButton: {
        QLabel* caption = labelled();
        auto* button = page->findChild<QPushButton*>(name);
        if (caption == nullptr || button == nullptr || caption->geometry().right() > button->x()) return nullptr;
        return button;
    }
    case PageExtra::Legend: {
        auto* legend = page->findChild<QPlainTextEdit*>(name);
        return legend && legend->toPlainText() == text ? legend : nullptr;
    }
    }
    return nullptr;
}

// Every page keeps its captions whole and its buttons near their natural
// width, at the default font size and at 125 % (a desktop scaled by its font
// DPI), and shows what its family declared besides its buttons and boxes. The
// screenshots land in screenshots/ beside the test for a look.
TEST(MainWindow, PagesKeepTheirCaptionsWholeAtTwoScales)
{
    QDir().mkpath("screenshots");
    for (const double scale : {1.0, 1.25}) {
        QtApp qt;
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(font);
        Window w;
        auto& app = w.app;
        app->session.controls.checked.set(ctl::XTCheckBox1, true);
        QApplication::processEvents();
        // At the default size the window fits a 1366 px wide screen with its frame.
        if (scale == 1.0) {
            EXPECT_LE(app->window->minimumSizeHint().width(), 1280);
        }
        QTabWidget* pages = app->window->pages();
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            QWidget* page = pages->widget(i);
            const std::string where = pages->tabText(i).toStdString() + " at " + std::to_string(scale);
            for (QWidget* c : page->findChildren<QWidget*>()) {
                if (!c->isVisible()) continue;
                if (qobject_cast<QAbstractButton*>(c) == nullptr && qobject_cast<QLabel*>(c) == nullptr) continue;
                const QString name = c->objectName().isEmpty() ? c->property("text").toString() : c->objectName();
                EXPECT_GE(c->width(), c->sizeHint().width()) << where << ": " << name.toStdString() << " cut";
                if (qobject_cast<QPushButton*>(c)) {
                    EXPECT_LE(c->width(), 2 * c->sizeHint().width() + 40)
                        << where << ": " << name.toStdString() << " stretched";
                }
            }
            for (const PageExtra& x : extrasOf(app->commands, pages->tabText(i))) {
                QWidget* shown = extraWidget(page, x);
                ASSERT_NE(shown, nullptr) << where << ": " << x.text << x.control;
                EXPECT_TRUE(shown->isVisible()) << where << ": " << x.text << x.control;
                EXPECT_GE(shown->width(), shown->minimumWidth()) << where << ": " << x.control;
            }
            const QString file = QString("screenshots/page-%1-%2.png")
                                     .arg(pages->tabText(i).replace('/', '-'))
                                     .arg(static_cast<int>(scale * 100));
            EXPECT_TRUE(app->window->grab().save(file)) << file.toStdString();
        }
        app->window->closeWithoutAsking();
    }
}

// A laptop's 1366 x 768 screen, at 100 % and at 125 % (QT_SCALE_FACTOR, as a
// desktop scaled to 125 % sets it: 1093 x 614 logical pixels): the window
// fits with its frame, and nothing of it is off screen or cut. The
// screenshots land in screenshots/ beside the test for a look.
TEST(MainWindow, FitsALaptopScreenAt100And125Percent)
{
    QDir().mkpath("screenshots");
    QTemporaryDir dir;
    const QString screens = dir.filePath("screens.json");
    QFile json(screens);
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96}]})");
    json.close();
    for (const char* scale : {"1", "1.25"}) {
        const testing::ScopedEnv factor("QT_SCALE_FACTOR", scale);
        QtApp qt("offscreen:configfile=" + screens.toUtf8());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        Window w;
        MainWindow* window = w.app->window.get();
        w.app->session.controls.checked.set(ctl::XTCheckBox1, true);
        w.app->session.log.LogString("A long line: " + std::string(300, 'x') + " end");
        QApplication::processEvents();
        const std::string where = std::string("at ") + scale + ": " + std::to_string(window->width()) + " x " +
                                  std::to_string(window->height()) + " on " + std::to_string(screen.width()) + " x " +
                                  std::to_string(screen.height());
        EXPECT_LE(window->frameGeometry().width(), screen.width()) << where;
        EXPECT_LE(window->frameGeometry().height(), screen.height()) << where;
        QTabWidget* pages = window->pages();
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            for (QWidget* c : window->findChildren<QWidget*>()) {
                if (!c->isVisible() || qobject_cast<QAbstractButton*>(c) == nullptr) continue;
                const QRect at(c->mapTo(window, QPoint(0, 0)), c->size());
                EXPECT_TRUE(window->rect().contains(at)) << where << ": " << c->objectName().toStdString();
                EXPECT_GE(c->width(), c->sizeHint().width()) << where << ": " << c->objectName().toStdString();
            }
        }
        pages->setCurrentIndex(pages->indexOf(window->findChild<QWidget*>("Kronos")));
        const QString file = QString("screenshots/laptop-%1.png").arg(QString(scale).remove('.'));
        EXPECT_TRUE(window->grab().save(file)) << file.toStdString();

        // The Timbre Copy window too, under its own title.
        TimbreCopyWindow* copy = w.app->timbreCopy.get();
        copy->show();
        QApplication::processEvents();
        EXPECT_EQ(copy->windowTitle(), "Timbre Copy");
        EXPECT_LE(copy->frameGeometry().width(), screen.width()) << scale;
        EXPECT_LE(copy->frameGeometry().height(), screen.height()) << scale;
        EXPECT_TRUE(
            copy->grab().save(QString("screenshots/laptop-timbre-copy-%1.png").arg(QString(scale).remove('.'))));
        copy->hide();
        window->closeWithoutAsking();
    }
}

// The window as a desktop citizen: its menu entry, icon, Help menu, lamp
// tooltip, title bar, the question before unsaved receptions are lost, undo.
TEST(MainWindow, BelongsToItsMenuEntryAndAsksBeforeLosingReceptions)
{
    QtApp qt;
    Window w;
    auto& app = w.app;
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.tolvex.Tolvex");
    EXPECT_FALSE(app->window->windowIcon().isNull());
    // X11 takes WM_CLASS from the application name; the desktop entry names the same.
    QFile desktop(QString(TOLVEX_FIXTURES_DIR) + "/../../packaging/org.tolvex.Tolvex.desktop");
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString(desktop.readAll()).contains("\nStartupWMClass=" + QApplication::applicationName() + "\n"));

    EXPECT_EQ(app->window->windowTitle(), "Tolvex");
    OpenSysexFile(app->session, std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/dx7-rom1a.syx");
    EXPECT_EQ(app->window->windowTitle(), "dx7-rom1a.syx - Tolvex");

    // Clear All Buffers, then Ctrl+Z.
    QAction* undo = app->window->undoAction();
    EXPECT_FALSE(undo->isEnabled());
    static_cast<QPushButton*>(app->window->control("Button_clear"))->click();
    EXPECT_EQ(app->session.messages.count(), 0u);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->shortcut(), QKeySequence(QKeySequence::Undo));
    undo->trigger();
    EXPECT_EQ(app->session.messages.count(), 1u);
    EXPECT_FALSE(undo->isEnabled());

    // Two received dumps never saved: Cancel keeps the window, Discard closes it.
    StoreReceivedMessage(app->session, Bytes{0xF0, 0x7D, 0x01, 0xF7});
    StoreReceivedMessage(app->session, Bytes{0xF0, 0x7D, 0x02, 0xF7});
    w.boxes.clear();
    app->shell.answerBox = [&w](const std::string& title, const std::string& text) {
        w.boxes.push_back(title + ": " + text);
        return w.boxes.size() == 1 ? MsgResult::Cancel : MsgResult::No;
    };
    EXPECT_FALSE(app->window->close());
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_TRUE(app->window->close());
    EXPECT_EQ(w.boxes, (std::vector<std::string>{"Tolvex: Save the 2 received messages?",
                                                 "Tolvex: Save the 2 received messages?"}));
}

TEST(MainWindow, ControlsDropsSendsAndWaitsAsAUserExpects)
{
    QtApp qt;
    Window w;
    auto& app = w.app;
    w.boxes.clear();

    // Every button and menu item of the window has exactly one entry of the
    // command table, and every entry of the window has its control.
    std::multiset<std::string> controls, entries;
    for (const QPushButton* b : app->window->findChildren<QPushButton*>())
        controls.insert(b->objectName().toStdString());
    for (const QAction* a : app->window->menuBar()->findChildren<QAction*>())
        if (!a->objectName().isEmpty() && !a->isSeparator() && a->menu() == nullptr && a->parent() != nullptr &&
            a->objectName() != "UndoClear" && !a->objectName().startsWith("Help"))
            controls.insert(a->objectName().toStdString());
    for (const Command& c : app->commands.all())
        if (c.window == kMainWindow) entries.insert(c.control);
    EXPECT_EQ(controls, entries);
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), entries.size());
    EXPECT_TRUE(app->window->findChild<QPushButton*>("Button_send")->isEnabled());
    EXPECT_FALSE(app->window->findChild<QPushButton*>("SetlistAutoName")->isEnabled());  // it has no command
    // A command's result colour reaches its button's text, and goes again.
    auto* check = app->window->findChild<QPushButton*>("CheckSumCheck");
    app->session.controls.textColor.set("CheckSumCheck", "red");
    EXPECT_EQ(check->styleSheet().toStdString(), "color: red");
    app->session.controls.textColor.set("CheckSumCheck", "");
    EXPECT_EQ(check->styleSheet().toStdString(), "");

    // Dropped files load as Open Sysex loads them (a file it cannot read: in
    // the librarian's tests).
    app->window->openDroppedFiles({QUrl::fromLocalFile(w.twoMessages())});
    EXPECT_EQ(app->session.messages.count(), 2u);

    // Closing under a running send would free what it works on: refused.
    app->session.midi.SendRunning = true;
    app->window->close();
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_EQ(w.boxes, std::vector<std::string>{"Warning: Wait for the send to finish or press Cancel"});
    app->session.midi.SendRunning = false;

    // A wait handles events without spinning a core: each pass sleeps until an
    // event comes or the short bound passes (a spinning loop makes thousands).
    QElapsedTimer clock;
    clock.start();
    int passes = 0;
    while (clock.elapsed() < 200) {
        app->shell.ProcessMessages();
        ++passes;
    }
    EXPECT_LT(passes, 200);
    EXPECT_GE(passes, 200 / (4 * QtShell::kWaitBoundMs));

    app->window->close();
    EXPECT_FALSE(app->window->isVisible());
}

// A second start hands its files to the running window over the local socket
// and says so; one started with --new-instance keeps its hands off the
// settings file. Only a window of the same settings folder and display is
// that running window.
TEST(MainWindow, ASecondStartHandsItsFilesToTheRunningWindow)
{
    QtApp qt;
    Window w;
    const QTemporaryDir runtime;
    const QString settings = w.progdir.path();
    const QString display = currentDisplay();
    EXPECT_EQ(display, "offscreen");
    EXPECT_EQ(instanceServerName(settings, display), instanceServerName(settings + "/./", display));
    EXPECT_NE(instanceServerName(settings, display), instanceServerName(runtime.path(), display));
    EXPECT_NE(instanceServerName(settings, "x11::0"), instanceServerName(settings, "x11::1"));
    const QString name = runtime.filePath("tolvex.socket");
    InstanceServer server;
    ASSERT_TRUE(server.listen(name));
    InstanceServer second;
    EXPECT_FALSE(second.listen(name));  // one window listens
    QObject::connect(&server, &InstanceServer::filesReceived, [&](const QStringList& files) {
        std::vector<std::string> paths;
        for (const QString& f : files) paths.push_back(f.toStdString());
        openHandedFiles(*w.app, paths);
    });
    const QString syx = w.twoMessages();
    std::ostringstream said;
    EXPECT_TRUE(handOverFiles(name, {syx}, said));
    EXPECT_EQ(said.str(), "Opened in the running Tolvex window\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.app->session.messages.count() == 2; }, 3000));
    EXPECT_EQ(w.app->session.messages.storageAt(0).filename, syx.toStdString());
    EXPECT_FALSE(handToRunningWindow(runtime.filePath("nobody.socket"), {syx}, 100));

    Window separate(true);
    separate.app->session.controls.text.set(ctl::Channel, "9");
    separate.app->window->close();
    EXPECT_EQ(separate.settings().find("Channel="), std::string::npos);
}

// SIGTERM or SIGINT while a box waits for the user: the box goes, the
// settings are written and the program ends within a second.
TEST(MainWindow, ASignalNeverWaitsOnABox)
{
    QtApp qt;
    Window w;
    w.app->shell.answerBox = nullptr;  // a real modal box
    w.app->session.controls.text.set(ctl::Channel, "7");
    QTimer::singleShot(
        0, [&] { w.app->shell.messageBox("Warning", "Waiting for you", MsgIcon::Warning, MsgButtons::Ok); });
    QTimer::singleShot(100, [&] { quitOnSignal(*w.app); });
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(5000, [] { QApplication::exit(3); });  // the test's own safety net
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(clock.elapsed(), 1100);
    EXPECT_FALSE(w.app->window->isVisible());
    EXPECT_NE(w.settings().find("Channel=7\r\n"), std::string::npos);
}

TEST(TimbreCopyWindow, ShowsTheSourceAndTheCopiesOfItsEditRecord)
{
    QtApp qt;
    Window w;
    auto& app = w.app;
    TimbreCopyWindow* copy = app->timbreCopy.get();
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->isVisible());

    // Every command of the window has its button, and each row its controls.
    for (const Command& c : app->commands.all())
        if (c.window == "Timbre Copy") {
            EXPECT_NE(copy->findChild<QPushButton*>(QString::fromStdString(c.control)), nullptr) << c.control;
        }
    auto* combo3 = copy->findChild<QComboBox*>("TimbreComboArray[3]");
    ASSERT_NE(combo3, nullptr);

    app->session.messages.append("sample", testing::currentCombiDump(testing::sampleCombi()), "");
    app->session.messages.makeCurrent(0);
    w.boxes.clear();
    app->window->findChild<QPushButton*>("TimbreCopy")->click();
    QApplication::processEvents();
    EXPECT_TRUE(copy->isVisible());
    copy->activated();
    auto text = [&](const char* name) {
        QWidget* c = copy->control(name);
        if (auto* e = qobject_cast<QLineEdit*>(c)) return e->text().toStdString();
        return static_cast<QLabel*>(c)->text().toStdString();
    };
    // The labels themselves: in the timbre-copy tests of tests/devices.
    EXPECT_EQ(text("SrcCombi"), "A Combi Name Of 24 Chars");
    EXPECT_EQ(text("TimbreNameArray[1]"), "I-B-005 Int");
    EXPECT_TRUE(w.boxes.empty());

    // The rows reach the session; a mapped copy lights its destination yellow
    // (which LEDs light in which colour: in the timbre-copy tests of tests/devices).
    auto led = [&](const QString& name) { return &copy->findChild<ThhALed*>(name)->state(); };
    copy->findChild<QCheckBox*>("TimbreCheckboxArray[3]")->click();
    combo3->setCurrentIndex(4);
    emit combo3->activated(4);
    EXPECT_TRUE(app->session.controls.checked.get("TimbreCheckboxArray[3]"));
    EXPECT_EQ(app->session.controls.chosen.get("TimbreComboArray[3]"), 5);
    copy->findChild<QPushButton*>("CopyTimbre")->click();
    EXPECT_EQ(led("TimbreLEDArray[5]")->TrueColor(), kLedYellow);
    EXPECT_EQ(led("TimbreLEDArray[4]")->TrueColor(), kLedLime);

    EXPECT_TRUE(copy->grab().save(QDir::current().filePath("tolvex-timbre-copy.png")));

    copy->findChild<QPushButton*>("BtnCloseCopyDlg")->click();
    EXPECT_FALSE(copy->isVisible());
}

TEST(Splash, ShowsItsPictureAndTheFileVersion)
{
    QtApp qt;
    TFormSplash splash;
    splash.show();
    QApplication::processEvents();
    const auto* picture = splash.findChild<QLabel*>("SplashPicture");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(splash.VerLabel()->text().toStdString(), "FileVersion = " TOLVEX_VERSION " ");
    splash.grab().save(QDir::current().filePath("tolvex-splash.png"));
}

}  // namespace
}  // namespace tolvex
