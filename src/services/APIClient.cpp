#include "services/APIClient.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <qcoro/qcoronetworkreply.h>

QString APIClientError::description() const {
    switch (kind_) {
    case Kind::httpStatus:
        return QStringLiteral("Server returned HTTP %1").arg(statusCode_);
    case Kind::invalidURL:
        return QStringLiteral("Invalid URL");
    case Kind::decodeFailed:
        return QStringLiteral("Could not decode server response");
    }
    Q_UNREACHABLE();
}

APIClient::APIClient(int port)
    : baseURL(QStringLiteral("http://127.0.0.1:%1").arg(port), QUrl::StrictMode) {}

QNetworkAccessManager* APIClient::sharedSession() {
    // A QPointer, so that a second QCoreApplication (test programs) gets a
    // fresh manager instead of a dangling one.
    static QPointer<QNetworkAccessManager> session;
    if (!session)
        session = new QNetworkAccessManager(QCoreApplication::instance());
    return session;
}

std::optional<QUrl> APIClient::resolve(const QString& path) const {
    if (!baseURL.isValid() || baseURL.port() <= 0)
        return std::nullopt;
    const QUrl relative(path, QUrl::StrictMode);
    if (!relative.isValid())
        return std::nullopt;
    const QUrl url = baseURL.resolved(relative);
    // "//elsewhere/x" or "http://elsewhere/x" resolve fine but would send the
    // church's data to another host; this client talks to one server only.
    if (!url.isValid() || url.scheme() != baseURL.scheme() || url.host() != baseURL.host() ||
        url.port() != baseURL.port() || !url.userInfo().isEmpty())
        return std::nullopt;
    return url;
}

QCoro::Task<APIResult<QByteArray>> APIClient::exchange(std::optional<QUrl> url, QByteArray method,
                                                       std::optional<QByteArray> body) {
    if (!url)
        co_return APIResult<QByteArray>::failure(APIClientError::invalidURL());

    QNetworkRequest request(*url);
    // A redirect would turn "300 and above is a failure" into "whatever the
    // Location points at"; the local server never redirects its API.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    if (body) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        request.setTransferTimeout(writeTimeoutMs);
    } else {
        request.setTransferTimeout(readTimeoutMs);
    }

    QNetworkAccessManager* session = sharedSession();
    // The reply belongs to this coroutine; a QPointer because the manager
    // deletes its replies itself when it goes away at exit.
    QPointer<QNetworkReply> reply = !body ? session->get(request)
                                    : method == "PUT"
                                        ? session->put(request, *body)
                                        : session->sendCustomRequest(request, method, *body);
    struct ReplyGuard {
        QPointer<QNetworkReply>& reply;
        ~ReplyGuard() {
            if (reply)
                reply->deleteLater();
        }
    } guard{reply};

    co_await reply.data();
    if (!reply)
        co_return APIResult<QByteArray>::failure(APITransportError{
            QNetworkReply::OperationCanceledError, QStringLiteral("The request was cancelled")});

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        // Qt flags 4xx and 5xx as errors too; the status is what counts.
        if (code < 200 || code > 299)
            co_return APIResult<QByteArray>::failure(APIClientError::httpStatus(code));
    }
    if (reply->error() == QNetworkReply::OperationCanceledError)
        // Nothing here aborts a reply, so a cancelled one is Qt's transfer
        // time-out, which it reports as "Operation canceled": a message that
        // would send the operator looking for whoever cancelled something.
        co_return APIResult<QByteArray>::failure(APITransportError{
            QNetworkReply::TimeoutError, QStringLiteral("The request timed out")});
    if (reply->error() != QNetworkReply::NoError)
        co_return APIResult<QByteArray>::failure(
            APITransportError{reply->error(), reply->errorString()});
    co_return APIResult<QByteArray>::success(reply->readAll());
}
