// The model's side of the API.Bible credentials, key test and licensed
// import, with a private keyring, a fake API.Bible on 127.0.0.1 and the
// runtime's real import script and server from the stage.
#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/ApiBibleCredentials.h"
#include "services/ApplicationSupport.h"
#include "services/NkjvImportJob.h"
#include "services/ServerLog.h"
#include "support/FakeApiBible.h"
#include "support/GuiTestMain.h"

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

const QString secretKey = QStringLiteral("sk-model-test-key");
const QString credentialsFirst =
    QStringLiteral("Add your API.Bible key and NKJV Bible ID in Settings first.");

} // namespace

class TestLicensedImport : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<FakeApiBible> api;
    int port = 0;

    AppViewModel& make(AppViewModel::Environment environment) {
        environment.importRequestDelayMs = 0;
        app = std::make_unique<AppViewModel>(std::move(environment));
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        return *app;
    }

    void startServer() {
        app->server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), slowSettle);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        api = freshApiBible();
    }

    void cleanup() {
        if (app)
            AppTest::tearDown(*app, app);
    }

    void importNeedsCredentialsThenNodeThenAStoppedServer() {
        // Another instance's server runs on the port.
        ExternalServer running(QStringLiteral("healthy"), port);
        auto* a = &make(tree->environment(false));
        QVERIFY(a->server().isRunning());
        a->importNkjvFromAPI();
        QCOMPARE(a->nkjvImportError(), credentialsFirst);

        QCOMPARE(a->saveApiBibleCredentials(secretKey, " "),
                 QStringLiteral("API key and Bible ID are both required."));
        QCOMPARE(a->saveApiBibleCredentials(secretKey, FakeApiBible::bibleId), std::nullopt);
        QCOMPARE(a->nkjvImportError(), std::nullopt);
        a->importNkjvFromAPI();
        QCOMPARE(a->nkjvImportError(), QStringLiteral("Node.js is required to run the import."));

        QTRY_COMPARE(a->pendingOperations(), 0);
        a = &make(tree->environment());
        QVERIFY(a->server().isRunning());
        a->importNkjvFromAPI();
        QCOMPARE(a->nkjvImportError(),
                 QStringLiteral("Stop the server before importing a new translation."));
        QVERIFY(!a->isImporting());
    }

    void theKeyTestUsesTheTypedKeyElseTheStoredOne() {
        auto& a = make(tree->environment());
        await(a.testApiBibleKey(QStringLiteral("  ")));
        QCOMPARE(a.apiKeyTestMessage(), QStringLiteral("Enter or save an API key first."));
        QVERIFY(api->server().requests().isEmpty());

        QCOMPARE(a.saveApiBibleCredentials(secretKey, FakeApiBible::bibleId), std::nullopt);
        a.setNkjvImportError(QStringLiteral("an earlier failure"));
        auto test = a.testApiBibleKey(QString());
        QVERIFY(a.isTestingApiKey());
        QCOMPARE(a.apiKeyTestMessage(), QStringLiteral("Testing…"));
        await(std::move(test));
        QVERIFY(!a.isTestingApiKey());
        QCOMPARE(a.apiKeyTestMessage(),
                 QStringLiteral("API key is valid (1 Bibles on your account)."));
        QCOMPARE(a.nkjvImportError(), std::nullopt);
        QCOMPARE(api->server().requests().last().header("api-key"), secretKey.toUtf8());

        api->server().setResponse("/v1/bibles", HttpResponse(401));
        await(a.testApiBibleKey(QStringLiteral(" typed-key ")));
        QCOMPARE(api->server().requests().last().header("api-key"), QByteArray("typed-key"));
        QCOMPARE(a.apiKeyTestMessage(),
                 QStringLiteral("Invalid API key (401). Check the keyring or paste again."));
    }

    // Paste, import, watch, Start: the server then offers NKJV.
    void anImportedBibleIsWhatTheServerOffersNext() {
        auto staged = InstallTree::withStagedRuntime();
        if (!staged)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        auto& a = make(staged->environment());
        QCOMPARE(a.saveApiBibleCredentials(secretKey, FakeApiBible::bibleId), std::nullopt);
        QVERIFY(QFile::exists(ApplicationSupport::path("import.env")));

        int progressSeen = 0;
        QObject context;
        connect(&a, &AppViewModel::changed, &context,
                [&] { progressSeen = std::max(progressSeen, a.importProgress().book); });
        a.importNkjvFromAPI();
        QVERIFY(a.isImporting());
        QCOMPARE(a.statusMessage(),
                 QStringLiteral("Importing NKJV from API.Bible (30–60+ min, network required)…"));
        QTRY_VERIFY_WITH_TIMEOUT(!a.isImporting(), 60000);
        QCOMPARE(a.nkjvImportError(), std::nullopt);
        QCOMPARE(progressSeen, 66);
        QVERIFY(!QFile::exists(NkjvImportJob::temporaryPath()));
        QCOMPARE(api->server().requests().last().header("api-key"), secretKey.toUtf8());
        QCOMPARE(a.translationInfo().label, QStringLiteral("New King James Version"));
        QCOMPARE(a.statusMessage(), QStringLiteral("NKJV import finished. Start the server, then "
                                                   "set Primary to NKJV in Admin if needed."));
        const QByteArray log = readFile(ServerLog::filePath());
        QVERIFY(log.contains("[66/66] Revelation"));
        QVERIFY(!log.contains(secretKey.toUtf8()));

        startServer();
        await(a.reloadTranslations());
        QCOMPARE(a.translationsError(), std::nullopt);
        QCOMPARE(a.translationsPayload()->selection.primaryId, QStringLiteral("bible.nkjv.sqlite"));
        QCOMPARE(a.translationsPayload()->primary.label, QStringLiteral("New King James Version"));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestLicensedImport)
#include "tst_licensedimport_keyring.moc"
