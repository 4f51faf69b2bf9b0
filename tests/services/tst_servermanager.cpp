// The supervisor. First its state machine in-process: fake children that
// print, listen and exit when told, fake listeners and recorded signals, and
// health answered over real loopback sockets. Then what only real processes
// show: the child's command line and environment, signals to a process tree,
// ports held and freed, and ids read back from /proc.
#include "services/ApplicationSupport.h"
#include "services/PidFile.h"
#include "services/ServerEnvironment.h"
#include "services/ServerManager.h"
#include "support/FakeServerPlatform.h"
#include "support/HttpTestServer.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <csignal>

using namespace TestSupport;

namespace {

const QString nodePath = QStringLiteral("/opt/node/bin/node");

} // namespace

class TestServerManager : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureRuntime> runtime;
    std::unique_ptr<FakeServerPlatform> fake;
    std::unique_ptr<ServerManager> manager;
    int port = 0;
    bool real = false;

    // On fake children, on `onPort` or a free port.
    ServerManager& make(int onPort = 0) {
        port = onPort ? onPort : freePort();
        manager =
            std::make_unique<ServerManager>(runtime->paths(), nodePath, port, fake->platform());
        return *manager;
    }

    // On real node processes, on the test's port.
    ServerManager& makeReal() {
        real = true;
        manager = std::make_unique<ServerManager>(runtime->paths(), nodeExecutable(), port);
        return *manager;
    }

    void startRunning() {
        const int launched = fake->launches();
        auto& m = make();
        m.start();
        QTRY_COMPARE(fake->launches(), launched + 1);
        fake->child()->listen();
        QTRY_COMPARE(m.status(), ServerStatus::running);
    }

    QString n() const { return QString::number(port); }

