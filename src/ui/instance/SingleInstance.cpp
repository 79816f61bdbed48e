// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/instance/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace parcelo::ui {

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate\n");

QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent) : QObject(parent) {
    const QDir dir(folder.isEmpty() ? runtimeFolder() : folder);
    lockPath_ = dir.filePath(kInstanceName + QStringLiteral(".lock"));
    serverName_ = dir.filePath(kInstanceName + QStringLiteral(".socket"));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::TryAcquire() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // A lock left by a copy that died is taken over; a live one is never stale by age.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        QLocalServer::removeServer(serverName_);
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
        server_->listen(serverName_);
        return true;
    }
    lock_.reset();
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (socket.waitForConnected(2000)) {
        socket.write(kActivate);
        socket.waitForBytesWritten(2000);
        socket.disconnectFromServer();
    }
    return false;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(kActivate.trimmed()))
                Q_EMIT ActivateRequested();
        });
        if (socket->bytesAvailable() > 0 && socket->readAll().contains(kActivate.trimmed()))
            Q_EMIT ActivateRequested();
    }
}

} // namespace parcelo::ui
