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

} // namespace

class TestAPIClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathsResolveOnlyOntoTheLocalServer() {
        const APIClient client(4100);
        QCOMPARE(client.resolve("/output?w=1920&h=1080")->toString(),
                 QString("http://127.0.0.1:4100/output?w=1920&h=1080"));
        for (const char* elsewhere : {"//example.org/api", "https://127.0.0.1:4100/api",
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

    // What a GET and a PUT send, and their answers decoded or why they cannot
    // be; only a 2xx status is success.
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

        // A redirect is not followed: it is a failure like any other non-2xx.
        server.setResponse("/api/elsewhere", {200, R"({"ok": true})"});
        for (const int status : {299, 300, 302}) {
            HttpResponse response{status, R"({"ok": true})"};
            response.headers = {{"Location", "/api/elsewhere"}};
            server.setResponse("/api/health", response);
            const auto answer = waitForTask(client.get<HealthResponse>("/api/health"));
            QVERIFY(answer);
            if (status == 299) {
                QVERIFY(answer->ok() && answer->value().ok);
                continue;
            }
            QVERIFY(!answer->ok() && answer->error().clientError());
            QCOMPARE(answer->error().clientError()->statusCode(), status);
            QCOMPARE(answer->error().description(), QString("Server returned HTTP %1").arg(status));
        }
        QCOMPARE(server.hits("/api/elsewhere"), 0);
        QTRY_VERIFY(APIClient::sharedSession()->findChildren<QNetworkReply*>().isEmpty());
    }

    // Reads give up after 5 seconds of silence, writes only after 10; an
    // answer cut off after its headers is a transport failure, not a body
    // that does not decode.
    void readsAndWritesHaveTheirOwnTimeOuts() {
        HttpTestServer server;
        HttpResponse silent;
        silent.neverAnswer = true;
        server.setResponse("/api/health", silent);
        HttpResponse stalled{200, R"({"ok": true, "db": true, "themeId": "center"})"};
        stalled.stallAfterHeaders = true;
        server.setResponse("/api/themes", stalled);
        HttpResponse slowWrite{200, R"({"bookmarks": []})"};
        slowWrite.delayMs = 7000;
        server.setResponse("/api/bookmarks", slowWrite);

        const APIClient client(server.port());
        // All three are in flight at once.
        auto hung = client.get<HealthResponse>("/api/health");
        auto cut = client.get<HealthResponse>("/api/themes");
        auto write = client.put<BookmarksConfig>("/api/bookmarks", BookmarksConfig{});

        const auto hungResult = waitForTask(std::move(hung));
        QVERIFY(hungResult && hungResult->error().transportError());
        QCOMPARE(hungResult->error().transportError()->code, QNetworkReply::TimeoutError);
        QCOMPARE(hungResult->error().description(), QString("The request timed out"));
        const auto cutResult = waitForTask(std::move(cut));
        QVERIFY(cutResult && cutResult->error().transportError());
        QCOMPARE(cutResult->error().transportError()->code, QNetworkReply::TimeoutError);
        const auto writeResult = waitForTask(std::move(write));
        QVERIFY(writeResult && writeResult->ok());
    }
};

VESPERLINE_TEST_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
