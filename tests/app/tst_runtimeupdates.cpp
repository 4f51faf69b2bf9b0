// Runtime updates: the feed checked, and an archive downloaded, verified and
// unpacked by the update service alone; then updates activated by the
// program, which restarts the server on the new runtime and by itself rolls
// back one that cannot start.
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
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

using namespace TestSupport;
using AppTest::InstallTree;
using Status = RuntimeUpdateService::Status;
using UpdateFixtures::TarEntry;

namespace {

// The church's files, which no installation may touch.
const QStringList churchFiles{"bookmarks.json", "playlists.json", "themes.json",
                              "data/bible.sqlite", "media/slides/one.png"};

QString runtimePath(const QString& name) {
    return ApplicationSupport::path("runtime/" + name);
}

QCoro::Task<std::optional<QString>> restartedFine() {
    co_return std::nullopt;
}

const QByteArray exitsAtOnce = "process.exit(3);\n";

} // namespace

Q_DECLARE_METATYPE(HttpResponse)

class TestRuntimeUpdates : public QObject {
    Q_OBJECT

    UpdateFixtures::SigningKey key;
    QTemporaryDir install;
    std::unique_ptr<HttpTestServer> host;
    QTcpServer oversized;
    QString oversizedURL;
    int restarts = 0;
    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    int port = 0;

    std::unique_ptr<RuntimeUpdateService> makeService() {
        auto service = std::make_unique<RuntimeUpdateService>(RuntimeUpdateService::Options{
            key.publicKeyBase64(), BundleLayout::forApplicationDir(install.filePath("bin"))});
        service->setFeedURLString(host->url("/feed.json").toString());
        return service;
    }

    QString archiveURL() const { return host->url("/runtime.tar.gz").toString(); }

    QByteArray signedFeed(const QString& version, const QString& sha, const QString& url = {}) {
        return UpdateFixtures::feedJson(version, url.isEmpty() ? archiveURL() : url, sha,
                                        key.sign(sha));
    }

    void serve(const QByteArray& feed, const QByteArray& archive = {}) {
        host->setResponse("/feed.json", HttpResponse{200, feed});
        host->setResponse("/runtime.tar.gz", HttpResponse{200, archive, "application/gzip"});
    }

    // `fractions` gathers the download's progress as the screen shows it.
    Status installServed(QList<double>* fractions = nullptr) {
        auto updates = makeService();
        connect(updates.get(), &RuntimeUpdateService::changed, this, [&] {
            const auto* downloading = updates->status().get<Status::Downloading>();
            if (fractions && downloading)
                *fractions << downloading->fraction.value_or(-1);
        });
        await(updates->installLatest([this] {
            ++restarts;
            return restartedFine();
        }));
        return updates->status();
    }

    Status check(const QByteArray& feed) {
        host->setResponse("/feed.json", HttpResponse{200, feed});
        auto updates = makeService();
        await(updates->checkForUpdates());
        return updates->status();
    }

    Status checkVersion(const QString& version, const QString& notes = {}) {
        return check(UpdateFixtures::feedJson(version, archiveURL(), "ab", {}, notes));
    }

    // What a test of the program starts from: a first launch on the
    // program's runtime, 1.0.0, with no update installed.
    void firstLaunch() {
        AppTest::prepareFirstLaunch(tree, port);
        writeFile(tree->projectRoot() + "/runtime-version.json", R"({"version": "1.0.0"})");
    }

    void make(AppViewModel::Environment environment) {
        app = std::make_unique<AppViewModel>(std::move(environment));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
    }

    Status installWith(const QString& publicKey) {
        RuntimeUpdateService updates(RuntimeUpdateService::Options{publicKey});
        updates.setFeedURLString(host->url("/feed.json").toString());
        AppViewModel* model = app.get();
        await(updates.installLatest([model] { return model->applyHotPatchedRuntime(); }));
        return updates.status();
    }

    Status installFixture(const QString& version, const QByteArray& server) {
        const QByteArray archive = UpdateFixtures::runtimeArchive(version, server);
        serve(signedFeed(version, UpdateFixtures::sha256Hex(archive)), archive);
        return installWith(key.publicKeyBase64());
    }

    QByteArray fixtureServer() const { return readFile(ExternalServer::fixtureScript()); }

