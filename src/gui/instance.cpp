// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace tolvex {

QString instanceServerName()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(runtime);
    return folder + QString("/tolvex-%1.socket").arg(::getuid());
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
