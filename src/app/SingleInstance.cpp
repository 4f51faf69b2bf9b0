#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray acknowledgement = QByteArrayLiteral("ok\n");

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine())
                    return;
                if (client->readLine() == showRequest) {
                    client->write(acknowledgement);
                    client->flush();
                    Q_EMIT activationRequested();
                }
                client->disconnectFromServer();
            });
        }
    });
}

QString SingleInstance::socketPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/vesperline-%1.socket").arg(::getuid());
}

bool SingleInstance::activateRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(answerTimeoutMs))
        return false;
    socket.write(showRequest);
    if (!socket.waitForBytesWritten(answerTimeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(answerTimeoutMs))
            return false;
    }
    return socket.readLine() == acknowledgement;
}

SingleInstance::Claim SingleInstance::listen() {
    const QString path = socketPath();
    if (server.listen(path))
        return Claim::listening;
    if (server.serverError() != QAbstractSocket::AddressInUseError)
        return Claim::failed;
    if (activateRunningInstance())
        return Claim::otherInstance;
    QLocalServer::removeServer(path);
    return server.listen(path) ? Claim::listening : Claim::failed;
}
