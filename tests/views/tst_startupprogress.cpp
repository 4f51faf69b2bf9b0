#include "services/ServerManager.h"
#include "support/GuiTestMain.h"
#include "support/ServerFixtures.h"
#include "views/StartupProgressView.h"

#include <QClipboard>
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

    // The outcome itself is tst_startupoutcome's; here, what the sheet shows
    // of it and what its keys do.
    void successShowsOpenControlOnReturnAndClosingStopsTheCountdown() {
        ExternalServer other("healthy", port);
        beginStart("healthy");
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::success, settle);
        QCOMPARE(part<QLabel>("title")->text(), QString("Server started"));
        QVERIFY(button("open-control")->isVisible() && button("open-control")->isDefault());
        QVERIFY(!button("cancel")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().autoCloseSeconds(), std::optional<int>(5), settle);
        QCOMPARE(part<QLabel>("countdown")->text(), QString("Closing in 5"));

        // Return is "Open Control", wherever the focus is.
        logView()->setFocus();
        QTest::keyClick(logView(), Qt::Key_Return);
        QCOMPARE(openedPaths, QStringList{"/presenter"});
        QVERIFY(!sheet->isVisible());
        QCOMPARE(sheet->state().autoCloseSeconds(), std::nullopt);
        // Past the next tick of the countdown: it does not close twice.
        QTest::qWait(1500);
        QCOMPARE(closedSignals, 1);
        QCOMPARE(manager->logLines().count("Sheet dismissed (success)"), 1);
        QVERIFY(other.isRunning());
    }

    void failureShowsTheErrorAndRetryOnReturn() {
        beginStart("exit:3");
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::failed, settle);
        QTRY_VERIFY(manager->lastError().has_value());
        QCOMPARE(part<QLabel>("error-line")->text(), *manager->lastError());
        QVERIFY(part<QLabel>("error-line")->isVisible());
        QCOMPARE(sheet->statusColor(), StartupProgressView::failureColor());
        QCOMPARE(part<QLabel>("title")->text(), QString("Server failed to start"));
        QVERIFY(button("retry")->isVisible() && button("retry")->isDefault());
        QVERIFY(button("cancel")->isVisible() && button("close")->isVisible());
        QVERIFY(!button("open-control")->isVisible());
        setFixtureMode("healthy");
        QTest::keyClick(sheet.get(), Qt::Key_Return);
        QCOMPARE(sheet->state().outcome(), Outcome::inProgress);
        QVERIFY(!part<QLabel>("error-line")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(sheet->state().outcome(), Outcome::success, settle);
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
        // Scrolled up to read, the operator stays there while lines arrive.
        bar->setValue(10);
        manager->appendLog("line 121");
        QTRY_VERIFY(logView()->toPlainText().endsWith("line 121"));
        QTest::qWait(300); // longer than the scroll animation
        QCOMPARE(bar->value(), 10);

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
