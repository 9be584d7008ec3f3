// SPDX-License-Identifier: GPL-3.0-or-later
// One window per settings folder and display: a second `tolvex FILE...` (a
// double-click on a .syx while Tolvex is open) hands its files to the running
// window over a local socket and ends; `tolvex --new-instance` starts a window
// of its own. A copy with other settings (another build, another
// installation) or on another display is not that window and starts its own.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <iosfwd>

namespace tolvex {

// The running window's socket: in $XDG_RUNTIME_DIR when it is set, else in
// the temporary folder, named after the user and keyed on the settings folder
// and the display.
QString instanceServerName(const QString& settingsFolder, const QString& display);
// The display this process shows its windows on ("x11::0", "wayland:wayland-0",
// else the platform's name). Needs the QGuiApplication.
QString currentDisplay();

// Sends the files (made absolute against the current folder) to the window
// listening on `serverName`; true when one took them. An empty list only
// brings that window to the front.
bool handToRunningWindow(const QString& serverName, const QStringList& files, int timeoutMs = 1000);
// The same for a second start, which then says on `err` what became of its
// files: "Opened in the running Tolvex window" (with none: that the window
// came to the front).
bool handOverFiles(const QString& serverName, const QStringList& files, std::ostream& err);

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
