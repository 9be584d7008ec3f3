// The main window: lays out every control, binds it to the Session by control
// name, and forwards clicks to the commands. It holds no behaviour of its own.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <functional>
#include <map>

#include "core/session.h"
#include "gui/message_list_model.h"
#include "gui/qt_shell.h"

namespace tolvex {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Session& session, QtShell& shell, QWidget* parent = nullptr);

    QListView* objectsList() const { return objects_; }
    QListWidget* logList() const { return log_; }
    QTabWidget* pages() const { return pages_; }
    // The control of that name (buttons, edit boxes, labels, check boxes), or nullptr.
    QWidget* control(const QString& name) const { return findChild<QWidget*>(name); }

    // Names of the tab pages currently shown, in order.
    QStringList visiblePages() const;

    // Runs after the session's close step when the window closes.
    std::function<void()> onClosed;

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
    void buildPages();
    void buildMenus();

    QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* hint,
                        std::function<void()> onClick = {});
    QLineEdit* edit(QWidget* parent, const char* name, const char* hint = "");
    QCheckBox* check(QWidget* parent, const char* name, const char* caption, const char* hint = "");
    QLabel* label(QWidget* parent, const char* name, const char* designText);
    // Runs a command with the session, showing any error it throws.
    void run(const std::function<void(Session&)>& command);

    void onSessionChanged(const std::string& name);
    void syncAll();
    void syncLog();
    void followLog();
    void syncSelectionFromModel();
    void syncSelectionToModel();
    void syncSelector(QComboBox* box, const DeviceSelector& sel);
    void syncPages();

    Session& session_;
    QtShell& shell_;
    MessageListModel* model_ = nullptr;
    QListView* objects_ = nullptr;
    QListWidget* log_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QComboBox* cmbInput_ = nullptr;
    QComboBox* cmbOutput_ = nullptr;
    QLabel* busyPanel_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::map<QString, QWidget*> legacyPages_;
    bool syncing_ = false;
    bool closed_ = false;
};

}  // namespace tolvex
