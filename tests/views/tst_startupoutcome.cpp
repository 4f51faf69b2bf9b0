// What the startup sheet decides, without the sheet: a manager with fake
// children, the real log file and its tailer.
#include "services/PidFile.h"
#include "services/ServerManager.h"
#include "support/FakeServerPlatform.h"
#include "support/HttpTestServer.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"
#include "views/StartupOutcome.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace TestSupport;
using Outcome = StartupOutcome::Outcome;

class TestStartupOutcome : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureRuntime> runtime;
    std::unique_ptr<FakeServerPlatform> fake;
    std::unique_ptr<ServerManager> manager;
    std::unique_ptr<StartupOutcome> outcome;

    // The sheet's Start: an emptied log, the sheet up, then the start.
    void present(int port) {
        manager = std::make_unique<ServerManager>(runtime->paths(), "/opt/node/bin/node", port,
                                                  fake->platform());
        manager->prepareStartupLog();
        outcome = std::make_unique<StartupOutcome>(manager.get(), ServerLog::filePath());
        outcome->appear();
    }

private Q_SLOTS:
    void init() {
        runtime = std::make_unique<FixtureRuntime>();
        fake = std::make_unique<FakeServerPlatform>();
        PidFile::clear();
    }

    void cleanup() {
        outcome.reset();
        manager.reset();
        drainEventLoop();
    }

    // Running alone is not enough: a server found by a status sync counts
    // once its own ready line is in the log, in whatever case it prints it.
    void successWaitsForTheReadyLineThenCountsDownAndCloses() {
        HttpTestServer other;
        other.setResponse("/api/health", HttpResponse(200, R"({"ok":true})"));
        present(other.port());
        await(manager->syncStatusFromHealth());
        QCOMPARE(manager->status(), ServerStatus::running);
        QCOMPARE(outcome->outcome(), Outcome::inProgress);
        QCOMPARE(outcome->statusLine(), QString("Running"));
        QCOMPARE(outcome->statusTone(), StartupOutcome::Tone::success);

        QSignalSpy closing(outcome.get(), &StartupOutcome::closeRequested);
        manager->appendLog("Fastify LISTENING ON http://127.0.0.1:" +
                           QString::number(other.port()));
        // The tailer reads it from the file on its next poll.
        QTRY_COMPARE(outcome->outcome(), Outcome::success);
        QCOMPARE(outcome->title(), QString("Server started"));
        QElapsedTimer sinceSuccess;
        sinceSuccess.start();
        // Three quiet seconds first (a lower bound: load only adds to it).
        QTRY_COMPARE_WITH_TIMEOUT(outcome->autoCloseSeconds(), std::optional<int>(5), settle);
        QVERIFY(sinceSuccess.elapsed() >= 2500);
        QVERIFY(closing.wait(settle));
        QCOMPARE(outcome->autoCloseSeconds(), std::nullopt);
        outcome->disappear();
        QCOMPARE(manager->logLines().count("Sheet dismissed (success)"), 1);
        QCOMPARE(manager->status(), ServerStatus::running);
    }

    void failureKeepsTheErrorInTheLogOnceAndRetryStartsAfresh() {
        present(freePort());
        manager->start();
        QTRY_COMPARE(fake->launches(), 1);
        fake->child()->printErr("boom");
        fake->child()->exit(3);
        QTRY_COMPARE(outcome->outcome(), Outcome::failed);
        const QString error = *manager->lastError();
        QTRY_VERIFY(outcome->logTailer().lines().contains(error.section('\n', 0, 0)));
        QCOMPARE(outcome->fullLogText().count(error.section('\n', 0, 0)), 1);
        QCOMPARE(outcome->fullLogText().count("Last log lines:"), 1);

        outcome->retry();
        QCOMPARE(outcome->outcome(), Outcome::inProgress);
        QTRY_COMPARE(fake->launches(), 2);
        fake->child()->listen();
        QTRY_COMPARE(outcome->outcome(), Outcome::success);
        const QString text = outcome->fullLogText();
        QVERIFY2(!text.contains("exited with code 3"), qPrintable(text));
        QCOMPARE(text.count("——— Start "), 1);
    }

    void goingAwayCancelsAStartStillUnderWayButNothingLater() {
        present(freePort());
        manager->start();
        QTRY_COMPARE(manager->startupPhase(), StartupPhase::waiting);
        QCOMPARE(outcome->statusLine(), QString("Waiting for server…"));
        outcome->disappear();
        QCOMPARE(manager->status(), ServerStatus::stopped);
        QCOMPARE(manager->logLines().last(), QString("Start cancelled"));
        // A closed sheet no longer takes part in what the server does.
        manager->appendLog("Server started on port 1");
        QCOMPARE(outcome->outcome(), Outcome::inProgress);
    }
};

VESPERLINE_TEST_MAIN(TestStartupOutcome)
#include "tst_startupoutcome.moc"
