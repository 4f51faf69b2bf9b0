#include "services/ApplicationSupport.h"
#include "services/ServerManager.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <csignal>

using namespace TestSupport;

class TestServerLifecycle : public ServerManagerTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpServerTest(); }
    void cleanup() { tearDownServerTest(); }

    void stopEndsTheChildAndItsWorkers() {
        startAndWaitRunning("workers");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fixtureReportPath()), settle);
        const QJsonObject report = readFixtureReport();
        const QJsonArray workers = report["workers"].toArray();
        QCOMPARE(workers.size(), 2);
        await(manager->stopAsync());
        QCOMPARE(manager->status(), ServerStatus::stopped);
        QCOMPARE(manager->logLines().last(), QString("Server stopped"));
        QVERIFY(logged(*manager, "Stopping server…"));
        QTRY_VERIFY(!processAlive(report["pid"].toInteger()));
        for (const auto& worker : workers)
            QTRY_VERIFY(!processAlive(worker.toInteger()));
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
        QVERIFY(!manager->canForceStop());
    }

    void aStopOvertakenByAForcedStopAndANewStartLeavesTheNewServerAlone() {
        startAndWaitRunning("stubborn");
        manager->stop(); // now waiting for the stubborn child
        setFixtureMode("healthy");
        manager->forceStopOnPort(); // runs to its end at once
        QCOMPARE(manager->status(), ServerStatus::stopped);
        manager->start();
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::running, settle);
        const qint64 child = *manager->childProcessId();
        // Long past the first stop's wait and its grace period.
        QTest::qWait(2000);
        QCOMPARE(manager->status(), ServerStatus::running);
        QVERIFY(processAlive(child));
        QVERIFY(ServerManager::isLocalTCPPortOpen(port));
    }

    void stopWhileStopped() {
        auto& m = make();
        await(m.stopAsync());
        QVERIFY(m.logLines().isEmpty());

        ExternalServer leftover("silent", port);
        await(m.stopAsync());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines(),
                 QStringList({"Stopping leftover process on port " + QString::number(port) + "…",
                              "Port " + QString::number(port) + " cleared"}));
        QTRY_VERIFY(!leftover.isRunning());
    }

    void forceStopEndsAChildThatIgnoresSigterm() {
        startAndWaitRunning("stubborn");
        const qint64 child = *manager->childProcessId();
        QVERIFY(manager->canForceStop());
        await(manager->forceStopOnPortAsync());
        QCOMPARE(manager->status(), ServerStatus::stopped);
        QCOMPARE(manager->logLines().last(),
                 "Port " + QString::number(port) +
                     " should now be free — you can Start without rebooting");
        QTRY_VERIFY(!processAlive(child));
        QTRY_VERIFY(!ServerManager::isLocalTCPPortOpen(port));
    }

    void cancellingAStartStopsTheChildAndStaysStopped() {
        setFixtureMode("slow:600000");
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.startupPhase(), StartupPhase::waiting, settle);
        const qint64 child = *m.childProcessId();
        m.cancelStart();
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.startupPhase(), std::nullopt);
        QCOMPARE(m.logLines().last(), QString("Start cancelled"));
        QTRY_VERIFY(!processAlive(child));
        // The child's exit after the cancel is not a failure.
        QTest::qWait(500);
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.lastError(), std::nullopt);
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));

        startAndWaitRunning("healthy");
        manager->cancelStart();
        QCOMPARE(manager->logLines().last(), QString("Start cancel ignored — server is running"));
        QCOMPARE(manager->status(), ServerStatus::running);
    }

    void restartReplacesAForeignServerWithOurOwn() {
        ExternalServer other("healthy", port);
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, settle);
        QVERIFY(!m.spawnedByApp());
        m.restart();
        QTRY_VERIFY_WITH_TIMEOUT(m.spawnedByApp() && m.status() == ServerStatus::running,
                                 slowSettle);
        QVERIFY(!other.isRunning());
    }

    void restoreAdoptsAHealthyServerAndEndsADeadPid() {
        {
            ExternalServer other("healthy", port);
            auto& m = make();
            await(m.restoreStateOnLaunch());
            QCOMPARE(m.status(), ServerStatus::running);
            QVERIFY(!m.spawnedByApp());
            // The launch probes are quiet: only the adoption is logged.
            QCOMPARE(m.logLines(),
                     QStringList{"Server already running on port " + QString::number(port)});
            manager.reset();
        }
        QTRY_VERIFY(!ServerManager::isLocalTCPPortOpen(port));

        writeFile(ServerManager::pidFilePath(), QByteArray::number(unusedPid()) + "\n");
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.startupPhase(), std::nullopt);
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
        QVERIFY(m.logLines().isEmpty());
    }

    void restoreTerminatesALiveOrphan() {
        // An earlier run's server that no longer answers health.
        ExternalServer orphan("silent", port, runtime->entryScript());
        const qint64 pid = orphan.pid();
        writeFile(ServerManager::pidFilePath(), QByteArray::number(pid) + "\n");
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QVERIFY(logged(m, "Orphan server PID " + QString::number(pid) +
                              " failed health — terminating"));
        QTRY_VERIFY(!orphan.isRunning());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
    }

    void aReusedPidIsNeverSignalled() {
        QProcess unrelated;
        unrelated.start("sleep", {"600"});
        QVERIFY(unrelated.waitForStarted());
        writeFile(ServerManager::pidFilePath(), QByteArray::number(unrelated.processId()) + "\n");
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));

        writeFile(ServerManager::pidFilePath(), QByteArray::number(unrelated.processId()) + "\n");
        await(m.forceStopOnPortAsync());
        m.shutdownOnTerminate();
        QTest::qWait(200);
        QCOMPARE(unrelated.state(), QProcess::Running);
        unrelated.kill();
        unrelated.waitForFinished();
    }

    void restoreLeavesAForeignListenerAlone() {
        ExternalServer foreign("silent", port);
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(),
                 "Port " + QString::number(port) +
                     " is in use but health is not ready — use Refresh on Dashboard");
        QVERIFY(foreign.isRunning());
        QVERIFY(m.canForceStop());
    }

    void quittingEndsOnlyWhatThisProgramStarted() {
        startAndWaitRunning("healthy");
        const qint64 child = *manager->childProcessId();
        QElapsedTimer clock;
        clock.start();
        manager->shutdownOnTerminate();
        QVERIFY2(clock.elapsed() < 5000, "the quit path must not wait for the child");
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
        manager.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), settle);

        ExternalServer other("healthy", port);
        auto& m = make();
        await(m.restoreStateOnLaunch());
        QCOMPARE(m.status(), ServerStatus::running);
        m.shutdownOnTerminate();
        manager.reset();
        QTest::qWait(300);
        QVERIFY(other.isRunning());
        QVERIFY(ServerManager::isLocalTCPPortOpen(port));
    }

    void aChildThatIgnoresSigtermOutlivesTheQuitPath() {
        startAndWaitRunning("stubborn");
        const qint64 child = *manager->childProcessId();
        manager->shutdownOnTerminate();
        manager.reset();
        QTest::qWait(500);
        // Not SIGKILLed by the destructor: the next launch finds it as an orphan.
        QVERIFY(processAlive(child));
        ::kill(pid_t(child), SIGKILL);
        QTRY_VERIFY(!processAlive(child));
    }

    void portTests() {
        QVERIFY(!ServerManager::isLocalTCPPortOpen(0));
        QVERIFY(!ServerManager::isLocalTCPPortOpen(70000));
        QVERIFY(!ServerManager::isLocalTCPPortOpen(port));
        ExternalServer holder("silent", port);
        QVERIFY(ServerManager::isLocalTCPPortOpen(port));
        QCOMPARE(ServerManager::findListeningPIDs(port), QList<qint32>{qint32(holder.pid())});
        ServerManager::killListenersOnPortSync(port);
        QTRY_VERIFY(!holder.isRunning());
    }
};

VESPERLINE_TEST_MAIN(TestServerLifecycle)
#include "tst_serverlifecycle.moc"
