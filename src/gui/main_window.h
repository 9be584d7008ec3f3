// The main window: binds its widgets to the Session and holds no behaviour of its own.
#pragma once

#include <QListView>
#include <QListWidget>
#include <QMainWindow>

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

private:
    void syncLog();
    void syncSelectionFromModel();
    void syncSelectionToModel();

    Session& session_;
    QtShell& shell_;
    MessageListModel* model_;
    QListView* objects_;
    QListWidget* log_;
    bool syncing_ = false;
};

}  // namespace tolvex
