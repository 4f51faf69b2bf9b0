// Runtime update benchmark, against the real staged runtime: from
// "Download & install" (the feed already checked) until the program reports
// the new runtime installed, its server answering health, beside the floor
// measured in the same run: the same archive unpacked by `tar -xzf` plus the
// server's own boot on it to its first health answer. Goal at most 1.3x.
//
// The archive is made once by scripts/make-runtime-patch from the staged
// runtime, signed with a key made for the run, and served on 127.0.0.1.
// Runs in a temporary HOME so the real support directory is never touched.
#include "../lib/BenchSupport.h"
#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/Preferences.h"
#include "services/RuntimeUpdateService.h"
#include "services/ServerEnvironment.h"
#include "services/ServerManager.h"
#include "support/HttpTestServer.h"
#include "support/UpdateFixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int rounds = 5;
const QString version = QStringLiteral("7.0.0");
const QString stage = QStringLiteral(VESPERLINE_STAGE_DIR);
const QString project = stage + "/share/vesperline/project";
const QString node = stage + "/share/vesperline/node/bin/node";

using BenchSupport::freePort;
using BenchSupport::median;
using BenchSupport::waitFor;

// Health answered by the runtime of this version.
bool healthAnswers(int port) {
    const QByteArray answer = BenchSupport::healthAnswer(port);
    return answer.startsWith("HTTP/1.1 200") &&
           answer.contains("\"runtimeVersion\":\"" + version.toUtf8() + "\"");
}

double floorMs(const QString& archive) {
    QTemporaryDir root;
    const int port = freePort();
    QElapsedTimer clock;
    clock.start();
    QProcess::execute("/usr/bin/tar", {"-xzf", archive, "-C", root.path()});
    QProcess server;
    server.setProcessEnvironment(
        ServerEnvironment::forChild(ProjectPaths{root.path()}, node, port));
    server.setWorkingDirectory(root.path());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(node, {root.path() + "/apps/server/dist/index.js"});
    waitFor([&] { return healthAnswers(port); });
    const double elapsed = clock.nsecsElapsed() / 1e6;
    server.terminate();
    server.waitForFinished(5000);
    return elapsed;
}

double installMs(const QString& feedURL, const QString& publicKey) {
    QDir(ApplicationSupport::path("runtime")).removeRecursively();
    const int port = freePort();
    Preferences::setInteger("serverPort", port);
    AppViewModel app(
        AppViewModel::Environment::forLayout(BundleLayout::forApplicationDir(stage + "/bin")));
    RuntimeUpdateService updates(RuntimeUpdateService::Options{publicKey});
    updates.setFeedURLString(feedURL);
    bool checked = false;
    updates.checkForUpdates().then([&] { checked = true; });
    waitFor([&] { return checked && app.pendingOperations() == 0; }, 120000);

    QElapsedTimer clock;
    clock.start();
    bool done = false;
    updates.installLatest([&app] { return app.applyHotPatchedRuntime(); }).then([&] {
        done = true;
    });
    waitFor([&] { return done; }, 120000);
    const double elapsed = clock.nsecsElapsed() / 1e6;
    if (!updates.status().is<RuntimeUpdateService::Status::Installed>() || !healthAnswers(port)) {
        std::fprintf(stderr, "the installation did not end with the new runtime answering\n");
        std::exit(1);
    }
    bool stopped = false;
    app.server().forceStopOnPortAsync().then([&] { stopped = true; });
    waitFor([&] { return stopped && app.pendingOperations() == 0; });
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (home.path() + "/" + name).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (!QFileInfo::exists(project + "/apps/server/dist/index.js") || !QFileInfo::exists(node)) {
        std::fprintf(stderr, "The staged runtime is missing: run `make stage` first.\n");
        return 1;
    }

    QTemporaryDir out;
    const UpdateFixtures::PemKey key = UpdateFixtures::makePemKey(out.path());
    TestSupport::HttpTestServer host;
    const QString archive = out.filePath("runtime-" + version + ".tar.gz");
    if (!UpdateFixtures::makeRuntimePatch(version, key, out.path(),
                                          host.url("/archive.tar.gz").toString(), project))
        return 1;
    QFile body(archive);
    body.open(QIODevice::ReadOnly);
    host.setResponse("/archive.tar.gz", {200, body.readAll(), "application/gzip"});
    QFile feed(out.filePath("feed.json"));
    feed.open(QIODevice::ReadOnly);
    host.setResponse("/feed.json", {200, feed.readAll()});

    QList<double> floors, installs;
    for (int i = 0; i < rounds; ++i) {
        // Alternate the two so load on the machine hits both alike.
        floors << floorMs(archive);
        installs << installMs(host.url("/feed.json").toString(), key.publicKeyBase64);
    }
    std::printf("archive %.1f MB\n", QFileInfo(archive).size() / 1e6);
    std::printf("Download & install to the new runtime answering: median %.0f ms, tar -xzf plus "
                "the server's boot to first health %.0f ms, ratio %.2f (goal <= 1.3)\n",
                median(installs), median(floors), median(installs) / median(floors));
    return 0;
}
