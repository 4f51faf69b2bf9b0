#include "services/ServerManager.h"
#include "support/GuiTestMain.h"
#include "support/ServerFixtures.h"
#include "views/StartupProgressView.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace TestSupport;
using Outcome = StartupProgressView::Outcome;

class TestStartupProgress : public ServerManagerTest {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    std::unique_ptr<StartupProgressView> sheet;
    QStringList openedPaths;
    int closedSignals = 0;

    // Shows the sheet over a main window, as the Dashboard does.
    void openSheet() {
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

    // The Dashboard's Start: empty the log, open the sheet, then start.
    void beginStart(const QString& mode) {
        setFixtureMode(mode);
        make().prepareStartupLog();
        openSheet();
        manager->start();
    }

    template <typename T> T* part(const char* name) const { return child<T>(*sheet, name); }

    QPushButton* button(const char* name) const { return part<QPushButton>(name); }
    QPlainTextEdit* logView() const { return part<QPlainTextEdit>("log-text"); }

private Q_SLOTS:
    void init() {
        setUpServerTest();
        openedPaths.clear();
        closedSignals = 0;
    }

    void cleanup() {
        sheet.reset();
        window.reset();
        tearDownServerTest();
    }

    // A status sync finds a server already running: the sheet says so, but
    // success waits for the server's ready line in the log.
    void aServerFoundBySyncSucceedsOnItsReadyLine_data() {
        QTest::addColumn<bool>("closeFirst");
        QTest::newRow("ready line") << false;
        QTest::newRow("closed before it") << true;
    }

    void aServerFoundBySyncSucceedsOnItsReadyLine() {
        QFETCH(bool, closeFirst);
        ExternalServer other("healthy", port);
        make().prepareStartupLog();
        openSheet();
        await(manager->syncStatusFromHealth());
        QCOMPARE(manager->status(), ServerStatus::running);
        QTRY_VERIFY(sheet->state().fullLogText().contains("Detected server on port"));
        QCOMPARE(sheet->state().outcome(), Outcome::inProgress);
        QVERIFY(!sheet->state().logShowsServerReady());
        QCOMPARE(sheet->state().statusLine(), QString("Running"));
        QCOMPARE(part<QLabel>("title")->text(), QString("Starting server…"));

        if (closeFirst) {
            // Closing now leaves the server up, and the closed sheet no longer
            // takes part in what the server does.
            QTest::keyClick(sheet.get(), Qt::Key_Escape);
            QVERIFY(!sheet->isVisible());
            QCOMPARE(closedSignals, 1);
            QVERIFY(!logged(*manager, "Start cancelled"));
            QVERIFY(!logged(*manager, "Sheet dismissed (success)"));
            manager->appendLog("Server started on port " + QString::number(port));
            QCOMPARE(sheet->state().outcome(), Outcome::inProgress);
            QCOMPARE(manager->status(), ServerStatus::running);
            QVERIFY(other.isRunning());
            return;
        }
        // The server's own line, appended to the file as the server does, in
        // whatever case it prints it.
        QFile log(ServerLog::filePath());
        QVERIFY(log.open(QIODevice::WriteOnly | QIODevice::Append));
        log.write("Fastify LISTENING ON http://127.0.0.1:" + QByteArray::number(port) + "\n");
        log.close();
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::success, settle);
        QCOMPARE(part<QLabel>("title")->text(), QString("Server started"));
        QVERIFY(button("open-control")->isVisible() && button("open-control")->isDefault());
        QVERIFY(!button("cancel")->isVisible());
    }

