// The startup sheet over a manager with fake children, the real log file and
// its tailer: what it decides of a start, what it shows of that and what its
// keys do.
#include "services/PidFile.h"
#include "services/ServerManager.h"
#include "support/FakeServerPlatform.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"
#include "support/ServerFixtures.h"
#include "views/StartupProgressView.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <csignal>

using namespace TestSupport;
using Outcome = StartupOutcome::Outcome;

class TestStartupProgress : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureRuntime> runtime;
    std::unique_ptr<FakeServerPlatform> fake;
    std::unique_ptr<ServerManager> manager;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<StartupProgressView> sheet;
    QStringList openedPaths;
    int closedSignals = 0;

    // Shows the sheet over a main window, as the Dashboard does.
    void openSheet() {
        sheet.reset(); // a child of the window replaced here
        window = std::make_unique<QWidget>();
        window->resize(900, 700);
        window->show();
        sheet = std::make_unique<StartupProgressView>(
            manager.get(), ServerLog::filePath(),
            [this](const QString& path) { openedPaths << path; }, window.get());
        connect(sheet.get(), &StartupProgressView::closed, this, [this] { ++closedSignals; });
        sheet->open();
        QVERIFY(sheet->isVisible());
    }

    const StartupOutcome& state() const { return sheet->state(); }
    template <typename T> T* part(const char* name) const { return child<T>(*sheet, name); }
    QPushButton* button(const char* name) const { return part<QPushButton>(name); }
    QPlainTextEdit* logView() const { return part<QPlainTextEdit>("log-text"); }

