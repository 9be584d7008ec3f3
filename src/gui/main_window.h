// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: lays out every control, binds it to the Session by control
// name, and forwards clicks to the commands. It holds no behaviour of its own.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>

#include "core/app/command_table.h"
#include "core/app/session.h"
#include "gui/library_window.h"
#include "gui/message_list_view.h"
#include "gui/qt_shell.h"

class QGridLayout;
class QPlainTextEdit;

namespace tolvex {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `commands` must outlive the window.
    MainWindow(Session& session, QtShell& shell, const CommandTable& commands, QWidget* parent = nullptr);

    MessageListView* objectsList() const { return objects_; }
    QListWidget* logList() const { return log_; }
    QTabWidget* pages() const { return pages_; }
    // The control of that name (buttons, edit boxes, labels, check boxes), or nullptr.
    QWidget* control(const QString& name) const { return control(name.toStdString()); }
    QWidget* control(const std::string& name) const;
    QWidget* control(const char* name) const { return control(std::string(name)); }

    // Names of the tab pages currently shown, in order.
    QStringList visiblePages() const;

    // The Library window ("&Library" menu, Ctrl+L), made on first use.
    LibraryWindow* showLibrary();
    LibraryAccess& library() { return library_; }

    // Files dropped on the window load as Open Sysex loads them.
    void openDroppedFiles(const QList<QUrl>& urls);

    // Runs after the session's close step when the window closes.
    std::function<void()> onClosed;
    // The program is ending on a signal: the close is not refused for a running send.
    bool stopping = false;

    // Closes without the question about received messages never saved
    // (SIGTERM: nobody is there to answer it).
    void closeWithoutAsking();

    QAction* undoAction() const { return undo_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildTopBar();
    QWidget* buildLibrarian();
    QWidget* buildLogSide();
    void buildStatusBar();
    void buildPages();
    void extra(const PageExtra& extra, QWidget* page, QGridLayout* grid);
    QPlainTextEdit* legend(QWidget* page, const PageExtra& extra);
    void buildMenus();
    void buildHelpMenu();

    // The button of a command-table entry: caption, hint, enabled when it has a function.
    QPushButton* button(QWidget* parent, const char* control);
    // A box or check box shows the hint given, else its hint in the command table.
    QLineEdit* edit(QWidget* parent, const char* name, const char* hint = "");
    QCheckBox* check(QWidget* parent, const char* name, const char* caption, const char* hint = "");
    QLabel* label(QWidget* parent, const char* name, const char* designText);
    // Runs a command with the session, showing any error it throws.
    void run(const std::function<void(Session&)>& command);

    void onSessionChanged(const std::string& name);
    void syncAll();
    void syncLog();
    void followLog();
    void showLogChanges();
    void syncSelector(QComboBox* box, const DeviceSelector& sel);
    void syncPages();
    // Paints the log and the Objects Window at most once per display frame:
    // a stream of received messages changes them far more often than a screen shows.
    void limitFrameRate();

    Session& session_;
    QtShell& shell_;
    const CommandTable& commands_;
    MessageListView* objects_ = nullptr;
    QListWidget* log_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QComboBox* cmbInput_ = nullptr;
    QComboBox* cmbOutput_ = nullptr;
    QLabel* busyPanel_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::map<QString, QWidget*> legacyPages_;
    bool syncing_ = false;
    bool logFollowPending_ = false;
    std::uint64_t shownAppended_ = 0, shownReplaced_ = 0, shownCleared_ = 0;  // the log as last shown
    bool closed_ = false;
    LibraryAccess library_{session_};
    LibraryWindow* libraryWindow_ = nullptr;
    bool noCloseQuestion_ = false;
    QAction* undo_ = nullptr;
    // Controls by name, found once (nullptr: no control has that name).
    mutable std::unordered_map<std::string, QWidget*> controls_;
    QTimer* frameTimer_ = nullptr;
    QElapsedTimer lastFrame_;
};

}  // namespace tolvex
