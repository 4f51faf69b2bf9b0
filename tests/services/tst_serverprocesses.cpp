// What only real processes show: the child's command line and environment,
// signals to a process tree, ports held and freed, and ids read back from
// /proc. The state machine itself is tst_servermanager's, on fake children.
#include "services/ApplicationSupport.h"
#include "services/PidFile.h"
#include "services/ServerManager.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

using namespace TestSupport;

// Each test gets a fresh fixture runtime, a free port and a clean support
// directory; whatever it started is force-stopped afterwards, and the port
// must end up free.
class TestServerProcesses : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureRuntime> runtime;
    std::unique_ptr<ServerManager> manager;
    int port = 0;

    ServerManager& make() {
        manager = std::make_unique<ServerManager>(runtime->paths(), nodeExecutable(), port);
        return *manager;
    }

    void startAndWaitRunning(const QString& mode) {
        setFixtureMode(mode);
        make().start();
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::running, settle);
    }

    QString n() const { return QString::number(port); }

private Q_SLOTS:
    void init() {
        runtime = std::make_unique<FixtureRuntime>();
        port = freePort();
        PidFile::clear();
        QFile::remove(ServerLog::filePath());
        setFixtureMode("healthy");
    }

    void cleanup() {
        if (manager) {
            await(manager->forceStopOnPortAsync());
            manager.reset();
        }
        // The kernel may take a moment after the last listener died.
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void theChildRunsAsConfiguredAndStopEndsItsWorkers() {
        auto stale = std::make_unique<ExternalServer>("silent", port);
        setFixtureMode("workers");
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, slowSettle);
        QVERIFY(logged(m, "Killing stale server on port " + n()));
        QTRY_VERIFY(!stale->isRunning());
        QVERIFY(logged(m, "Listening on http://0.0.0.0:" + n()));
        QCOMPARE(PidFile::read(), qint32(*m.childProcessId()));

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fixtureReportPath()), settle);
        const QJsonObject report = QJsonDocument::fromJson(readFile(fixtureReportPath())).object();
        const QJsonObject env = report["env"].toObject();
        const QString support = ApplicationSupport::supportURL();
        QCOMPARE(report["cwd"].toString(), runtime->root());
        QCOMPARE(report["argv"].toArray().at(1).toString(), runtime->entryScript());
        const QList<QPair<QString, QString>> expected{
            {"PORT", n()},
            {"HOST", "0.0.0.0"},
            {"VESPERLINE_ROOT", runtime->root()},
            {"VESPERLINE_CONFIG_DIR", support},
            {"VESPERLINE_DB_PATH", support + "/data/bible.sqlite"},
            {"VESPERLINE_BOOKMARKS_PATH", support + "/bookmarks.json"},
            {"VESPERLINE_THEMES_PATH", support + "/themes.json"},
            {"VESPERLINE_WEB_DIST", runtime->root() + "/apps/web/dist"},
            {"VESPERLINE_LOG_PATH", support + "/server.log"},
            {"VESPERLINE_TRANSLATION_ID", "WEB"},
            {"NODE_PATH", runtime->root() + "/node_modules"}};
        for (const auto& [name, value] : expected)
            QCOMPARE(env[name].toString(), value);
        QVERIFY(!env["VESPERLINE_SERVER_NAME"].toString().isEmpty());
        QVERIFY(env["NODE_OPTIONS"].toString().contains("--experimental-default-type=module"));
        QVERIFY(env["PATH"].toString().startsWith(QFileInfo(nodeExecutable()).path() + ":"));

        const QJsonArray workers = report["workers"].toArray();
        QCOMPARE(workers.size(), 2);
        await(m.stopAsync());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(), QString("Server stopped"));
        QTRY_VERIFY(!processAlive(report["pid"].toInteger()));
        for (const auto& worker : workers)
            QTRY_VERIFY(!processAlive(worker.toInteger()));
        QVERIFY(!QFile::exists(PidFile::path()));
    }

    // The time-out ends a child that never answers and frees the port; a
    // cancel and a new start during that clean-up are not undone by it.
    void anUnansweredStartIsEndedAndAStartDuringItsCleanUpStands() {
        setFixtureMode("hung");
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.startupPhase(), StartupPhase::waiting, settle);
        const qint64 hung = *m.childProcessId();
        const QString timedOut =
            "Server did not respond on port " + n() + ". Check the log for errors.";
        QTRY_COMPARE_WITH_TIMEOUT(m.lastError(), timedOut, slowSettle);
        // The child ignores SIGTERM and gets a second before SIGKILL.
        QCOMPARE(m.status(), ServerStatus::starting);
        m.cancelStart();
        setFixtureMode("slow:3000");
        m.start();
        QTRY_VERIFY(!processAlive(hung));
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, slowSettle);
        QVERIFY(logged(m, "Server started on port " + n()));
        QCOMPARE(m.lastError(), std::nullopt);

        // Left alone, the time-out ends in a failed start (the port is free
        // again, as after every test here).
        await(m.forceStopOnPortAsync());
        setFixtureMode("hung");
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::crashed, slowSettle);
        QCOMPARE(m.startupPhase(), StartupPhase::failed);
        QCOMPARE(m.lastError(), timedOut);
    }

    // Quitting sends SIGTERM only: a child that ignores it is left running,
    // not killed with its QProcess, and the next launch adopts it. A forced
    // stop then ends it without holding up the window.
    void aStubbornChildOutlivesQuitIsAdoptedAndAForcedStopEndsIt() {
        startAndWaitRunning("stubborn");
        const qint64 child = *manager->childProcessId();
        manager->shutdownOnTerminate();
        manager.reset();
        QTest::qWait(500);
        QVERIFY(processAlive(child));

        auto& m = make();
        await(m.restoreStateOnLaunch());
        QCOMPARE(m.status(), ServerStatus::running);
        QVERIFY(!m.spawnedByApp());
        QVERIFY(m.canForceStop());
        m.forceStopOnPort();
        QCOMPARE(m.status(), ServerStatus::stopping);
        // The event loop runs during the grace period the child gets.
        bool served = false;
        QTimer::singleShot(0, [&] { served = m.status() == ServerStatus::stopping; });
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::stopped, settle);
        QVERIFY(served);
        QCOMPARE(m.logLines().last(),
                 "Port " + n() + " should now be free — you can Start without rebooting");
        QTRY_VERIFY(!processAlive(child));
        QTRY_VERIFY(!PortOwner::isLocalTCPPortOpen(port));
    }

    void restoreEndsALiveOrphanButNeverAReusedPid() {
        // An earlier run's server that no longer answers health.
        ExternalServer orphan("slow:600000", port, runtime->entryScript());
        const qint64 pid = orphan.pid();
        PidFile::write(pid);
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QVERIFY(logged(m, "Orphan server PID " + QString::number(pid) +
                              " failed health — terminating"));
        QTRY_VERIFY(!orphan.isRunning());
        QCOMPARE(m.status(), ServerStatus::stopped);

        QProcess unrelated;
        unrelated.start("sleep", {"600"});
        QVERIFY(unrelated.waitForStarted());
        PidFile::write(unrelated.processId());
        await(m.restoreStateOnLaunch());
        QVERIFY(!QFile::exists(PidFile::path()));
        PidFile::write(unrelated.processId());
        await(m.forceStopOnPortAsync());
        QTest::qWait(200);
        QCOMPARE(unrelated.state(), QProcess::Running);
        unrelated.kill();
        unrelated.waitForFinished();
    }
};

VESPERLINE_TEST_MAIN(TestServerProcesses)
#include "tst_serverprocesses.moc"
