#pragma once

// What the C++ benchmarks share: ports, waiting on the event loop, a raw
// health request and the median.
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace BenchSupport {

inline int freePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Spins the event loop until the condition holds; false after the limit.
inline bool waitFor(const std::function<bool()>& condition, int limitMs = 30000, int stepMs = 1) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(stepMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The whole answer to GET /api/health, as fast as a client can ask; empty
// when nothing accepts the connection.
inline QByteArray healthAnswer(int port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(50))
        return {};
    socket.write("GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(500))
        answer += socket.readAll();
    return answer;
}

inline double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchSupport
