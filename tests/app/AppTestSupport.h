#pragma once

#include "app/AppViewModel.h"
#include "services/NodeChecker.h"
#include "services/Preferences.h"
#include "services/ServerManager.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace AppTest {

// An installed program in a temporary folder, laid out like the stage:
// bin/ (where the executable would be) beside share/vesperline/project (the
// runtime root) and, optionally, share/vesperline/node/bin/node.
class InstallTree {
public:
    // The project is the fixture server, with seed files for the bootstrap.
    static std::unique_ptr<InstallTree> withFixtureRuntime(bool embeddedNode = false) {
        auto tree = std::unique_ptr<InstallTree>(new InstallTree);
        const QString project = tree->projectRoot();
        QDir().mkpath(project + "/apps/server/dist");
        QDir().mkpath(project + "/apps/web/dist");
        QFile::copy(TestSupport::ExternalServer::fixtureScript(),
                    project + "/apps/server/dist/index.js");
        TestSupport::writeFile(project + "/package.json",
                               "{\"name\":\"fixture\",\"type\":\"module\"}\n");
        TestSupport::writeFile(project + "/apps/server/package.json", "{\"type\":\"module\"}\n");
        TestSupport::writeFile(project + "/data/bible.sqlite", "SQLite format 3\0fixture");
        TestSupport::writeFile(project + "/bookmarks.json", seedBookmarks());
        TestSupport::writeFile(project + "/themes.json", seedThemes());
        if (embeddedNode)
            tree->linkNode(TestSupport::nodeExecutable());
        return tree;
    }

    // The staged runtime and its Node.js, linked in; null when the stage has
    // not been built.
    static std::unique_ptr<InstallTree> withStagedRuntime() {
        const QString staged = TestSupport::stageDir() + "/share/vesperline";
        if (!QFileInfo::exists(staged + "/project/apps/server/dist/index.js") ||
            !QFileInfo::exists(staged + "/node/bin/node"))
            return nullptr;
        auto tree = std::unique_ptr<InstallTree>(new InstallTree);
        QFile::link(staged + "/project", tree->projectRoot());
        tree->linkNode(staged + "/node/bin/node");
        return tree;
    }

    QString root() const { return dir.path(); }
    QString binDir() const { return root() + "/bin"; }
    QString resourceDir() const { return root() + "/share/vesperline"; }
    QString projectRoot() const { return resourceDir() + "/project"; }
    BundleLayout layout() const { return BundleLayout::forApplicationDir(binDir()); }

    // The real bootstrap over this tree; `node` false finds no Node.js at all.
    AppViewModel::Environment environment(bool node = true) const {
        AppViewModel::Environment environment = AppViewModel::Environment::forLayout(layout());
        if (!node)
            environment.findNode = [] { return std::optional<NodeChecker::NodeInfo>(); };
        else if (!QFileInfo::exists(resourceDir() + "/node/bin/node"))
            // Only the test machine's Node.js, never a login-shell search.
            environment.findNode = [] {
                return NodeChecker::probeNode(TestSupport::nodeExecutable());
            };
        return environment;
    }

    static QByteArray seedBookmarks() {
        return "{\n  \"bookmarks\": [\n    {\n      \"book\": \"John\",\n      \"chapter\": 3,\n"
               "      \"id\": \"seed-1\",\n      \"label\": \"John 3:16\",\n"
               "      \"verseStart\": 16\n    }\n  ]\n}\n";
    }
    static QByteArray seedThemes() {
        return "{\n  \"defaultThemeId\": \"lowerThird\",\n  \"themes\": []\n}\n";
    }

private:
    InstallTree() {
        QDir().mkpath(binDir());
        QDir().mkpath(resourceDir());
    }
    void linkNode(const QString& node) {
        QDir().mkpath(resourceDir() + "/node/bin");
        QFile::link(node, resourceDir() + "/node/bin/node");
    }

    QTemporaryDir dir;
};

// Removes everything the previous test left in the support directory and
// the preferences, so that each test sees a first launch.
inline void resetUserData() {
    QDir(ApplicationSupport::supportURL()).removeRecursively();
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  "/Vesperline/preferences.json");
}

// What every test of the program starts from: a first launch (see
// resetUserData) on a free port stored in the preferences, fixture servers
// that answer, and an install tree with the fixture runtime.
inline void prepareFirstLaunch(std::unique_ptr<InstallTree>& tree, int& port) {
    resetUserData();
    port = TestSupport::freePort();
    QVERIFY(Preferences::setInteger("serverPort", port).ok());
    TestSupport::setFixtureMode("healthy");
    tree = InstallTree::withFixtureRuntime();
}

// Waits until the manager behind the model has reached `status` and the
// model's mirror has followed it.
inline bool mirrorReached(const AppViewModel& app, ServerStatus status) {
    return app.server().status() == status && app.mirroredServerStatus() == status;
}

// The launch-time restore has finished and the model's mirror has followed
// it: what a test waits for before it looks at a freshly made model.
inline bool restoreSettled(const AppViewModel& app) {
    const ServerStatus status = app.server().status();
    return status != ServerStatus::starting && mirrorReached(app, status);
}

// Waits until the model has no asynchronous operation left, so that the test
// can tear it down without leaving a suspended one behind.
inline void awaitQuiet(const AppViewModel& app) {
    // A cancelled wait returns on the next turn of the loop.
    QCoreApplication::processEvents();
    QTRY_COMPARE_WITH_TIMEOUT(app.pendingOperations(), 0, TestSupport::slowSettle);
}

// After the objects are gone: one more turn, for the waits their destructors
// cancelled, and the deferred deletions.
inline void finishTearDown() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Ends what a test made, in the order that leaves nothing behind: whatever
// server holds the model's port, then the model's pending operations, then
// `holder` (the model itself, or the program around it) and the deletions it
// deferred.
template <typename Holder> void tearDown(AppViewModel& app, std::unique_ptr<Holder>& holder) {
    TestSupport::await(app.server().forceStopOnPortAsync());
    awaitQuiet(app);
    holder.reset();
    finishTearDown();
}

} // namespace AppTest
