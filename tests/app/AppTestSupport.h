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
        QFile::copy(TestSupport::ExternalServer::fixtureScript(),
                    project + "/apps/server/dist/index.js");
        TestSupport::writeFile(project + "/package.json",
                               "{\"name\":\"fixture\",\"type\":\"module\"}\n");
        TestSupport::writeFile(project + "/apps/server/package.json", "{\"type\":\"module\"}\n");
        TestSupport::writeFile(project + "/data/bible.sqlite", "SQLite format 3\0fixture");
        TestSupport::writeFile(project + "/bookmarks.json",
                               R"({"bookmarks": [{"book": "John", "chapter": 3, "id": "seed-1",)"
                               R"( "label": "John 3:16", "verseStart": 16}]})");
        TestSupport::writeFile(project + "/themes.json",
                               R"({"defaultThemeId": "lowerThird", "themes": []})");
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

    QString binDir() const { return dir.path() + "/bin"; }
    QString resourceDir() const { return dir.path() + "/share/vesperline"; }
    QString projectRoot() const { return resourceDir() + "/project"; }

    // The real bootstrap over this tree; `node` false finds no Node.js at all.
    AppViewModel::Environment environment(bool node = true) const {
        AppViewModel::Environment environment =
            AppViewModel::Environment::forLayout(BundleLayout::forApplicationDir(binDir()));
        if (!node)
            environment.findNode = [] { return std::optional<NodeChecker::NodeInfo>(); };
        else if (!QFileInfo::exists(resourceDir() + "/node/bin/node"))
            // Only the test machine's Node.js, never a login-shell search.
            environment.findNode = [] {
                return NodeChecker::probeNode(TestSupport::nodeExecutable());
            };
        return environment;
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
    QFile::remove(Preferences::filePath());
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

// Ends what a test made, in the order that leaves nothing behind: whatever
// server holds the model's port, then the model's pending operations, then
// `holder` (the model itself, or the program around it), then one more turn
// for the waits its destructors cancelled, and the deletions it deferred.
template <typename Holder> void tearDown(AppViewModel& app, std::unique_ptr<Holder>& holder) {
    TestSupport::await(app.server().forceStopOnPortAsync());
    // A cancelled wait returns on the next turn of the loop.
    QCoreApplication::processEvents();
    QTRY_COMPARE_WITH_TIMEOUT(app.pendingOperations(), 0, TestSupport::slowSettle);
    holder.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace AppTest
