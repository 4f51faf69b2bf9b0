#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/APIClient.h"
#include "services/ApplicationSupport.h"
#include "services/RuntimeUpdateService.h"
#include "services/ServerManager.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"
#include "support/ServerFixtures.h"
#include "support/UpdateFixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace TestSupport;
using AppTest::InstallTree;
using Status = RuntimeUpdateService::Status;

namespace {

QString runtimePath(const QString& name) {
    return ApplicationSupport::path("runtime/" + name);
}

const QByteArray exitsAtOnce = "process.exit(3);\n";

} // namespace

// A runtime update switches the program to the new runtime and restarts the
// server on it; one that cannot start is rolled back by itself.
class TestRuntimeActivation : public QObject {
    Q_OBJECT

    UpdateFixtures::SigningKey key;
    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<HttpTestServer> host;
    int port = 0;

    void make(AppViewModel::Environment environment) {
        app = std::make_unique<AppViewModel>(std::move(environment));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
    }

    Status install(const QString& publicKey) {
        RuntimeUpdateService updates(RuntimeUpdateService::Options{publicKey});
        updates.setFeedURLString(host->url("/feed.json").toString());
        AppViewModel* model = app.get();
        await(updates.installLatest([model] { return model->applyHotPatchedRuntime(); }));
        return updates.status();
    }

    Status installFixture(const QString& version, const QByteArray& server) {
        const QByteArray archive = UpdateFixtures::runtimeArchive(version, server);
        const QString sha = UpdateFixtures::sha256Hex(archive);
        const QString url = host->url("/runtime-" + version + ".tar.gz").toString();
        host->setResponse("/feed.json", HttpResponse{200, UpdateFixtures::feedJson(
                                                              version, url, sha, key.sign(sha))});
        host->setResponse("/runtime-" + version + ".tar.gz", HttpResponse{200, archive});
        return install(key.publicKeyBase64());
    }

    QByteArray fixtureServer() const { return readFile(ExternalServer::fixtureScript()); }

    void verifyRunningOn(const QString& root) {
        QCOMPARE(app->projectRoot(), root);
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QCOMPARE(app->server().paths().runtimeRoot, root);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        writeFile(tree->projectRoot() + "/runtime-version.json", R"({"version": "1.0.0"})");
        host = std::make_unique<HttpTestServer>();
    }

    void cleanup() {
        if (app)
            AppTest::tearDown(*app, app);
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    // Installed while stopped with nothing blocking a start, a runtime that
    // cannot start goes back to the runtime of the program, with the server
    // running there and the church's data as it was. Then installs over the
    // running server, the manual roll back, and a runtime that cannot start
    // falling back to the one it replaced.
    void installRollBackAndFallBack() {
        make(tree->environment());
        writeFile(ApplicationSupport::path("playlists.json"), R"({"playlists": []})");
        const QByteArray bookmarks = readFile(ApplicationSupport::path("bookmarks.json"));
        QCOMPARE(
            installFixture("9.9.9", exitsAtOnce),
            Status(Status::Failed{"Runtime 9.9.9 failed to start; went back to runtime 1.0.0."}));
        verifyRunningOn(tree->projectRoot());
        QVERIFY(!QFileInfo::exists(runtimePath("current")));
        QCOMPARE(app->statusMessage(),
                 "Runtime 9.9.9 failed to start; went back to runtime 1.0.0.");
        QCOMPARE(readFile(ApplicationSupport::path("bookmarks.json")), bookmarks);
        QCOMPARE(readFile(ApplicationSupport::path("playlists.json")),
                 QByteArray(R"({"playlists": []})"));
        QVERIFY(QFileInfo::exists(ApplicationSupport::path("data/bible.sqlite")));

        QCOMPARE(installFixture("2.0.0", fixtureServer()), Status(Status::Installed{"2.0.0"}));
        verifyRunningOn(runtimePath("current"));
        QCOMPARE(installFixture("3.0.0", fixtureServer()), Status(Status::Installed{"3.0.0"}));
        verifyRunningOn(runtimePath("current"));
        QCOMPARE(ApplicationSupport::installedRuntimeVersion(), "3.0.0");

        await(app->rollBackRuntime());
        verifyRunningOn(runtimePath("current"));
        QCOMPARE(ApplicationSupport::installedRuntimeVersion(), "2.0.0");
        QVERIFY(!QFileInfo::exists(runtimePath("previous")));
        QCOMPARE(app->statusMessage(), "Runtime 2.0.0 active");

        QCOMPARE(
            installFixture("4.0.0", exitsAtOnce),
            Status(Status::Failed{"Runtime 4.0.0 failed to start; went back to runtime 2.0.0."}));
        verifyRunningOn(runtimePath("current"));
        QCOMPARE(ApplicationSupport::installedRuntimeVersion(), "2.0.0");
        QCOMPARE(QDir(runtimePath("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"current"});
    }

    // Something blocks a start (no Node.js): the update is installed and
    // the server stays stopped.
    void blockedStartStaysStopped() {
        make(tree->environment(false));
        QCOMPARE(installFixture("2.0.0", exitsAtOnce), Status(Status::Installed{"2.0.0"}));
        QCOMPARE(app->projectRoot(), runtimePath("current"));
        QCOMPARE(app->server().status(), ServerStatus::stopped);
        QCOMPARE(app->statusMessage(), "Runtime 2.0.0 active");
    }

    // The maker's script packs the real runtime; the feed is served on
    // 127.0.0.1; the server ends up answering on the new runtime.
    void realRuntimeFromTheMakersScript() {
        tree = InstallTree::withStagedRuntime();
        if (!tree)
            QSKIP("the stage has not been built (scripts/stage build)");
        QTemporaryDir out;
        const UpdateFixtures::PemKey pem = UpdateFixtures::makePemKey(out.path());
        const QString url = host->url("/runtime-2.5.0.tar.gz").toString();
        QVERIFY(
            UpdateFixtures::makeRuntimePatch("2.5.0", pem, out.path(), url, tree->projectRoot()));
        host->setResponse("/feed.json", HttpResponse{200, readFile(out.filePath("feed.json"))});
        host->setResponse("/runtime-2.5.0.tar.gz",
                          HttpResponse{200, readFile(out.filePath("runtime-2.5.0.tar.gz"))});

        make(tree->environment());
        app->server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QCOMPARE(install(pem.publicKeyBase64), Status(Status::Installed{"2.5.0"}));
        verifyRunningOn(runtimePath("current"));
        const auto health =
            waitForTask(APIClient(port).get<HealthResponse>(QStringLiteral("/api/health")));
        QVERIFY(health && health->ok());
        QCOMPARE(health->value().runtimeVersion, "2.5.0");
        QCOMPARE(health->value().runtimeRoot, runtimePath("current"));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestRuntimeActivation)
#include "tst_runtimeactivation.moc"
