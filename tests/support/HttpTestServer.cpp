#include "support/HttpTestServer.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace TestSupport {

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 409:
        return "Conflict";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Parses one complete request from the front of `buffer` and removes it;
// absent while the request is still incomplete.
std::optional<HttpRequestRecord> takeRequest(QByteArray& buffer) {
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    HttpRequestRecord request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(),
                                   line.mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("content-length", "0").toLongLong();
    const qsizetype total = headerEnd + 4 + bodyLength;
    if (buffer.size() < total)
        return std::nullopt;
    request.body = buffer.mid(headerEnd + 4, bodyLength);
    buffer.remove(0, total);

    const QUrl url(QString::fromLatin1(request.target));
    request.path = url.path(QUrl::FullyDecoded);
    request.query = QUrlQuery(url.query(QUrl::FullyEncoded));
    return request;
}

} // namespace

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent), server(new QTcpServer(this)) {
    if (!server->listen(QHostAddress::LocalHost, 0))
        qFatal("HttpTestServer: cannot listen on 127.0.0.1: %s", qPrintable(server->errorString()));
    connect(server, &QTcpServer::newConnection, this, &HttpTestServer::accept);
}

HttpTestServer::~HttpTestServer() {
    close();
}

int HttpTestServer::port() const {
    return server->serverPort();
}

QString HttpTestServer::baseURL() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void HttpTestServer::setResponse(const QString& path, HttpResponse response) {
    anyMethod.insert(path, std::move(response));
}

void HttpTestServer::setResponse(const QByteArray& method, const QString& path,
                                 HttpResponse response) {
    byMethod.insert({method, path}, std::move(response));
}

QList<HttpRequestRecord> HttpTestServer::requestsTo(const QString& path) const {
    QList<HttpRequestRecord> matching;
    for (const auto& request : received) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

bool HttpTestServer::waitForRequests(int count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (received.size() < count && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return received.size() >= count;
}

void HttpTestServer::close() {
    server->close();
    const auto sockets = connections.keys();
    connections.clear();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void HttpTestServer::accept() {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        socket->setParent(this);
        connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::readFrom(QTcpSocket* socket) {
    auto it = connections.find(socket);
    if (it == connections.end())
        return;
    it->buffer.append(socket->readAll());
    // One request at a time per connection, as HTTP/1.1 clients expect the
    // answers in order; the next is parsed once the current one is answered.
    if (it->answering)
        return;
    auto request = takeRequest(it->buffer);
    if (!request)
        return;
    it->answering = true;
    received.append(*request);
    Q_EMIT requestReceived(*request);
    answer(socket, *request);
}

void HttpTestServer::answer(QTcpSocket* socket, const HttpRequestRecord& request) {
    HttpResponse response{404, R"({"error":"not found"})"};
    if (const auto it = byMethod.constFind({request.method, request.path}); it != byMethod.cend())
        response = *it;
    else if (const auto any = anyMethod.constFind(request.path); any != anyMethod.cend())
        response = *any;
    if (response.neverAnswer)
        return;
    const bool keepAlive = request.header("connection").toLower() != "close";
    QPointer<QTcpSocket> target(socket);
    QTimer::singleShot(response.delayMs, this, [this, target, response, keepAlive] {
        if (target && connections.contains(target))
            send(target, response, keepAlive);
    });
}

void HttpTestServer::send(QTcpSocket* socket, const HttpResponse& response, bool keepAlive) {
    if (response.dropConnection) {
        connections.remove(socket);
        socket->abort();
        socket->deleteLater();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (response.stallAfterHeaders) {
        socket->write(head + response.body.left(response.body.size() / 2));
        return;
    }
    socket->write(head + response.body);
    if (!keepAlive) {
        socket->disconnectFromHost();
        return;
    }
    auto it = connections.find(socket);
    if (it == connections.end())
        return;
    it->answering = false;
    if (!it->buffer.isEmpty())
        QTimer::singleShot(0, this, [this, target = QPointer<QTcpSocket>(socket)] {
            if (target)
                readFrom(target);
        });
}

} // namespace TestSupport
