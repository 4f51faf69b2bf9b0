#include "services/ApiBibleClient.h"
#include "support/HttpTestServer.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>

using namespace TestSupport;
using ApiBibleClient::TestResult;

Q_DECLARE_METATYPE(std::optional<int>)

class TestApiBibleClient : public QObject {
    Q_OBJECT

    std::unique_ptr<HttpTestServer> server;

    TestResult test(const QString& key, int timeoutMs = ApiBibleClient::testTimeoutMs) {
        auto result = waitForTask(ApiBibleClient::testApiKey(key, timeoutMs), 40000);
        if (!result)
            qFatal("the key test never finished");
        return *result;
    }

private Q_SLOTS:
    void init() {
        server = std::make_unique<HttpTestServer>();
        qputenv("API_BIBLE_BASE_URL", server->url("/v1/").toString().toUtf8());
    }

    void theServiceIsTheDocumentedOneUnlessOverridden() {
        qunsetenv("API_BIBLE_BASE_URL");
        QCOMPARE(ApiBibleClient::apiBase().scheme(), QStringLiteral("https"));
        QVERIFY(ApiBibleClient::apiBase().path().endsWith("/v1"));
    }

    void answers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<std::optional<int>>("count");

        QTest::newRow("200 with Bibles")
            << 200 << QByteArray(R"({"data":[{"id":"a"},{"id":"b"}]})") << true
            << "API key is valid (2 Bibles on your account)." << std::optional(2);
        QTest::newRow("200 with none")
            << 200 << QByteArray(R"({"data":[]})") << true
            << "API key is valid (0 Bibles on your account)." << std::optional(0);
        QTest::newRow("200 not JSON") << 200 << QByteArray("<html>ok</html>") << true
                                      << "API key is valid." << std::optional<int>();
        QTest::newRow("200 data not a list") << 200 << QByteArray(R"({"data":{"id":"a"}})") << true
                                             << "API key is valid." << std::optional<int>();
        QTest::newRow("401") << 401 << QByteArray(R"({"message":"bad"})") << false
                             << "Invalid API key (401). Check the keyring or paste again."
                             << std::optional<int>();
        QTest::newRow("403") << 403 << QByteArray() << false
                             << "API key rejected (403). Confirm your API.Bible plan."
                             << std::optional<int>();
        QTest::newRow("429") << 429 << QByteArray() << false
                             << "Rate limited (429). Wait a moment and try again."
                             << std::optional<int>();
        const QByteArray longBody = QByteArray("é").repeated(100) + QByteArray("x").repeated(100);
        QTest::newRow("500 long body")
            << 500 << longBody << false
            << "API.Bible returned HTTP 500. " + QString::fromUtf8(longBody).left(120)
            << std::optional<int>();
        QTest::newRow("502 not UTF-8") << 502 << QByteArray("\xff\xfe bad") << false
                                       << "API.Bible returned HTTP 502. " << std::optional<int>();
    }

    void answers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        server->setResponse("/v1/bibles", HttpResponse(status, body));
        const TestResult result = test(QStringLiteral("  my-key\n"));
        QTEST(result.ok, "ok");
        QTEST(result.message, "message");
        QTEST(result.bibleCount, "count");
        QCOMPARE(server->requests().size(), 1);
        QCOMPARE(server->requests().first().method, QByteArray("GET"));
        QCOMPARE(server->requests().first().header("api-key"), QByteArray("my-key"));
    }

    void anEmptyKeyIsNeverSent() {
        const TestResult result = test(QStringLiteral(" \n "));
        QVERIFY(!result.ok);
        QCOMPARE(result.message, QStringLiteral("Enter an API key first."));
        QVERIFY(server->requests().isEmpty());
    }

    void aServiceThatDoesNotAnswerOrIsNotThereIsReported() {
        HttpResponse silent;
        silent.neverAnswer = true;
        server->setResponse("/v1/bibles", silent);
        QElapsedTimer clock;
        clock.start();
        const TestResult late = test(QStringLiteral("key"), 500);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!late.ok);
        QCOMPARE(late.message, QStringLiteral("Could not reach API.Bible: the request timed out"));

        qputenv("API_BIBLE_BASE_URL",
                QStringLiteral("http://127.0.0.1:%1/v1").arg(freePort()).toUtf8());
        const TestResult refused = test(QStringLiteral("key"));
        QVERIFY(!refused.ok);
        QVERIFY2(refused.message.startsWith("Could not reach API.Bible: ") &&
                     refused.message.size() > 28,
                 qPrintable(refused.message));
    }
};

VESPERLINE_TEST_MAIN(TestApiBibleClient)
#include "tst_apibibleclient.moc"
