#include "support/HttpTestServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace TestSupport {

namespace {

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
    for (const QByteArray& line : lines.mid(1)) {
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
    request.path = QUrl(QString::fromLatin1(request.target)).path(QUrl::FullyDecoded);
    return request;
}

} // namespace

HttpTestServer::HttpTestServer() : server(new QTcpServer(this)) {
    if (!server->listen(QHostAddress::LocalHost, 0))
        qFatal("HttpTestServer: cannot listen on 127.0.0.1: %s", qPrintable(server->errorString()));
    connect(server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

int HttpTestServer::port() const {
    return server->serverPort();
}

QUrl HttpTestServer::url(const QString& target) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(target));
}

void HttpTestServer::setResponse(const QString& path, HttpResponse response) {
    responses.insert(path, std::move(response));
}

int HttpTestServer::hits(const QByteArray& target) const {
    return int(std::count_if(received.begin(), received.end(),
                             [&](const HttpRequestRecord& r) { return r.target == target; }));
}

// One request at a time per connection, as HTTP/1.1 clients expect the
// answers in order; the next is parsed once the current one is answered.
void HttpTestServer::readFrom(QTcpSocket* socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    std::optional<HttpRequestRecord> request;
    if (!socket->property("answering").toBool())
        request = takeRequest(buffer);
    socket->setProperty("buffer", buffer);
    if (!request)
        return;
    received.append(*request);
    const HttpResponse response =
        responses.value(request->path, HttpResponse{404, R"({"error":"not found"})"});
    if (response.neverAnswer)
        return;
    socket->setProperty("answering", true);
    const bool keepAlive = request->header("connection").toLower() != "close";
    QTimer::singleShot(response.delayMs, this,
                       [this, target = QPointer<QTcpSocket>(socket), response, keepAlive] {
                           if (target)
                               send(target, response, keepAlive);
                       });
}

void HttpTestServer::send(QTcpSocket* socket, const HttpResponse& response, bool keepAlive) {
    // Clients read the status code; the reason phrase is only for people.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Test\r\n";
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
    socket->setProperty("answering", false);
    QTimer::singleShot(0, socket, [this, socket] { readFrom(socket); });
}

} // namespace TestSupport
