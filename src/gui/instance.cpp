// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QRegularExpression>
#include <ostream>

#include <unistd.h>

namespace tolvex {

QString instanceServerName(const QString& settingsFolder, const QString& display)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(runtime);
    // A socket's path is short (108 bytes): the folder and display go in as a digest.
    const QString settings = QFileInfo(settingsFolder).canonicalFilePath();
    const QByteArray key = (settings.isEmpty() ? settingsFolder : settings).toUtf8() + '\n' + display.toUtf8();
    const QString digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return folder + QString("/tolvex-%1-%2.socket").arg(::getuid()).arg(digest);
}

QString currentDisplay()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith("wayland")) return "wayland:" + qEnvironmentVariable("WAYLAND_DISPLAY", "wayland-0");
    if (platform == "xcb") {
        // ":0" and ":0.0" are the same display.
        QString display = qEnvironmentVariable("DISPLAY");
        static const QRegularExpression screen("(:\\d+)\\.\\d+$");
        display.replace(screen, "\\1");
        return "x11:" + display;
    }
    return platform;
}

bool handToRunningWindow(const QString& serverName, const QStringList& files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName, QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs)) return false;
    // One absolute path a line, then an empty line: the request is complete.
    QByteArray request;
    for (const QString& f : files) request += QFileInfo(f).absoluteFilePath().toUtf8() + '\n';
    request += '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

bool handOverFiles(const QString& serverName, const QStringList& files, std::ostream& err)
{
    if (!handToRunningWindow(serverName, files)) return false;
    if (files.isEmpty())
        err << "Tolvex is running: its window came to the front (tolvex --new-instance starts another)\n";
    else
        err << "Opened in the running Tolvex window\n";
    err.flush();
    return true;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent)
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto* buffer = new QByteArray;
            const auto take = [this, socket, buffer] {
                *buffer += socket->readAll();
                if (!buffer->endsWith("\n\n") && *buffer != "\n") return;
                QStringList files;
                for (const QByteArray& line : buffer->split('\n'))
                    if (!line.isEmpty()) files << QString::fromUtf8(line);
                buffer->clear();
                emit filesReceived(files);
            };
            connect(socket, &QLocalSocket::readyRead, this, take);
            connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
            if (socket->bytesAvailable() > 0) take();
        }
    });
}

bool InstanceServer::listen(const QString& serverName)
{
    // A window answers on the name: it stays the one. Nobody answers: a
    // window that crashed left its socket behind, which is taken over.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(200)) return false;
    QLocalServer::removeServer(serverName);
    return server_.listen(serverName);
}

}  // namespace tolvex
