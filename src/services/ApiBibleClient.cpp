#include "services/ApiBibleClient.h"

#include "services/APIClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <nlohmann/json.hpp>
#include <qcoro/qcoronetworkreply.h>

namespace ApiBibleClient {

namespace {

constexpr int bodyExcerptLength = 120;

TestResult failed(QString message) {
    return TestResult{false, std::move(message), std::nullopt};
}

TestResult fromStatus(int status, const QByteArray& body) {
    switch (status) {
    case 200: {
        const std::optional<int> count = parseBibleCount(body);
        QString message = QStringLiteral("API key is valid");
        if (count)
            message += QStringLiteral(" (%1 Bibles on your account)").arg(*count);
        return TestResult{true, message + '.', count};
    }
    case 401:
        return failed(QStringLiteral("Invalid API key (401). Check the keyring or paste again."));
    case 403:
        return failed(QStringLiteral("API key rejected (403). Confirm your API.Bible plan."));
    case 429:
        return failed(QStringLiteral("Rate limited (429). Wait a moment and try again."));
    default: {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(body);
        const QString excerpt = decoder.hasError() ? QString() : text.left(bodyExcerptLength);
        return failed(QStringLiteral("API.Bible returned HTTP %1. ").arg(status) + excerpt);
    }
    }
}

} // namespace

QUrl apiBase() {
    const QString configured = qEnvironmentVariable("API_BIBLE_BASE_URL").trimmed();
    QString base = configured.isEmpty() ? QStringLiteral("https://rest.api.bible/v1") : configured;
    while (base.endsWith('/'))
        base.chop(1);
    return QUrl(base);
}

QCoro::Task<TestResult> testApiKey(QString key, int timeoutMs) {
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty())
        co_return failed(QStringLiteral("Enter an API key first."));

    QUrl url = apiBase();
    url.setPath(url.path() + QStringLiteral("/bibles"));
    QNetworkRequest request(url);
    request.setRawHeader("api-key", trimmed.toUtf8());
    request.setTransferTimeout(timeoutMs);
    QPointer<QNetworkReply> reply = APIClient::sharedSession()->get(request);
    co_await reply.data();
    if (!reply)
        co_return failed(QStringLiteral("Could not reach API.Bible: the request was cancelled"));
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        if (reply->error() == QNetworkReply::NoError)
            co_return failed(QStringLiteral("Unexpected response from API.Bible."));
        // Qt reports its own transfer time-out as "Operation canceled".
        const QString reason = reply->error() == QNetworkReply::OperationCanceledError
                                   ? QStringLiteral("the request timed out")
                                   : reply->errorString();
        co_return failed(QStringLiteral("Could not reach API.Bible: ") + reason);
    }
    co_return fromStatus(status.toInt(), reply->readAll());
}

std::optional<int> parseBibleCount(const QByteArray& body) {
    const auto document =
        nlohmann::json::parse(body.constData(), body.constData() + body.size(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    const auto data = document.find("data");
    if (data == document.end() || !data->is_array())
        return std::nullopt;
    return int(data->size());
}

} // namespace ApiBibleClient