private Q_SLOTS:
    void init() {
        runtime = std::make_unique<FixtureRuntime>();
        fake = std::make_unique<FakeServerPlatform>();
        port = freePort();
        real = false;
        PidFile::clear();
        QFile::remove(ServerLog::filePath());
        setFixtureMode("healthy");
    }

    // Whatever a test started is force-stopped, and the port must end up free.
    void cleanup() {
        if (manager && real)
            await(manager->forceStopOnPortAsync());
        manager.reset();
        fake.reset();
        drainEventLoop();
        // The kernel may take a moment after the last listener died.
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void aSlowBootingChildIsTrackedAsOursWhateverTheSyncSees() {
        auto& m = make();
        m.start();
        QTRY_COMPARE(m.startupPhase(), StartupPhase::waiting);
        auto* child = fake->child();
        QCOMPARE(PidFile::read(), qint32(child->pid));

        // The window's status sync runs while the child is still booting.
        for (int round = 0; round < 3; ++round) {
            await(m.syncStatusFromHealth());
            QCOMPARE(m.status(), ServerStatus::starting);
        }
        child->listen();
        QTRY_COMPARE(m.status(), ServerStatus::running);
        QVERIFY(logged(m, "Server started on port " + n()));
        QVERIFY(m.spawnedByApp());
        QVERIFY(!m.logLines().join('\n').contains("marked stopped"));
        QVERIFY(!m.logLines().join('\n').contains("Detected server"));

        // Silent for a moment: the health poll judges our child, not the sync.
        child->stopListening();
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::running);
        QVERIFY(m.spawnedByApp());

        fake->ports->children[qint32(child->pid)] = {7001};
        m.shutdownOnTerminate();
        QCOMPARE(fake->ports->signalled(SIGTERM), (QList<qint32>{7001, qint32(child->pid)}));
        QVERIFY(!QFile::exists(PidFile::path()));
    }

    void earlyExitsAreDiagnosedFromTheirOwnOutput_data() {
        QTest::addColumn<QString>("printed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("withTail");
        QTest::newRow("syntax error")
            << "SyntaxError: Unexpected token 'export'" << 1
            << "Server bundle is missing ESM package.json (type: module). Reinstall the Vesperline "
               "package, or run make stage in the project folder."
            << true;
        QTest::newRow("fastify missing")
            << "Error [ERR_MODULE_NOT_FOUND]: Cannot find package 'fastify'" << 1
            << "Server dependencies are incomplete (fastify missing)." << true;
        QTest::newRow("plain exit")
            << "" << 3 << "Server exited with code 3. See log in the data folder." << true;
        QTest::newRow("port taken")
            << "Error: listen EADDRINUSE: address already in use" << 1
            << "Port %1 is in use by another app. Change the port in Settings or quit the other "
               "process, then Start again."
            << false;
    }

    void earlyExitsAreDiagnosedFromTheirOwnOutput() {
        QFETCH(QString, printed);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(bool, withTail);
        auto& m = make();
        // An earlier start on this port failed differently; its lines stay in
        // the log but must not sway this start's diagnosis.
        m.prepareStartupLog();
        m.start();
        QTRY_COMPARE(fake->launches(), 1);
        const QString earlier = printed.contains("SyntaxError") ? "EADDRINUSE" : "SyntaxError";
        fake->child()->printErr(earlier);
        fake->child()->exit(1);
        QTRY_COMPARE(m.status(), ServerStatus::crashed);

        m.restart();
        QTRY_COMPARE(fake->launches(), 2);
        fake->child()->printErr(printed);
        fake->child()->exit(code);
        QTRY_COMPARE(m.status(), ServerStatus::crashed);
        QCOMPARE(m.startupPhase(), StartupPhase::failed);
        const QString error = *m.lastError();
        message.replace("%1", n());
        QVERIFY2(error.startsWith(message), qPrintable(error));
        QCOMPARE(error.contains("\n\nLast log lines:\n"), withTail);
        if (!withTail)
            QCOMPARE(error, message);
    }

    void startsThatFailBeforeAChildRunsSayWhy() {
        QFile::rename(ApplicationSupport::path("data/bible.sqlite"),
                      ApplicationSupport::path("data/moved"));
        auto& m = make();
        m.start();
        QTRY_COMPARE(m.status(), ServerStatus::crashed);
        QCOMPARE(m.lastError(),
                 QString("Bible database not found. Run Import Bible in Settings (dev) or "
                         "reinstall the release app."));
        QFile::rename(ApplicationSupport::path("data/moved"),
                      ApplicationSupport::path("data/bible.sqlite"));
        QCOMPARE(fake->launches(), 0);

        fake->childrenLaunch = false;
        m.start();
        QTRY_COMPARE(m.status(), ServerStatus::crashed);
        QCOMPARE(m.lastError(), "Node.js could not be launched from " + nodePath +
                                    " (execve: Permission denied). Install Node.js 20 or later, "
                                    "press Recheck on the Dashboard, then Start again.");
        QVERIFY(!QFile::exists(PidFile::path()));
    }

    void aCleanExitStopsAndADeathOrSilenceWhileRunningIsACrash() {
        auto& m = make();
        m.start();
        QTRY_COMPARE(fake->launches(), 1);
        fake->child()->exit(0);
        QTRY_VERIFY(logged(m, "Server exited"));
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.startupPhase(), std::nullopt);
        QVERIFY(!QFile::exists(PidFile::path()));

        startRunning();
        // Cancelling the start comes too late once it runs.
        manager->cancelStart();
        QCOMPARE(manager->status(), ServerStatus::running);
        fake->child()->exit(1);
        QTRY_COMPARE(manager->status(), ServerStatus::crashed);
        QCOMPARE(manager->lastError(), QString("Server process exited unexpectedly"));

        startRunning();
        fake->child()->stopListening();
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::crashed, settle);
        QCOMPARE(manager->lastError(), "Server stopped responding on port " + n() + ".");
        QVERIFY(logged(*manager, "Server stopped responding on /api/health"));
        QVERIFY(!QFile::exists(PidFile::path()));
    }

    // Adopted by a start, stopped by its port, then followed by the status
    // sync: a server this program did not start.
    void aServerItDidNotStartIsAdoptedStoppedByItsPortAndFollowed() {
        auto other = std::make_unique<HttpTestServer>();
        auto& m = make(other->port());
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::stopped);
        other->setResponse("/api/health",
                           HttpResponse(200, R"({"ok":true,"db":true,"clients":0})"));
        m.start();
        QTRY_COMPARE(m.status(), ServerStatus::running);
        QCOMPARE(fake->launches(), 0);
        QVERIFY(!m.spawnedByApp());
        QVERIFY(logged(m, "Server already running on port " + n()));
        QVERIFY(m.canForceStop());

        fake->ports->listeners = {6001};
        await(m.stopAsync());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(),
                 "Stopped tracking server on port " + n() + ". Port should now be free.");
        QCOMPARE(fake->ports->signalled(SIGTERM), QList<qint32>{6001});

        // The fake signals reached no one: it still answers.
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::running);
        QVERIFY(logged(m, "Detected server on port " + n()));
        other.reset();
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(),
                 "Status sync: no response on port " + n() + " — marked stopped");
    }

    // A server that answers at launch is adopted (tst_program_xvfb, on the
    // real program) and an orphan that does not is ended (on a real process,
    // below); a dead pid and a listener that is not ready are left alone.
    void restoreLeavesADeadPidAndAListenerNotReady() {
        PidFile::write(4242);
        await(make().restoreStateOnLaunch());
        QVERIFY(manager->logLines().isEmpty());
        QVERIFY(!QFile::exists(PidFile::path()));

        HttpTestServer other;
        other.setResponse("/api/health", HttpResponse(200, R"({"ok":false})"));
        auto& m = make(other.port());
        await(m.restoreStateOnLaunch());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines(), (QStringList{"Launch port attach: health not OK",
                                            "Port " + n() +
                                                " is in use but health is not ready — use "
                                                "Refresh on Dashboard"}));
        QVERIFY(fake->ports->sent.isEmpty());
    }

    void logKeepsTheLast500TrimmedLines() {
        auto& m = make();
        m.prepareStartupLog();
        for (int i = 1; i <= 520; ++i)
            m.appendLog(QString("  line %1\n").arg(i));
        QCOMPARE(m.logLines().size(), 500);
        QCOMPARE(m.logLines().first(), QString("line 21"));
        QCOMPARE(*ServerLog::tail(2), QString("line 519\nline 520"));

        // Cleared (the Dashboard's Clear), the file takes the next line.
        m.clearLogs();
        m.appendLog("reopened");
        QCOMPARE(readFile(ServerLog::filePath()), QByteArray("reopened\n"));
    }

    void pidFileAndNodeOptions() {
        const auto readBack = [](const QByteArray& contents) {
            writeFile(PidFile::path(), contents);
            return PidFile::read();
        };
        QCOMPARE(readBack("  1234 \n"), 1234);
        for (const QByteArray bad : {"0", "-5", "abc", "", "99999999999"})
            QCOMPARE(readBack(bad), std::nullopt);

        // Options the operator set are kept, and the flag is not doubled.
        const QString options = "--inspect --experimental-default-type=module";
        QCOMPARE(ServerEnvironment::esmNodeOptions(options), options);
    }

    void theChildRunsAsConfiguredAndStopEndsItsWorkers() {
        auto stale = std::make_unique<ExternalServer>("silent", port);
        setFixtureMode("workers");
        auto& m = makeReal();
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
        QTRY_VERIFY(!processAlive(report["pid"].toInteger()));
        for (const auto& worker : workers)
            QTRY_VERIFY(!processAlive(worker.toInteger()));
        QVERIFY(!QFile::exists(PidFile::path()));
    }

    // The time-out ends a child that never answers and frees the port; a
    // cancel and a new start during that clean-up are not undone by it.
    void anUnansweredStartIsEndedAndAStartDuringItsCleanUpStands() {
        setFixtureMode("hung");
        auto& m = makeReal();
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

        // Left alone, the time-out ends in a failed start.
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
        setFixtureMode("stubborn");
        makeReal().start();
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::running, settle);
        const qint64 child = *manager->childProcessId();
        manager->shutdownOnTerminate();
        manager.reset();
        QTest::qWait(500);
        QVERIFY(processAlive(child));

        auto& m = makeReal();
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
        auto& m = makeReal();
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

VESPERLINE_TEST_MAIN(TestServerManager)
#include "tst_servermanager.moc"