private Q_SLOTS:
    void init() {
        runtime = std::make_unique<FixtureRuntime>();
        fake = std::make_unique<FakeServerPlatform>();
        PidFile::clear();
        QFile::remove(ServerLog::filePath());
        manager = std::make_unique<ServerManager>(runtime->paths(), "/opt/node/bin/node",
                                                  freePort(), fake->platform());
        // As the Dashboard's Start empties it before the sheet opens.
        manager->prepareStartupLog();
        openedPaths.clear();
        closedSignals = 0;
    }

    void cleanup() {
        sheet.reset();
        window.reset();
        manager.reset();
        drainEventLoop();
    }

    // Running alone is not enough: a server found by a status sync counts
    // once its own ready line is in the log, in whatever case it prints it.
    void successWaitsForTheReadyLineAndOpenControlIsOnReturn() {
        HttpTestServer other;
        other.setResponse("/api/health", HttpResponse(200, R"({"ok":true})"));
        manager->setPort(other.port());
        openSheet();
        await(manager->syncStatusFromHealth());
        QCOMPARE(manager->status(), ServerStatus::running);
        QCOMPARE(state().outcome(), Outcome::inProgress);

        manager->appendLog("Fastify LISTENING ON http://127.0.0.1:" +
                           QString::number(other.port()));
        // The tailer reads it from the file on its next poll.
        QTRY_COMPARE(state().outcome(), Outcome::success);
        QElapsedTimer sinceSuccess;
        sinceSuccess.start();
        QVERIFY(button("open-control")->isVisible() && button("open-control")->isDefault());
        QVERIFY(!button("cancel")->isVisible());
        // Three quiet seconds first (a lower bound: load only adds to it).
        QTRY_COMPARE_WITH_TIMEOUT(state().autoCloseSeconds(), std::optional<int>(5), settle);
        QVERIFY(sinceSuccess.elapsed() >= 2500);
        QCOMPARE(part<QLabel>("countdown")->text(), QString("Closing in 5"));

        // Return is "Open Control", wherever the focus is.
        logView()->setFocus();
        QTest::keyClick(logView(), Qt::Key_Return);
        QCOMPARE(openedPaths, QStringList{"/presenter"});
        QVERIFY(!sheet->isVisible());
        QCOMPARE(state().autoCloseSeconds(), std::nullopt);
        // Past the next tick of the countdown: it does not close twice.
        QTest::qWait(1500);
        QCOMPARE(closedSignals, 1);
        QCOMPARE(manager->logLines().count("Sheet dismissed (success)"), 1);
        QCOMPARE(manager->status(), ServerStatus::running);
    }

    void failureShowsTheErrorOnceAndRetryOnReturnStartsAfresh() {
        openSheet();
        manager->start();
        QTRY_COMPARE(fake->launches(), 1);
        fake->child()->printErr("boom");
        fake->child()->exit(3);
        QTRY_COMPARE(state().outcome(), Outcome::failed);
        const QString error = *manager->lastError();
        QCOMPARE(part<QLabel>("error-line")->text(), error);
        QVERIFY(part<QLabel>("error-line")->isVisible());
        QCOMPARE(sheet->statusColor(), StartupProgressView::failureColor());
        QCOMPARE(part<QLabel>("title")->text(), QString("Server failed to start"));
        QVERIFY(button("retry")->isVisible() && button("retry")->isDefault());
        // Once the file has the error, the log shows it once.
        QTRY_VERIFY(state().logTailer().lines().contains(error.section('\n', 0, 0)));
        QCOMPARE(state().fullLogText().count(error.section('\n', 0, 0)), 1);
        QCOMPARE(state().fullLogText().count("Last log lines:"), 1);

        QTest::keyClick(sheet.get(), Qt::Key_Return);
        QCOMPARE(state().outcome(), Outcome::inProgress);
        QVERIFY(!part<QLabel>("error-line")->isVisible());
        QTRY_COMPARE(fake->launches(), 2);
        fake->child()->listen();
        QTRY_COMPARE(state().outcome(), Outcome::success);
        const QString text = state().fullLogText();
        QVERIFY2(!text.contains("exited with code 3"), qPrintable(text));
        QCOMPARE(text.count("——— Start "), 1);
        // Left alone, the countdown closes the sheet.
        QTRY_COMPARE_WITH_TIMEOUT(closedSignals, 1, settle);
        QVERIFY(!sheet->isVisible());
    }

    // Esc and Cancel alike: the child gets SIGTERM, and its exit after the
    // cancel is not a failure.
    void closingWhileStartingCancelsTheStart() {
        for (const bool useEscape : {true, false}) {
            openSheet();
            manager->start();
            QTRY_COMPARE(manager->startupPhase(), StartupPhase::waiting);
            QPointer<FakeServerProcess> child = fake->child();
            const qint32 pid = qint32(child->pid);

            // No default action while starting, and the window's close button
            // does not abandon the start either.
            QTest::keyClick(sheet.get(), Qt::Key_Return);
            QVERIFY(!sheet->close());
            QVERIFY(sheet->isVisible());
            QCOMPARE(manager->status(), ServerStatus::starting);

            if (useEscape)
                QTest::keyClick(logView(), Qt::Key_Escape);
            else
                button("cancel")->click();
            QVERIFY(!sheet->isVisible());
            QCOMPARE(manager->status(), ServerStatus::stopped);
            QCOMPARE(manager->logLines().last(), QString("Start cancelled"));
            QVERIFY(fake->ports->signalled(SIGTERM).contains(pid));
            if (child)
                child->exit(15);
            QTest::qWait(50);
            QCOMPARE(manager->status(), ServerStatus::stopped);
            QCOMPARE(manager->lastError(), std::nullopt);
        }
        QCOMPARE(closedSignals, 2);
        // A closed sheet no longer takes part in what the server does.
        manager->appendLog("Server started on port 1");
        QCOMPARE(state().outcome(), Outcome::inProgress);
    }

    void logPanelFollowsCopiesAndSelectsAndClosesWithItsManager() {
        manager->clearLogs();
        openSheet();
        // Nothing logged yet: the area keeps its line, Copy leaves the clipboard alone.
        QCOMPARE(state().fullLogText(), QString());
        QCOMPARE(logView()->toPlainText(), QString(" "));
        QGuiApplication::clipboard()->setText("before");
        button("copy-log")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));

        // The in-memory log stands in until the file has a line.
        manager->appendLog("only in memory");
        QCOMPARE(state().fullLogText(), QString("only in memory"));
        for (int i = 1; i <= 120; ++i)
            manager->appendLog(QString("line %1").arg(i));
        QTRY_COMPARE_WITH_TIMEOUT(state().logTailer().lines().size(), 121, settle);
        QScrollBar* bar = logView()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        QVERIFY(logView()->toPlainText().endsWith("line 120"));
        // Scrolled up to read, the operator stays there while lines arrive.
        bar->setValue(10);
        manager->appendLog("line 121");
        QTRY_VERIFY(logView()->toPlainText().endsWith("line 121"));
        QTest::qWait(300); // longer than the scroll animation
        QCOMPARE(bar->value(), 10);

        button("copy-log")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), state().fullLogText());
        button("select-all")->click();
        QCOMPARE(logView()->textCursor().selectedText().size(), state().fullLogText().size());

        // The sheet closes when its manager goes away.
        manager.reset();
        QVERIFY(!sheet->isVisible());
        QCOMPARE(closedSignals, 1);
        QCOMPARE(state().server(), nullptr);
    }
};

VESPERLINE_GUI_TEST_MAIN(TestStartupProgress)
#include "tst_startupprogress.moc"
