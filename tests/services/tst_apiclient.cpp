#include "models/BookmarksConfig.h"
#include "models/HealthResponse.h"
#include "models/TranslationSelectionRequest.h"
#include "models/TranslationsPayload.h"
#include "services/APIClient.h"
#include "support/HttpTestServer.h"
#include "support/TestSupport.h"

#include <QNetworkAccessManager>

using TestSupport::HttpResponse;
using TestSupport::HttpTestServer;
using TestSupport::waitForTask;

namespace {

const QByteArray translationsBody =
    R"({"libraries": [], "selection": {"primaryId": "WEB"},
        "primary": {"id": "WEB", "label": "World English Bible"}, "compareAvailable": false})";

template <typename T> QByteArray failureText(const APIResult<T>& result) {
    return result.ok() ? QByteArray() : result.error().description().toUtf8();
}

} // namespace

class TestAPIClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathsResolveOnlyOntoTheLocalServer() {
        const APIClient client(4100);
        QCOMPARE(client.resolve("/output?w=1920&h=1080")->toString(),
                 QString("http://127.0.0.1:4100/output?w=1920&h=1080"));
        for (const char* elsewhere :
             {"//example.org/api", "http://example.org/api", "https://127.0.0.1:4100/api",
              "http://127.0.0.1:9/api", "http://user@127.0.0.1:4100/api"})
            QVERIFY2(!client.resolve(elsewhere), elsewhere);
        QVERIFY(!APIClient(70000).resolve("/api/health"));
        QVERIFY(!APIClient(0).resolve("/api/health"));

        HttpTestServer server;
        const auto result = waitForTask(
            APIClient(server.port()).get<HealthResponse>("http://example.org/api/health"));
        QVERIFY(result && !result->ok() && result->error().clientError());
        QCOMPARE(result->error().description(), QString("Invalid URL"));
        QVERIFY(server.requests().isEmpty());
    }

    // What a GET and a PUT send, and their answers decoded or why they cannot be.
    void requestsSendWhatTheyShouldAndDecodeTheAnswer() {
        HttpTestServer server;
        server.setResponse("/api/health", {200, R"({"ok": true, "clients": 3})"});
        server.setResponse("/api/wrong", {200, R"({"ok": "yes"})"});
        server.setResponse("/api/translations", {200, translationsBody});
        // The client is a temporary that is gone long before the answer.
        auto task = APIClient(server.port()).get<HealthResponse>("/api/health");
        const auto result = waitForTask(std::move(task));
        QVERIFY(result && result->ok());
        QCOMPARE(result->value().clients, 3);
        QCOMPARE(server.requests().size(), 1);
        const auto get = server.requests().first();
        QCOMPARE(get.method + ' ' + get.target, QByteArray("GET /api/health"));
        QVERIFY(get.body.isEmpty() && get.header("content-type").isEmpty());

        const APIClient client(server.port());
        const auto payload = waitForTask(client.put<TranslationsPayload>(
            "/api/translations", TranslationSelectionRequest{"WEB", std::nullopt}));
        QVERIFY(payload && payload->ok());
        QCOMPARE(payload->value().primary.label, QString("World English Bible"));
        // How each record encodes is tst_records'.
        const auto put = server.requests().last();
        QCOMPARE(put.method, QByteArray("PUT"));
        QCOMPARE(put.header("content-type"), QByteArray("application/json"));
        QCOMPARE(put.body, QByteArray(R"({"primaryId":"WEB"})"));

        // A 2xx answer that does not decode is the decoder's error.
        const auto wrong = waitForTask(client.get<HealthResponse>("/api/wrong"));
        QVERIFY(wrong && !wrong->ok() && wrong->error().decodingError());
        QCOMPARE(wrong->error().description(), QString("ok: expected a Boolean, found a string"));

        QTRY_VERIFY(APIClient::sharedSession()->findChildren<QNetworkReply*>().isEmpty());
    }

    // A redirect is not followed: it is a failure like any other non-2xx.
    void onlyTwoHundredsAreSuccess() {
        HttpTestServer server;
        server.setResponse("/api/elsewhere", {200, R"({"ok": true})"});
        for (const int status : {299, 300, 302}) {
            HttpResponse response{status, R"({"ok": true})"};
            response.headers = {{"Location", "/api/elsewhere"}};
            server.setResponse("/api/health", response);
            const auto result =
                waitForTask(APIClient(server.port()).get<HealthResponse>("/api/health"));
            QVERIFY(result);
            if (status == 299) {
                QVERIFY2(result->ok() && result->value().ok, failureText(*result).constData());
                continue;
            }
            QVERIFY(!result->ok() && result->error().clientError());
            QCOMPARE(result->error().clientError()->statusCode(), status);
            QCOMPARE(result->error().description(), QString("Server returned HTTP %1").arg(status));
        }
        QCOMPARE(server.hits("/api/elsewhere"), 0);
    }

    // Reads give up after 5 seconds of silence, writes only after 10; an
    // answer cut off after its headers is a transport failure, not a body
    // that does not decode.
    void aDroppedConnectionFailsAtOnceAndReadsAndWritesHaveTheirOwnTimeOuts() {
        HttpTestServer server;
        HttpResponse silent;
        silent.neverAnswer = true;
        server.setResponse("/api/health", silent);
        HttpResponse stalled{200, R"({"ok": true, "db": true, "themeId": "center"})"};
        stalled.stallAfterHeaders = true;
        server.setResponse("/api/themes", stalled);
        HttpResponse slowRead{200, R"({"ok": true})"};
        slowRead.delayMs = 2500;
        server.setResponse("/api/slow", slowRead);
        HttpResponse slowWrite{200, R"({"bookmarks": []})"};
        slowWrite.delayMs = 7000;
        server.setResponse("/api/bookmarks", slowWrite);
        HttpResponse dropped;
        dropped.dropConnection = true;
        server.setResponse("/api/dropped", dropped);

        const APIClient client(server.port());
        // A closed connection fails at once, without waiting for a time-out.
        const auto droppedResult = waitForTask(client.get<HealthResponse>("/api/dropped"));
        QVERIFY(droppedResult && droppedResult->error().transportError());
        QVERIFY(droppedResult->error().transportError()->code != QNetworkReply::TimeoutError);
        // The other four are in flight at once.
        auto hung = client.get<HealthResponse>("/api/health");
        auto cut = client.get<HealthResponse>("/api/themes");
        auto slow = client.get<HealthResponse>("/api/slow");
        auto write = client.put<BookmarksConfig>("/api/bookmarks", BookmarksConfig{});

        const auto hungResult = waitForTask(std::move(hung));
        QVERIFY(hungResult && hungResult->error().transportError());
        QCOMPARE(hungResult->error().transportError()->code, QNetworkReply::TimeoutError);
        QCOMPARE(hungResult->error().description(), QString("The request timed out"));
        const auto cutResult = waitForTask(std::move(cut));
        QVERIFY(cutResult && cutResult->error().transportError());
        QCOMPARE(cutResult->error().transportError()->code, QNetworkReply::TimeoutError);
        const auto slowResult = waitForTask(std::move(slow));
        QVERIFY(slowResult && slowResult->ok());
        const auto writeResult = waitForTask(std::move(write));
        QVERIFY(writeResult);
        QVERIFY2(writeResult->ok(), failureText(*writeResult).constData());
    }
};

VESPERLINE_TEST_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
