#include "support/FakeServerPlatform.h"

#include <QMetaObject>
#include <QTcpSocket>

namespace TestSupport {

bool FakeServerProcess::start(const Launch& launch) {
    launched = launch;
    running = launches;
    return launches;
}

void FakeServerProcess::listen() {
    server.listen(QHostAddress::LocalHost,
                  quint16(launched.environment.value(QStringLiteral("PORT")).toInt()));
    QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, this,
                             [this, socket] { answer(socket); });
    });
}

void FakeServerProcess::stopListening() {
    server.close();
    for (QTcpSocket* socket : server.findChildren<QTcpSocket*>())
        socket->abort();
}

void FakeServerProcess::answer(QTcpSocket* socket) {
    if (!socket->peek(65536).contains("\r\n\r\n"))
        return;
    socket->readAll();
    const QByteArray body = R"({"ok":true,"db":true,"clients":0})";
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

void FakeServerProcess::exit(int code) {
    running = false;
    stopListening();
    QMetaObject::invokeMethod(
        this, [this, code] { Q_EMIT exited(code, true); }, Qt::QueuedConnection);
}

QCoro::Task<QList<qint32>> FakePortOwner::findListeningPIDs(int) const {
    co_return listeners;
}

QCoro::Task<QList<qint32>> FakePortOwner::findChildPIDs(qint32 parent) const {
    co_return children.value(parent);
}

QList<qint32> FakePortOwner::signalled(int signal) const {
    QList<qint32> pids;
    for (const auto& [pid, sig] : sent) {
        if (sig == signal)
            pids.append(qint32(pid));
    }
    return pids;
}

ServerManager::Platform FakeServerPlatform::platform() {
    ServerManager::Platform result;
    result.ports = ports;
    result.makeProcess = [this](QObject* parent) {
        auto* process = new FakeServerProcess(5001 + children.size(), childrenLaunch, parent);
        children.append(process);
        return process;
    };
    return result;
}

} // namespace TestSupport