    void verifyRunningOn(const QString& root) {
        QCOMPARE(app->projectRoot(), root);
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QCOMPARE(app->server().paths().runtimeRoot, root);
    }

private Q_SLOTS:
    // One server for the whole run: the refusal table is made with its
    // address. The other, a bare socket server, announces a body past the
    // limit, which the test server cannot.
    void initTestCase() {
        host = std::make_unique<HttpTestServer>();
        QVERIFY(oversized.listen(QHostAddress::LocalHost, 0));
        connect(&oversized, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = oversized.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 600000000\r\n\r\n");
                socket->write(QByteArray(64 * 1024, 'x'));
            });
        });
        oversizedURL = QStringLiteral("http://127.0.0.1:%1/r.tar.gz").arg(oversized.serverPort());
    }

    void init() {
        QDir(ApplicationSupport::supportURL()).removeRecursively();
        for (const QString& name : churchFiles)
            writeFile(ApplicationSupport::path(name), name.toUtf8());
        writeFile(runtimePath("current/apps/server/dist/index.js"), "// 1.0.0");
        writeFile(runtimePath("current/runtime-version.json"), "{\"version\": \"1.0.0\"}");
        restarts = 0;
    }

    void cleanup() {
        if (!app)
            return;
        AppTest::tearDown(*app, app);
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    // The installed version decides, compared number by number with a
    // missing part as 0; the bundled runtime's when nothing is installed,
    // else 0.0.0. Unknown keys are ignored; a feed without a signature
    // decodes.
    void checkOutcome() {
        QCOMPARE(checkVersion("1.0", "Notes"), Status(Status::UpToDate{}));
        QCOMPARE(checkVersion("1.0.1", "Notes"), Status(Status::Available{"1.0.1", "Notes"}));
        QCOMPARE(check("{\"extra\": 1, \"latest\": {\"version\": \"1.1\", \"url\": \"u\", "
                       "\"sha256\": \"ab\", \"minAppVersion\": \"1.0\", \"channel\": \"beta\"}}"),
                 Status(Status::Available{"1.1", ""}));

        QDir(runtimePath("current")).removeRecursively();
        QCOMPARE(checkVersion("0.0.1"), Status(Status::Available{"0.0.1", ""}));
        writeFile(install.filePath("share/vesperline/project/apps/server/dist/index.js"), "//");
        writeFile(install.filePath("share/vesperline/project/runtime-version.json"),
                  R"({"version": "2.10.0"})");
        QCOMPARE(checkVersion("2.9.9"), Status(Status::UpToDate{}));
    }

    void feedFailures_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("HTTP 500") << 500 << QByteArray("{}") << "Update feed HTTP 500.";
        QTest::newRow("no sha256")
            << 200 << QByteArray("{\"latest\": {\"version\": \"2\", \"url\": \"u\"}}")
            << "latest.sha256: required key is missing";
    }
    void feedFailures() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        // A good check first: its feed survives the failed one.
        serve(UpdateFixtures::feedJson("3.0", archiveURL(), "ab", {}));
        auto updates = makeService();
        await(updates->checkForUpdates());
        QVERIFY(updates->lastFeed());

        host->setResponse("/feed.json", HttpResponse{status, body});
        await(updates->checkForUpdates());
        const auto* failed = updates->status().get<Status::Failed>();
        QVERIFY(failed);
        QVERIFY2(failed->message.startsWith(message), qPrintable(failed->message));
        QCOMPARE(updates->lastFeed()->latest.version, "3.0");
    }

    // Each refusal leaves the installed runtime, the church's files and the
    // runtime folder as they were: no staging folder, no download kept, and
    // nothing written outside. The feed's checks run in a fixed order, its
    // version and address are checked before anything is downloaded, and a
    // body announced past the limit is refused as soon as its size is known.
    void refusedUpdates_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<HttpResponse>("download");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<QString>("escapee");
        const QByteArray archive = UpdateFixtures::runtimeArchive("2.0.0");
        const HttpResponse served{200, archive};
        const QString sha = UpdateFixtures::sha256Hex(archive);
        const QString url = archiveURL();
        const QString badSignature = "Update signature is invalid.";
        QTest::newRow("wrong checksum, unsigned")
            << UpdateFixtures::feedJson("2.0.0", url, UpdateFixtures::sha256Hex("other"), {})
            << served << "Download checksum did not match the feed." << 1 << QString();
        QTest::newRow("empty signature")
            << UpdateFixtures::feedJson("2.0.0", url, sha, "") << served
            << "Update is not signed — refusing to install." << 1 << QString();
        QTest::newRow("another key")
            << UpdateFixtures::feedJson("2.0.0", url, sha, UpdateFixtures::SigningKey().sign(sha))
            << served << badSignature << 1 << QString();
        QTest::newRow("version with a separator")
            << signedFeed("../2.0", sha) << served
            << "The update feed names an unusable runtime version \"../2.0\"." << 0 << QString();
        QTest::newRow("relative address")
            << signedFeed("2.0.0", sha, "runtime.tar.gz") << served
            << "The update feed's download address is not a web address: runtime.tar.gz" << 0
            << QString();
        QTest::newRow("announced past 512 MiB")
            << signedFeed("2.0.0", "ab", oversizedURL) << served
            << "The update archive is larger than 512 MiB — refusing to download." << 0
            << QString();

        const QString unpack = "Could not unpack the update archive.";
        const TarEntry server{"apps/server/dist/index.js", "// evil"};
        const QString outside = QDir::tempPath() + "/vesperline-escapee";
        const auto unsafe = [&](const char* name, const QList<TarEntry>& entries,
                                const QString& escapee = {}, const QString& message = {}) {
            const QByteArray bytes = UpdateFixtures::tarGz(entries);
            QTest::newRow(name) << signedFeed("2.0.0", UpdateFixtures::sha256Hex(bytes))
                                << HttpResponse{200, bytes}
                                << (message.isEmpty() ? unpack : message) << 1 << escapee;
        };
        unsafe("absolute path", {server, {outside, "x"}}, outside);
        unsafe("dot-dot", {server, {"apps/../../../escapee", "x"}}, runtimePath("../escapee"));
        unsafe("link out, then a write through it",
               {server,
                {"out", {}, TarEntry::Type::symlink, QDir::tempPath()},
                {"out/vesperline-escapee", "x"}},
               outside);
        unsafe("relative link climbing out",
               {server, {"apps/up", {}, TarEntry::Type::symlink, "../../.."}});
        unsafe("hard link to a system file",
               {server, {"passwd", {}, TarEntry::Type::hardlink, "/etc/passwd"}});
        unsafe("device node", {server, {"null", {}, TarEntry::Type::characterDevice}});
        unsafe("nested top-level folder", {{"runtime/apps/server/dist/index.js", "//"}}, {},
               "Update archive is missing the server build.");
    }
    void refusedUpdates() {
        QFETCH(QByteArray, feed);
        QFETCH(HttpResponse, download);
        QFETCH(QString, message);
        QFETCH(int, downloads);
        QFETCH(QString, escapee);
        if (!escapee.isEmpty())
            QFile::remove(escapee);
        const int hitsBefore = host->hits("/runtime.tar.gz");
        host->setResponse("/feed.json", HttpResponse{200, feed});
        host->setResponse("/runtime.tar.gz", download);
        QCOMPARE(installServed(), Status(Status::Failed{message}));
        QCOMPARE(restarts, 0);
        QCOMPARE(host->hits("/runtime.tar.gz") - hitsBefore, downloads);
        QCOMPARE(readFile(runtimePath("current/runtime-version.json")),
                 QByteArray("{\"version\": \"1.0.0\"}"));
        QCOMPARE(QDir(runtimePath("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"current"});
        for (const QString& name : churchFiles)
            QCOMPARE(readFile(ApplicationSupport::path(name)), name.toUtf8());
        if (!escapee.isEmpty())
            QVERIFY(!QFileInfo::exists(escapee));
    }

    // One generation is kept; the church's data stays as it was. Links that
    // stay inside the runtime (node_modules/.bin) are kept.
    void twoInstallsKeepOnePrevious() {
        const QByteArray first = UpdateFixtures::tarGz({
            {"./apps/server/dist/index.js", "// server"},
            {"./runtime-version.json", "{\"version\": \"2.0.0\"}\n"},
            {"./node_modules/tool/cli.js", "// cli"},
            {"./node_modules/.bin/tool", {}, TarEntry::Type::symlink, "../tool/cli.js"},
        });
        // The signature covers the feed's text as written, here in upper case.
        serve(signedFeed("2.0.0", UpdateFixtures::sha256Hex(first).toUpper()), first);
        QCOMPARE(installServed(), Status(Status::Installed{"2.0.0"}));
        QCOMPARE(restarts, 1);
        QCOMPARE(QFileInfo(runtimePath("current/node_modules/.bin/tool")).symLinkTarget(),
                 QFileInfo(runtimePath("current/node_modules/tool/cli.js")).absoluteFilePath());
        QCOMPARE(ApplicationSupport::installedRuntimeVersion(), "2.0.0");
        QCOMPARE(readFile(runtimePath("previous/runtime-version.json")),
                 QByteArray("{\"version\": \"1.0.0\"}"));

        // The second download's known size shows as a growing fraction: its
        // body comes in three parts a quarter second apart, as Qt reports
        // progress at most every 100 ms.
        const QByteArray archive = UpdateFixtures::runtimeArchive("3.0.0");
        QTcpServer slow;
        QVERIFY(slow.listen(QHostAddress::LocalHost, 0));
        connect(&slow, &QTcpServer::newConnection, this, [&slow, &archive] {
            QTcpSocket* socket = slow.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, &archive] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: " +
                              QByteArray::number(archive.size()) + "\r\n\r\n");
                const qsizetype third = archive.size() / 3;
                for (int part = 0; part < 3; ++part)
                    QTimer::singleShot(250 * part, socket, [socket, &archive, part, third] {
                        socket->write(archive.mid(part * third, part < 2 ? third : -1));
                    });
            });
        });
        serve(signedFeed("3.0.0", UpdateFixtures::sha256Hex(archive),
                         QStringLiteral("http://127.0.0.1:%1/r.tar.gz").arg(slow.serverPort())));
        QList<double> fractions;
        QCOMPARE(installServed(&fractions), Status(Status::Installed{"3.0.0"}));
        QVERIFY2(std::any_of(fractions.begin(), fractions.end(),
                             [](double f) { return f > 0 && f < 1; }),
                 "no fraction between 0 and 1");
        QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
        QCOMPARE(fractions.last(), 1.0);
        QCOMPARE(ApplicationSupport::installedRuntimeVersion(), "3.0.0");
        QCOMPARE(readFile(runtimePath("previous/runtime-version.json")),
                 QByteArray("{\"version\": \"2.0.0\"}\n"));
        QCOMPARE(QDir(runtimePath("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"current", "previous"}));
        for (const QString& name : churchFiles)
            QCOMPARE(readFile(ApplicationSupport::path(name)), name.toUtf8());
    }

    // Installed while stopped with nothing blocking a start, a runtime that
    // cannot start goes back to the runtime of the program, with the server
    // running there and the church's data as it was. Then installs over the
    // running server, the manual roll back, and a runtime that cannot start
    // falling back to the one it replaced.
    void installRollBackAndFallBack() {
        firstLaunch();
        make(tree->environment());
        writeFile(ApplicationSupport::path("playlists.json"), R"({"playlists": []})");
        const QByteArray bookmarks = readFile(ApplicationSupport::path("bookmarks.json"));
        QCOMPARE(
            installFixture("9.9.9", exitsAtOnce),
            Status(Status::Failed{"Runtime 9.9.9 failed to start; went back to runtime 1.0.0."}));
        verifyRunningOn(tree->projectRoot());
        QVERIFY(!QFileInfo::exists(runtimePath("current")));
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
        firstLaunch();
        make(tree->environment(false));
        QCOMPARE(installFixture("2.0.0", exitsAtOnce), Status(Status::Installed{"2.0.0"}));
        QCOMPARE(app->projectRoot(), runtimePath("current"));
        QCOMPARE(app->server().status(), ServerStatus::stopped);
        QCOMPARE(app->statusMessage(), "Runtime 2.0.0 active");
    }

    // The maker's script packs the real runtime; the feed is served on
    // 127.0.0.1; the server ends up answering on the new runtime.
    void realRuntimeFromTheMakersScript() {
        firstLaunch();
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
        QCOMPARE(installWith(pem.publicKeyBase64), Status(Status::Installed{"2.5.0"}));
        verifyRunningOn(runtimePath("current"));
        const auto health =
            waitForTask(APIClient(port).get<HealthResponse>(QStringLiteral("/api/health")));
        QVERIFY(health && health->ok());
        QCOMPARE(health->value().runtimeVersion, "2.5.0");
        QCOMPARE(health->value().runtimeRoot, runtimePath("current"));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestRuntimeUpdates)
#include "tst_runtimeupdates.moc"
