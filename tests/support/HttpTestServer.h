#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTest>
#include <QUrl>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

class QTcpServer;
class QTcpSocket;

namespace TestSupport {

// What the server answers on one path.
struct HttpResponse {
    HttpResponse(int status = 200, QByteArray body = {},
                 QByteArray contentType = QByteArrayLiteral("application/json"))
        : status(status), body(std::move(body)), contentType(std::move(contentType)) {}

    int status;
    QByteArray body;
    QByteArray contentType;
    QList<QPair<QByteArray, QByteArray>> headers; // sent after the standard ones
    int delayMs = 0;                              // wait this long before answering
    bool neverAnswer = false;                     // read the request, then say nothing (time-outs)
    bool stallAfterHeaders = false; // send the headers and half the body, then nothing
};

// One request as the server received it.
struct HttpRequestRecord {
    QByteArray method;
    QByteArray target;                    // as sent, with the query
    QString path;                         // decoded, without the query
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// A small HTTP/1.1 server on 127.0.0.1 and a port the system picks, for code
// that speaks HTTP to the local server. Each path answers with a chosen status,
// body and delay (unknown paths: 404); every request is recorded. Bodies need
// a Content-Length. Connections are kept alive, as real servers do.
class HttpTestServer : public QObject {
public:
    HttpTestServer();

    int port() const;
    // "http://127.0.0.1:<port>" followed by `target`.
    QUrl url(const QString& target) const;

    // For every method.
    void setResponse(const QString& path, HttpResponse response);

    const QList<HttpRequestRecord>& requests() const { return received; }
    // How many requests asked for exactly this target, query included.
    int hits(const QByteArray& target) const;

private:
    void readFrom(QTcpSocket* socket);
    void send(QTcpSocket* socket, const HttpResponse& response, bool keepAlive);

    QTcpServer* server;
    QMap<QString, HttpResponse> responses; // by path
    QList<HttpRequestRecord> received;
};

// Runs a task to completion in a nested event loop, giving up after
// `timeoutMs` (then the result is absent, so a hung coroutine fails the test
// instead of hanging it).
template <typename T> std::optional<T> waitForTask(QCoro::Task<T> task, int timeoutMs = 30000) {
    // Shared, as a task that outlives the wait still writes its result.
    auto result = std::make_shared<std::optional<T>>();
    task.then([result](T&& value) { result->emplace(std::move(value)); });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs))
        return std::nullopt;
    return std::move(*result);
}

} // namespace TestSupport