    // Open Control, like Esc, ends the countdown with the sheet; a countdown
    // left to run closes the sheet by itself in tst_startwithsheet_xvfb.
    void adoptingARunningServerCountsAsSuccessThenTheCountdownAndReturnOpensControl() {
        ExternalServer other("healthy", port);
        beginStart("healthy");
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::success, settle);
        QElapsedTimer sinceSuccess;
        sinceSuccess.start();
        // Three quiet seconds first (a lower bound: load only adds to it).
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().autoCloseSeconds(), std::optional<int>(5), settle);
        QVERIFY2(sinceSuccess.elapsed() >= 2500,
                 qPrintable(QString::number(sinceSuccess.elapsed())));
        QCOMPARE(part<QLabel>("countdown")->text(), QString("Closing in 5"));
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().autoCloseSeconds(), std::optional<int>(4), settle);
        QVERIFY(part<QLabel>("countdown")->isVisible());

        // Return is "Open Control" now, wherever the focus is.
        logView()->setFocus();
        QTest::keyClick(logView(), Qt::Key_Return);
        QCOMPARE(openedPaths, QStringList{"/presenter"});
        QVERIFY(!sheet->isVisible());
        QCOMPARE(sheet->state().autoCloseSeconds(), std::nullopt);
        QCOMPARE(manager->logLines().last(), QString("Sheet dismissed (success)"));
        int changes = 0;
        connect(&sheet->state(), &StartupOutcome::changed, this, [&] { ++changes; });
        // Longer than the rest of the countdown would have taken.
        QTest::qWait(5000);
        QCOMPARE(changes, 0);
        QCOMPARE(closedSignals, 1);
        QCOMPARE(manager->logLines().count("Sheet dismissed (success)"), 1);
        // Closing after success never stops the server.
        QCOMPARE(manager->status(), ServerStatus::running);
        QVERIFY(other.isRunning());
    }

    void failureShowsLastErrorOnceAndOffersRetry_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("withoutEntryScript");
        QTest::newRow("exit code with log tail") << "exit:3" << false;
        QTest::newRow("pre-start check") << "healthy" << true;
    }

    void failureShowsLastErrorOnceAndOffersRetry() {
        QFETCH(QString, mode);
        QFETCH(bool, withoutEntryScript);
        if (withoutEntryScript)
            QVERIFY(QFile::remove(runtime->entryScript()));
        beginStart(mode);
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::failed, settle);
        QTRY_VERIFY(manager->lastError().has_value());
        const QString error = *manager->lastError();
        const QString firstLine = error.section('\n', 0, 0);
        // Wait until the file's copy of the error has reached the tailer.
        QTRY_VERIFY_WITH_TIMEOUT(sheet->state().logTailer().lines().contains(firstLine), settle);
        QCOMPARE(sheet->state().fullLogText().count(firstLine), 1);
        QCOMPARE(part<QLabel>("error-line")->text(), error);
        QVERIFY(part<QLabel>("error-line")->isVisible());
        QCOMPARE(sheet->state().statusLine(), QString("Failed"));
        QCOMPARE(sheet->statusColor(), StartupProgressView::failureColor());
        QCOMPARE(part<QLabel>("title")->text(), QString("Server failed to start"));
        QVERIFY(button("retry")->isVisible() && button("retry")->isDefault());
        QVERIFY(button("cancel")->isVisible() && button("close")->isVisible());
        QVERIFY(!button("open-control")->isVisible());
        if (mode == "exit:3") {
            QVERIFY(error.startsWith("Server exited with code 3. See log in the data folder."));
            QCOMPARE(sheet->state().fullLogText().count("Last log lines:"), 1);
            // Return is Retry: it starts again with an emptied log.
            setFixtureMode("healthy");
            QTest::keyClick(sheet.get(), Qt::Key_Return);
            QCOMPARE(sheet->state().outcome(), Outcome::inProgress);
            QVERIFY(!part<QLabel>("error-line")->isVisible());
            QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::success, settle);
            const QString text = sheet->state().fullLogText();
            QVERIFY2(!text.contains("exited with code 3"), qPrintable(text));
            QVERIFY(text.startsWith("——— Start "));
            QCOMPARE(text.count("——— Start "), 1);
            QVERIFY(sheet->isVisible());
            return;
        }
        // Close only closes: the outcome stays the manager's.
        button("close")->click();
        QVERIFY(!sheet->isVisible());
        QCOMPARE(closedSignals, 1);
        QCOMPARE(manager->status(), ServerStatus::crashed);
    }

    void closingWhileStartingCancelsTheStart_data() {
        QTest::addColumn<bool>("useEscape");
        QTest::newRow("Esc") << true;
        QTest::newRow("Cancel button") << false;
    }

    void closingWhileStartingCancelsTheStart() {
        QFETCH(bool, useEscape);
        beginStart("slow:600000");
        QTRY_COMPARE_WITH_TIMEOUT(manager->startupPhase(), StartupPhase::waiting, settle);
        QCOMPARE(sheet->state().statusLine(), QString("Waiting for server…"));

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
        QCOMPARE(closedSignals, 1);
        // What the cancelled start does to the child is tst_serverlifecycle's.
        QCOMPARE(manager->logLines().last(), QString("Start cancelled"));
        QCOMPARE(sheet->state().outcome(), Outcome::inProgress);
    }

    void logPanelFollowsCopiesAndSelectsAndClosesWithItsManager() {
        make();
        openSheet();
        // Nothing logged yet: the area keeps its line, Copy leaves the clipboard alone.
        QCOMPARE(sheet->state().fullLogText(), QString());
        QCOMPARE(logView()->toPlainText(), QString(" "));
        QGuiApplication::clipboard()->setText("before");
        button("copy-log")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));

        // The in-memory log stands in until the file has a line.
        manager->appendLog("only in memory");
        QCOMPARE(sheet->state().fullLogText(), QString("only in memory"));
        for (int i = 1; i <= 120; ++i)
            manager->appendLog(QString("line %1").arg(i));
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().logTailer().lines().size(), 121, settle);
        QScrollBar* bar = logView()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        QVERIFY(logView()->toPlainText().endsWith("line 120"));

        button("copy-log")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), sheet->state().fullLogText());
        button("select-all")->click();
        QCOMPARE(logView()->textCursor().selectedText().size(),
                 sheet->state().fullLogText().size());

        // The sheet closes when its manager goes away.
        manager.reset();
        QVERIFY(!sheet->isVisible());
        QCOMPARE(closedSignals, 1);
        QCOMPARE(sheet->state().server(), nullptr);
    }
};

VESPERLINE_GUI_TEST_MAIN(TestStartupProgress)
#include "tst_startupprogress.moc"
