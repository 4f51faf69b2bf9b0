#pragma once

#include "models/JsonCoding.h"
#include "models/JsonWriter.h"
#include "models/Result.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QString>
#include <QUrl>
#include <optional>
#include <qcoro/qcorotask.h>

class QNetworkAccessManager;

// The client's own failures.
class APIClientError {
public:
    enum class Kind { httpStatus, invalidURL, decodeFailed };

    static APIClientError httpStatus(int code) { return APIClientError(Kind::httpStatus, code); }
    static APIClientError invalidURL() { return APIClientError(Kind::invalidURL, 0); }
    // Part of the vocabulary for callers; the client itself reports a body
    // that does not decode with the decoder's own message instead.
    static APIClientError decodeFailed() { return APIClientError(Kind::decodeFailed, 0); }

    Kind kind() const { return kind_; }
    // The HTTP status for httpStatus, otherwise 0.
    int statusCode() const { return statusCode_; }
    // "Server returned HTTP 404", "Invalid URL", "Could not decode server response".
    QString description() const;

    bool operator==(const APIClientError&) const = default;

private:
    APIClientError(Kind kind, int statusCode) : kind_(kind), statusCode_(statusCode) {}
    Kind kind_;
    int statusCode_;
};

// No answer at all: nothing listening, a time-out, a dropped connection. The
// description is Qt's own text for the failure.
struct APITransportError {
    QNetworkReply::NetworkError code = QNetworkReply::UnknownNetworkError;
    QString message;

    QString description() const { return message; }
    bool operator==(const APITransportError&) const = default;
};

// A 2xx answer whose body is not the expected record; the decoder's message.
struct APIDecodingError {
    QString message;

    QString description() const { return message; }
    bool operator==(const APIDecodingError&) const = default;
};

// What a request can fail with: exactly one of the three. Callers show
// description(); code that must react differently (the health probe tells
// "nothing answers" from "something answers wrongly") asks which it is.
class APIRequestError {
public:
    APIRequestError(APIClientError error) : client(error) {}
    APIRequestError(APITransportError error) : transport(std::move(error)) {}
    APIRequestError(APIDecodingError error) : decoding(std::move(error)) {}

    const APIClientError* clientError() const { return client ? &*client : nullptr; }
    const APITransportError* transportError() const { return transport ? &*transport : nullptr; }
    const APIDecodingError* decodingError() const { return decoding ? &*decoding : nullptr; }

    QString description() const {
        return client      ? client->description()
               : transport ? transport->description()
                           : decoding->description();
    }

    bool operator==(const APIRequestError&) const = default;

private:
    // Three optionals rather than a variant: GCC 12 reports the variant's
    // moves inside coroutine frames as reads of uninitialized memory.
    std::optional<APIClientError> client;
    std::optional<APITransportError> transport;
    std::optional<APIDecodingError> decoding;
};

template <typename T> using APIResult = Result<T, APIRequestError>;

// The HTTP client of the local presentation server. A small value built
// afresh for each operation from the server's port; every request goes through
// the one process-wide network manager. No retries, no caching, no logging:
// what a failure means is for the caller to decide.
//
// Coroutines here take their arguments by value and copy what they need from
// the client before the first suspension, so
// `auto task = APIClient(port).get<T>("/api/x");` is safe to await later.
class APIClient {
public:
    static constexpr int defaultPort = 3847;
    static constexpr int readTimeoutMs = 5000;
    static constexpr int writeTimeoutMs = 10000;

    explicit APIClient(int port = defaultPort);

    // "http://127.0.0.1:" + port, no trailing slash.
    QUrl baseURL;

    // The shared session, created on first use and owned by the
    // QCoreApplication, so it goes away before Qt's own globals do at exit.
    // Main thread only, like the rest of the program's networking.
    static QNetworkAccessManager* sharedSession();

    // `path` is absolute ("/api/health"); anything that would leave the base
    // URL's origin is an invalidURL failure.
    std::optional<QUrl> resolve(const QString& path) const;

    template <typename T> QCoro::Task<APIResult<T>> get(QString path) const {
        return fetch<T>(resolve(path), QByteArrayLiteral("GET"), std::nullopt);
    }

    // Sends `body` as compact JSON (absent optionals left out) with
    // Content-Type application/json, and decodes the server's answer.
    template <typename T, typename Body>
    QCoro::Task<APIResult<T>> put(QString path, const Body& body) const {
        return fetch<T>(resolve(path), QByteArrayLiteral("PUT"),
                        JsonWriter::compact(JsonCoding::encode(body)));
    }

private:
    static QCoro::Task<APIResult<QByteArray>> exchange(std::optional<QUrl> url, QByteArray method,
                                                       std::optional<QByteArray> body);

    template <typename T>
    static QCoro::Task<APIResult<T>> fetch(std::optional<QUrl> url, QByteArray method,
                                           std::optional<QByteArray> body) {
        auto answer = co_await exchange(std::move(url), std::move(method), std::move(body));
        if (!answer)
            co_return APIResult<T>::failure(answer.error());
        auto decoded = JsonCoding::decode<T>(answer.value());
        if (!decoded)
            co_return APIResult<T>::failure(APIDecodingError{decoded.error()});
        co_return APIResult<T>::success(std::move(decoded).value());
    }
};
