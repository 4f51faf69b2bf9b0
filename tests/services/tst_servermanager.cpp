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

class TestServerManager : public ServerManagerTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpServerTest(); }
    void cleanup() { tearDownServerTest(); }

    void startLaunchesTheChildWithItsEnvironmentAndWatchesIt() {
        auto& m = make();
        QSignalSpy changes(&m, &ServerManager::changed);
        m.start();
        QCOMPARE(m.status(), ServerStatus::starting);
        QCOMPARE(m.startupPhase(), StartupPhase::probing);
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, settle);
        QCOMPARE(m.startupPhase(), StartupPhase::running);
        QVERIFY(m.spawnedByApp());
        QVERIFY(m.health() && m.health()->ok);
        QVERIFY(changes.count() > 3);
        QVERIFY(logged(m, "Server started on port " + QString::number(port)));
        QVERIFY(logged(m, "Starting server on port " + QString::number(port) + "…"));
        QVERIFY(logged(m, "Listening on http://0.0.0.0:" + QString::number(port)));
        QCOMPARE(ServerManager::readPidFile(), qint32(*m.childProcessId()));
        QVERIFY(readFile(ServerManager::logFilePath()).contains("Server PID: "));

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fixtureReportPath()), settle);
        const QJsonObject report = readFixtureReport();
        const QJsonObject env = report["env"].toObject();
        const QString support = ApplicationSupport::supportURL();
        QCOMPARE(report["cwd"].toString(), runtime->root());
        QCOMPARE(report["argv"].toArray().at(1).toString(), runtime->entryScript());
        QCOMPARE(env["PORT"].toString(), QString::number(port));
        QCOMPARE(env["HOST"].toString(), QString("0.0.0.0"));
        QCOMPARE(env["VESPERLINE_ROOT"].toString(), runtime->root());
        QCOMPARE(env["VESPERLINE_CONFIG_DIR"].toString(), support);
        QCOMPARE(env["VESPERLINE_DB_PATH"].toString(), support + "/data/bible.sqlite");
        QCOMPARE(env["VESPERLINE_BOOKMARKS_PATH"].toString(), support + "/bookmarks.json");
        QCOMPARE(env["VESPERLINE_THEMES_PATH"].toString(), support + "/themes.json");
        QCOMPARE(env["VESPERLINE_WEB_DIST"].toString(), runtime->root() + "/apps/web/dist");
        QCOMPARE(env["VESPERLINE_LOG_PATH"].toString(), support + "/server.log");
        QCOMPARE(env["VESPERLINE_TRANSLATION_ID"].toString(), QString("WEB"));
        QVERIFY(!env["VESPERLINE_SERVER_NAME"].toString().isEmpty());
        QCOMPARE(env["NODE_PATH"].toString(), runtime->root() + "/node_modules");
        QVERIFY(env["NODE_OPTIONS"].toString().contains("--experimental-default-type=module"));
        QVERIFY(env["PATH"].toString().startsWith(QFileInfo(nodeExecutable()).path() +
                                                  ":/opt/homebrew/bin:"));
    }

    void childEnvironmentHelpers() {
        QCOMPARE(
            ServerManager::enhancedPath(QString("/usr/bin::/custom"), "/opt/node/bin/node"),
            QString(
                "/opt/node/bin:/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/bin:/custom"));
        QCOMPARE(ServerManager::enhancedPath(std::nullopt, "/usr/bin/node"),
                 QString("/usr/bin:/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin"));
        const QString flag = "--experimental-default-type=module";
        QCOMPARE(ServerManager::esmNodeOptions(std::nullopt), flag);
        QCOMPARE(ServerManager::esmNodeOptions(QString()), flag);
        QCOMPARE(ServerManager::esmNodeOptions(QString("--max-old-space-size=512")),
                 "--max-old-space-size=512 " + flag);
        QCOMPARE(ServerManager::esmNodeOptions("--inspect " + flag), "--inspect " + flag);
    }

    void startAdoptsAServerThatAlreadyAnswers() {
        ExternalServer other("healthy", port);
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, settle);
        QVERIFY(!m.spawnedByApp());
        QVERIFY(!m.childProcessId());
        QVERIFY(logged(m, "Server already running on port " + QString::number(port)));
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
        QVERIFY(m.canForceStop());

        // Stopping an adopted server ends whatever listens on the port.
        await(m.stopAsync());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(), "Stopped tracking server on port " + QString::number(port) +
                                          ". Port should now be free.");
        QTRY_VERIFY_WITH_TIMEOUT(!other.isRunning(), settle);
    }

    void aStaleListenerIsKilledBeforeTheLaunch() {
        auto stale = std::make_unique<ExternalServer>("silent", port);
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::running, slowSettle);
        QVERIFY(logged(m, "Killing stale server on port " + QString::number(port)));
        QVERIFY(m.spawnedByApp());
        QTRY_VERIFY(!stale->isRunning());
    }

    void aServerThatNeverAnswersTimesOut() {
        setFixtureMode("silent");
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.startupPhase(), StartupPhase::waiting, settle);
        const qint64 child = *m.childProcessId();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::crashed, slowSettle);
        QCOMPARE(m.startupPhase(), StartupPhase::failed);
        QCOMPARE(m.lastError(), "Server did not respond on port " + QString::number(port) +
                                    ". Check the log for errors.");
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
        QTRY_VERIFY(!processAlive(child));
        QTRY_VERIFY(!ServerManager::isLocalTCPPortOpen(port));
        QVERIFY(!m.health());
    }

    void earlyExitsBecomeActionableMessages_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("withTail");
        QTest::newRow("syntax error")
            << "syntax-error"
            << "Server bundle is missing ESM package.json (type: module). Run "
               "./scripts/patch-macos-app.sh on the .app, or rebuild with "
               "./scripts/bundle-for-macos.sh and Run (⌘R) in Xcode."
            << true;
        QTest::newRow("fastify missing")
            << "module-not-found"
            << "Server dependencies are incomplete (fastify missing). Rebuild the app "
               "with ./scripts/build-release.sh and reinstall."
            << true;
        QTest::newRow("plain exit")
            << "exit:3"
            << "Server exited with code 3. See log in Application Support." << true;
        QTest::newRow("port taken")
            << "eaddrinuse"
            << "Port %1 is in use by another app. Change the port in Settings or "
               "quit the other process, then Start again."
            << false;
    }

    void earlyExitsBecomeActionableMessages() {
        QFETCH(QString, mode);
        QFETCH(QString, message);
        QFETCH(bool, withTail);
        if (message.contains("%1"))
            message = message.arg(port);
        setFixtureMode(mode);
        auto& m = make();
        m.prepareStartupLog();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::crashed, slowSettle);
        QCOMPARE(m.startupPhase(), StartupPhase::failed);
        const QString error = m.lastError().value_or(QString());
        QVERIFY2(error.startsWith(message), qPrintable(error));
        if (withTail) {
            QVERIFY2(error.contains(message + "\n\nLast log lines:\n"), qPrintable(error));
            QVERIFY(error.contains("Start clicked"));
        } else {
            QCOMPARE(error, message);
        }
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()) || mode == "eaddrinuse");
    }

    void aCleanExitDuringTheStartStops() {
        setFixtureMode("exit:0");
        auto& m = make();
        m.start();
        QTRY_VERIFY_WITH_TIMEOUT(logged(m, "Server exited"), settle);
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.startupPhase(), std::nullopt);
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
    }

    void failedPreStartChecks() {
        ServerManager missingBuild(ProjectPaths{QDir::tempPath() + "/no-such-runtime"},
                                   nodeExecutable(), port);
        missingBuild.start();
        QTRY_COMPARE_WITH_TIMEOUT(missingBuild.status(), ServerStatus::crashed, settle);
        QCOMPARE(missingBuild.lastError(), QString("Server build not found under runtime root"));

        QFile::rename(ApplicationSupport::path("data/bible.sqlite"),
                      ApplicationSupport::path("data/moved"));
        auto& m = make();
        m.start();
        QTRY_COMPARE_WITH_TIMEOUT(m.status(), ServerStatus::crashed, settle);
        QCOMPARE(m.lastError(),
                 QString("Bible database not found. Run Import Bible in Settings (dev) or "
                         "reinstall the release app."));
        QFile::rename(ApplicationSupport::path("data/moved"),
                      ApplicationSupport::path("data/bible.sqlite"));

        ServerManager noNode(runtime->paths(), "/nonexistent/node", port);
        noNode.start();
        QTRY_COMPARE_WITH_TIMEOUT(noNode.status(), ServerStatus::crashed, settle);
        QVERIFY(noNode.lastError()->startsWith("Port " + QString::number(port) +
                                               " is in use by another app."));
    }

    void aRunningChildThatExitsIsReportedCrashed() {
        startAndWaitRunning("die:5000");
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::crashed, settle);
        QCOMPARE(manager->lastError(), QString("Server process exited unexpectedly"));
        QCOMPARE(manager->startupPhase(), std::nullopt);
        QVERIFY(!manager->health());
    }

    void aRunningServerThatStopsAnsweringIsReportedCrashed() {
        startAndWaitRunning("fade:5000");
        QTRY_COMPARE_WITH_TIMEOUT(manager->status(), ServerStatus::crashed, slowSettle);
        QCOMPARE(manager->lastError(),
                 "Server stopped responding on port " + QString::number(port) + ".");
        QCOMPARE(manager->startupPhase(), std::nullopt);
        QVERIFY(logged(*manager, "Server stopped responding on /api/health"));
        QVERIFY(!QFile::exists(ServerManager::pidFilePath()));
    }

    void syncStatusFollowsTheServer() {
        auto& m = make();
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::stopped);
        {
            ExternalServer other("healthy", port);
            await(m.syncStatusFromHealth());
            QCOMPARE(m.status(), ServerStatus::running);
            QVERIFY(logged(m, "Detected server on port " + QString::number(port)));
        }
        QTRY_VERIFY(!ServerManager::isLocalTCPPortOpen(port));
        await(m.syncStatusFromHealth());
        QCOMPARE(m.status(), ServerStatus::stopped);
        QCOMPARE(m.logLines().last(),
                 "Status sync: no response on port " + QString::number(port) + " — marked stopped");
    }

    void logKeepsTheLast500TrimmedLines() {
        auto& m = make();
        m.prepareStartupLog();
        QVERIFY(m.logLines().first().startsWith("——— Start "));
        QVERIFY(m.logLines().first().endsWith("Z ———"));
        m.appendLog("   ");
        m.appendLog("");
        QCOMPARE(m.logLines().size(), 1);
        for (int i = 1; i <= 520; ++i)
            m.appendLog(QString("  line %1\n").arg(i));
        QCOMPARE(m.logLines().size(), 500);
        QCOMPARE(m.logLines().first(), QString("line 21"));
        QCOMPARE(*ServerManager::tailServerLog(2), QString("line 519\nline 520"));

        m.clearLogs();
        QVERIFY(m.logLines().isEmpty());
        QCOMPARE(ServerManager::tailServerLog(20), std::nullopt);
        QCOMPARE(m.startupFailureMessage(7),
                 QString("Server exited with code 7. See log in Application Support."));
        m.appendLog("reopened");
        QCOMPARE(readFile(ServerManager::logFilePath()), QByteArray("reopened\n"));
    }

    void pidFileParsing() {
        const auto readBack = [](const QByteArray& contents) {
            writeFile(ServerManager::pidFilePath(), contents);
            return ServerManager::readPidFile();
        };
        QCOMPARE(readBack("  1234 \n"), 1234);
        QCOMPARE(readBack("+42"), 42);
        QCOMPARE(readBack("0"), std::nullopt);
        QCOMPARE(readBack("-5"), std::nullopt);
        QCOMPARE(readBack("abc"), std::nullopt);
        QCOMPARE(readBack(""), std::nullopt);
        QCOMPARE(readBack("99999999999"), std::nullopt);
        ServerManager::writePidFile(777);
        QCOMPARE(readFile(ServerManager::pidFilePath()), QByteArray("777\n"));
    }
};

VESPERLINE_TEST_MAIN(TestServerManager)
#include "tst_servermanager.moc"
