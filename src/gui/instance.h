// SPDX-License-Identifier: GPL-3.0-or-later
// One window per user: a second `tolvex FILE...` (a double-click on a .syx
// while Tolvex is open) hands its files to the running window over a local
// socket and ends; `tolvex --new-instance` starts a window of its own.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tolvex {

// The running window's socket: in $XDG_RUNTIME_DIR when it is set, else in
// the temporary folder, named after the user.
QString instanceServerName();

// Sends the files (made absolute against the current folder) to the window
// listening on `serverName`; true when one took them. An empty list only
// brings that window to the front.
bool handToRunningWindow(const QString& serverName, const QStringList& files, int timeoutMs = 1000);

// The running window's end: listens on the name (taking over a socket left
// by a copy that crashed) and reports each request.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    // False when another window already listens on the name.
    bool listen(const QString& serverName);

signals:
    // Files a second start asked to open (possibly none): open them, come to the front.
    void filesReceived(const QStringList& files);

private:
    QLocalServer server_;
};

}  // namespace tolvex
