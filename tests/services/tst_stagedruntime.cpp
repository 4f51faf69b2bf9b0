#include "models/BookmarksConfig.h"
#include "services/APIClient.h"
#include "services/ApplicationSupport.h"
#include "services/ServerEnvironment.h"
#include "services/ServerManager.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QFileInfo>

using namespace TestSupport;

// The real staged runtime under the real manager: what an operator's Start
// and Stop do, end to end.
class TestStagedRuntime : public QObject {
    Q_OBJECT

    QString project() const { return stageDir() + "/share/vesperline/project"; }
    QString node() const { return stageDir() + "/share/vesperline/node/bin/node"; }

private Q_SLOTS:
    void initTestCase() {
        if (!QFileInfo::exists(project() + "/apps/server/dist/index.js") ||
            !QFileInfo::exists(node()))
            QFAIL("the staged runtime is missing: run `make stage` first");
        QCOMPARE(ApplicationSupport::bootstrap(project()), std::nullopt);
    }

    void startProbeAndStop() {
        const int port = freePort();
        ServerManager manager(ProjectPaths{project()}, node(), port);
        manager.prepareStartupLog();
        manager.start();
        QTRY_COMPARE_WITH_TIMEOUT(manager.status(), ServerStatus::running, slowSettle);
        QVERIFY(manager.spawnedByApp());
        QVERIFY(logged(manager, "Server started on port " + QString::number(port)));
        QVERIFY(manager.logLines().join('\n').contains("Listening on"));

        const auto& health = manager.health();
        QVERIFY(health && health->ok && health->db);
        QCOMPARE(health->runtimeVersion, QString("1.0.0"));
        QCOMPARE(health->runtimeRoot, project());
        QCOMPARE(health->translationId, QString("WEB"));
        QCOMPARE(health->serverName, ServerEnvironment::computerName());

        std::optional<APIResult<BookmarksConfig>> bookmarks;
        [](int port, std::optional<APIResult<BookmarksConfig>>& out) -> QCoro::Task<> {
            out = co_await APIClient(port).get<BookmarksConfig>("/api/bookmarks");
        }(port, bookmarks);
        QTRY_VERIFY_WITH_TIMEOUT(bookmarks.has_value(), settle);
        QVERIFY2(bookmarks->ok(),
                 bookmarks->ok() ? "" : qPrintable(bookmarks->error().description()));
        QVERIFY(!bookmarks->value().bookmarks.empty());

        const qint64 pid = *manager.childProcessId();
        await(manager.stopAsync());
        QCOMPARE(manager.status(), ServerStatus::stopped);
        QCOMPARE(manager.logLines().last(), QString("Server stopped"));
        QTRY_VERIFY(!processAlive(pid));
        QTRY_VERIFY(!PortOwner::isLocalTCPPortOpen(port));
    }
};

VESPERLINE_TEST_MAIN(TestStagedRuntime)
#include "tst_stagedruntime.moc"
