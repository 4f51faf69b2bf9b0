#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrlQuery>
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
    bool dropConnection = false;    // close the connection instead of answering
};

// One request as the server received it.
struct HttpRequestRecord {
    QByteArray method;
    QByteArray target; // as sent, with the query
    QString path;      // decoded, without the query
    QUrlQuery query;
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// A small HTTP/1.1 server on 127.0.0.1 and a port the system picks, for
// tests of code that speaks HTTP to the local server or to a stand-in for a
// remote service. Each path answers with a chosen status, body and delay
// (unknown paths: 404); every request is recorded. Requests need a
// Content-Length for their body (chunked uploads are not understood).
// Connections are kept alive, as real servers do.
class HttpTestServer : public QObject {
    Q_OBJECT

public:
    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    int port() const;
    // "http://127.0.0.1:<port>"
    QString baseURL() const;

    // For every method, or for one ("GET", "PUT"...), which wins over the former.
    void setResponse(const QString& path, HttpResponse response);
    void setResponse(const QByteArray& method, const QString& path, HttpResponse response);

    const QList<HttpRequestRecord>& requests() const { return received; }
    QList<HttpRequestRecord> requestsTo(const QString& path) const;
    // Runs the event loop until `count` requests have arrived in total.
    bool waitForRequests(int count, int timeoutMs = 10000);

    // Stops listening and drops every open connection.
    void close();

Q_SIGNALS:
    void requestReceived(const TestSupport::HttpRequestRecord& request);

private:
    struct Connection {
        QByteArray buffer;
        bool answering = false;
    };

    void accept();
    void readFrom(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const HttpRequestRecord& request);
    void send(QTcpSocket* socket, const HttpResponse& response, bool keepAlive);

    QTcpServer* server;
    QHash<QTcpSocket*, Connection> connections;
    QHash<QString, HttpResponse> anyMethod;
    QHash<QPair<QByteArray, QString>, HttpResponse> byMethod;
    QList<HttpRequestRecord> received;
};

// Runs a task to completion in a nested event loop, giving up after
// `timeoutMs` (then the result is absent, so a hung coroutine fails the test
// instead of hanging it).
template <typename T> std::optional<T> waitForTask(QCoro::Task<T> task, int timeoutMs = 30000) {
    struct State {
        std::optional<T> result;
        QEventLoop loop;
    };
    auto state = std::make_shared<State>();
    task.then([state](T&& value) {
        state->result.emplace(std::move(value));
        state->loop.quit();
    });
    if (!state->result) {
        QTimer::singleShot(timeoutMs, &state->loop, &QEventLoop::quit);
        state->loop.exec();
    }
    return std::move(state->result);
}

} // namespace TestSupport
