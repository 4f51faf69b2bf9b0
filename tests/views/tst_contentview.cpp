// The main window's content (sidebar, tabs, status footer, status poll) and
// its first screen, the Dashboard, over one model on a fixture runtime.
#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/Preferences.h"
#include "support/GuiTestMain.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/DashboardView.h"
#include "views/ServerLogPanel.h"
#include "views/ServerStatusFooter.h"
#include "views/SidebarTabButton.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextBlock>

using namespace TestSupport;
using AppTest::InstallTree;
using Tone = SemanticColors::Tone;
using Appearance = ServerStatusFooter::Appearance;

namespace {

// Visible as far as the screen's own tree goes (the screen itself is shown).
bool shown(QWidget* widget) {
    return widget->isVisibleTo(widget->window());
}

QString text(QWidget& root, const char* name) {
    return child<QLabel>(root, name)->text();
}

bool showsLabel(QWidget& root, const QString& text) {
    const auto labels = root.findChildren<QLabel*>();
    return std::any_of(labels.begin(), labels.end(),
                       [&](QLabel* label) { return shown(label) && label->text() == text; });
}

} // namespace

class TestContentView : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    // Not shown unless a test shows it: no status poll runs until then, so
    // the texts a test sets stay.
    std::unique_ptr<ContentView> content;
    // Shown on its own, as a screen is drawn only while visible.
    std::unique_ptr<DashboardView> dashboard;
    int port = 0;
    QString n;

    AppViewModel& makeModel(bool node = true) {
        app = std::make_unique<AppViewModel>(tree->environment(node));
        // The launch-time restore settles before anything is looked at.
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        return *app;
    }

    // With the status sync its first drawing makes done.
    ContentView& makeContent() {
        content = std::make_unique<ContentView>(app ? *app : makeModel());
        if (!QTest::qWaitFor([this] { return app->pendingOperations() == 0; }, settle))
            qFatal("the first status sync never ended");
        return *content;
    }

    DashboardView& showDashboard(bool node = true) {
        dashboard = std::make_unique<DashboardView>(app ? *app : makeModel(node));
        dashboard->resize(900, 1400);
        dashboard->show();
        QApplication::setActiveWindow(dashboard.get());
        if (!QTest::qWaitForWindowActive(dashboard.get()))
            qFatal("the Dashboard never became the active window");
        return *dashboard;
    }

    // The keyboard shortcuts of Start (Ctrl+R) and Stop (Ctrl+.).
    void press(Qt::Key key) { QTest::keyClick(dashboard.get(), key, Qt::ControlModifier); }

    Appearance footerNow() {
        content->footer().render();
        return content->footer().shown();
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        n = QString::number(port);
    }

    void cleanup() {
        dashboard.reset();
        content.reset();
        if (app)
            AppTest::tearDown(*app, app);
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void aMachineThatIsNotSetUpSaysWhatIsMissing() {
        QFile::remove(tree->projectRoot() + "/apps/server/dist/index.js");
        QFile::remove(tree->projectRoot() + "/data/bible.sqlite");
        auto& dashboard = showDashboard(false);
        for (const char* warning : {"nodeWarning", "databaseWarning", "buildWarning"})
            QVERIFY2(shown(child(dashboard, warning)), warning);
        QVERIFY(child<QLabel>(dashboard, "readiness")->text().contains("Setup needed"));
        QVERIFY(!child<QPushButton>(dashboard, "start")->isEnabled());
        const QStringList lines = text(dashboard, "blockedReasons").split('\n');
        QCOMPARE(lines.size(), app->startBlockedReasons().size());
        QCOMPARE(lines.first(), "• " + app->startBlockedReasons().first());
        QVERIFY(showsLabel(dashboard, ApplicationSupport::path("data/bible.sqlite")));
        QVERIFY(showsLabel(dashboard, "Server build not bundled"));
        QVERIFY(showsLabel(dashboard, "Node.js 20+ required"));
    }

    void aReadyMachineOffersStartAndItsAddresses() {
        auto& dashboard = showDashboard();
        for (const char* warning :
             {"bootstrapWarning", "nodeWarning", "databaseWarning", "buildWarning"})
            QVERIFY2(!shown(child(dashboard, warning)), warning);
        QVERIFY(child<QLabel>(dashboard, "readiness")->text().contains("Ready"));
        QVERIFY(child<QPushButton>(dashboard, "start")->isEnabled());
        QVERIFY(!shown(child(dashboard, "forceStop")));

        // The addresses follow the output size and the web output toggle.
        app->setOutputSize(1280, 720);
        const QString base = "http://127.0.0.1:" + n;
        const auto visibleUrls = [&] {
            QStringList urls;
            for (QLabel* label : dashboard.findChildren<QLabel*>())
                if (shown(label) && label->text().startsWith(base))
                    urls << label->text();
            return urls;
        };
        QTRY_COMPARE(visibleUrls().size(), 8);
        QVERIFY(visibleUrls().contains(base + "/output?w=1280&h=720"));
        auto* toggle = child<QCheckBox>(dashboard, "webOutputToggle");
        QVERIFY(toggle->isChecked());
        toggle->click();
        QCOMPARE(Preferences::boolValue("showWebOutputHint"), false);
        QCOMPARE(visibleUrls().size(), 4);

        // The display window shows the stage view instead, on the same
        // monitor, filling it; the choice is stored.
        auto* page = child<QComboBox>(dashboard, "displayPage");
        QCOMPARE(page->currentText(), QString("Output"));
        QCOMPARE(app->displayOutputURLString(), app->outputURLString());
        page->setFocus();
        QTest::keyClick(page, Qt::Key_Down);
        QCOMPARE(Preferences::boolValue("displayShowsStage"), true);
        QCOMPARE(app->displayOutputURLString(), base + "/stage");

        // Copy takes the shown address; Open has nothing to open while stopped.
        for (QPushButton* button : dashboard.findChildren<QPushButton*>()) {
            if (button->toolTip() == "Copy URL") {
                button->click();
                break;
            }
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), base + "/presenter");
        QCOMPARE(app->statusMessage(), QString("Copied to clipboard"));
        for (QPushButton* button : dashboard.findChildren<QPushButton*>())
            if (button->text() == "Open")
                QVERIFY(!button->isEnabled());

        // The size steppers store what they set; the model keeps it in range.
        child<QSpinBox>(dashboard, "height")->stepDown();
        QCOMPARE(Preferences::integerValue("outputHeight"), app->outputHeight());
        QCOMPARE(app->outputHeight(), 710);

        // The log box follows the log, stays where the operator scrolled up
        // to read (also once the oldest lines give way), and clears it, file
        // included.
        auto* log = child<QPlainTextEdit>(dashboard, "serverLog");
        for (int i = 1; i <= ServerLogPanel::visibleLines; ++i)
            app->server().appendLog(QString("line %1").arg(i));
        QScrollBar* bar = log->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(100);
        const QString shownLine = log->cursorForPosition({4, 4}).block().text();
        app->server().appendLog("one more");
        QVERIFY(log->toPlainText().endsWith("line 500\none more"));
        QCOMPARE(log->cursorForPosition({4, 4}).block().text(), shownLine);
        bar->setValue(bar->maximum());
        app->server().appendLog("and another");
        QCOMPARE(bar->value(), bar->maximum());
        child<QPushButton>(dashboard, "clearLog")->click();
        QTRY_COMPARE(log->toPlainText(), QString());
        QCOMPARE(TestSupport::readFile(ServerLog::filePath()), QByteArray());
    }

    // Started and stopped from the keyboard, as an operator does; how a
    // running server's death is found is tst_servermanager's.
    void theFooterAndTheDashboardFollowTheServerThroughEveryState() {
        makeContent();
        auto& dashboard = showDashboard();
        ServerStatusFooter& footer = content->footer();
        QCOMPARE(footerNow(), (Appearance{"Server stopped", Tone::secondary}));
        {
            // Someone else holds the port: a fresh test each time it is drawn.
            ExternalServer squatter("silent", port);
            QCOMPARE(footerNow(), (Appearance{"Port " + n + " busy", Tone::orange}));
        }
        QTRY_COMPARE(footerNow(), (Appearance{"Server stopped", Tone::secondary}));

        // The fixture has no data endpoints: the failed GETs once it runs
        // show the data was reloaded from the server on its own.
        await(app->reloadBookmarks());
        QCOMPARE(app->bookmarksError(), std::nullopt);
        setFixtureMode("slow:1500");
        app->setShowStartupLog(false);
        press(Qt::Key_R);
        QTRY_COMPARE(footer.shown(), (Appearance{"Starting :" + n + "…", Tone::orange}));
        QCOMPARE(footer.accessibleName(), "Starting :" + n + "…");
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QCOMPARE(footer.shown(), (Appearance{"Server on :" + n, Tone::green}));
        QTRY_COMPARE(text(dashboard, "statusBadge"), QString("Running"));
        QVERIFY(!shown(child(dashboard, "start")));
        QVERIFY(child<QPushButton>(dashboard, "restart")->isEnabled());
        QTRY_VERIFY(shown(child(dashboard, "value-clients")));
        QVERIFY(child<QPushButton>(dashboard, "openOutput")->isEnabled());
        QTRY_COMPARE(app->bookmarksError(), QString("Server returned HTTP 404"));
        QCOMPARE(app->bookmarks().size(), size_t(1));

        // Start on a running server only says so, briefly.
        dashboard.beginStart();
        QCOMPARE(app->statusMessage(), QString("Server already running"));
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), std::nullopt, 5000);

        press(Qt::Key_Period);
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::stopped), settle);
        QVERIFY(shown(child(dashboard, "start")));
        QVERIFY(!shown(child(dashboard, "value-clients")));

        {
            // Another program's server, found by the sync a tab change makes
            // at once (only the tab change can sync here), and Force Stop.
            ExternalServer other("healthy", port);
            app->setStatusMessage("Bookmarks saved");
            SidebarTabButton* bookmarks = content->tabButton(AppTab::bookmarks);
            QTest::mouseClick(bookmarks, Qt::LeftButton);
            QCOMPARE(app->selectedTab(), AppTab::bookmarks);
            QTRY_COMPARE(app->statusMessage(), "Connected to server on port " + n);
            QVERIFY(app->mirroredExternallyManaged());
            // A screen is built when its tab is first shown and kept for the
            // next visit; that every tab has its screen is the look test's.
            QPointer<QWidget> previous = content->detail().screen();
            QVERIFY(!content->detail().isBuilt(AppTab::themes));
            app->setSelectedTab(AppTab::themes);
            QCOMPARE(content->detail().screen()->accessibleName(), QString("Themes"));
            app->setSelectedTab(AppTab::bookmarks);
            QCOMPARE(content->detail().screen(), previous.data());

            auto* forceStop = child<QPushButton>(dashboard, "forceStop");
            QTRY_VERIFY(shown(forceStop) && forceStop->isEnabled());
            QVERIFY(text(dashboard, "recoveryCaption")
                        .startsWith("Port stuck? <b>Force Stop</b> frees port " + n));
            QVERIFY(showsLabel(dashboard, "Server was already running on this port (not "
                                          "started in this session)."));
            forceStop->click();
            QTRY_VERIFY_WITH_TIMEOUT(!other.isRunning(), settle);
            QTRY_VERIFY(AppTest::mirrorReached(*app, ServerStatus::stopped));
        }

        // A failed start shows its error and the way out.
        setFixtureMode("syntax-error");
        press(Qt::Key_R);
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::crashed), settle);
        QCOMPARE(footer.shown(), (Appearance{"Server failed", Tone::red}));
        QCOMPARE(text(dashboard, "statusBadge"), QString("Failed"));
        auto* error = child<QLabel>(dashboard, "lastError");
        QTRY_VERIFY(shown(error));
        QCOMPARE(error->text(), *app->server().lastError());
        // Crashed always allows a forced stop, so its hint wins over "Start again".
        QVERIFY(text(dashboard, "recoveryCaption").startsWith("Port stuck?"));
        QVERIFY(child<QPushButton>(dashboard, "restart")->isEnabled());
        QVERIFY(shown(child(dashboard, "start")));

        // Last: a server that ignores SIGTERM keeps the stop busy a while.
        setFixtureMode("stubborn");
        press(Qt::Key_R);
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        press(Qt::Key_Period);
        QTRY_COMPARE_WITH_TIMEOUT(app->mirroredServerStatus(), ServerStatus::stopping, settle);
        QCOMPARE(footer.shown(), (Appearance{"Stopping…", Tone::orange}));
        QVERIFY(!shown(child(dashboard, "stop")));
        QVERIFY(!shown(child(dashboard, "start")));
        QVERIFY(!child<QPushButton>(dashboard, "restart")->isEnabled());
        QVERIFY(showsLabel(dashboard, "Shutting down Node and freeing port " + n +
                                          ". This can take a couple of seconds — hang tight."));
    }

    void whileShownTheStatusIsPolledAndTheDataLoadedAndTheLayoutVersionIsRecordedOnce() {
        QVERIFY(!Preferences::contains("uiLayoutVersion"));
        auto& v = makeContent();
        QSignalSpy firstShown(&v, &ContentView::firstShown);
        v.show();
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), qint64(3));
        QVERIFY(v.isPolling());
        // The first round loads the data files nobody asked for yet.
        QTRY_COMPARE(app->bookmarks().size(), size_t(1));
        QTRY_VERIFY(app->themesConfig().has_value());
        // Any other text gives way to the server's within a poll.
        app->setStatusMessage("Bookmarks saved");
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), "No server responding on port " + n,
                                  2 * int(ContentView::statusPollInterval.count()) + settle);
        v.hide();
        QVERIFY(!v.isPolling());
        v.show();
        QVERIFY(v.isPolling());
        QCOMPARE(firstShown.count(), 1);

        // A newer program's layout version is never lowered.
        QVERIFY(Preferences::setInteger("uiLayoutVersion", 7).ok());
        ContentView::clearLegacySplitViewDefaultsIfNeeded();
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), qint64(7));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
