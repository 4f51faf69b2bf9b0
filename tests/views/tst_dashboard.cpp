#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/Preferences.h"
#include "services/ServerManager.h"
#include "support/GuiTestMain.h"
#include "support/ServerFixtures.h"
#include "views/DashboardView.h"
#include "views/ServerLogPanel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>

using namespace TestSupport;
using AppTest::InstallTree;

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

class TestDashboard : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<DashboardView> view;
    int port = 0;

    DashboardView& open(bool node = true) {
        app = std::make_unique<AppViewModel>(tree->environment(node));
        // The launch-time restore settles before the screen is looked at.
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        view = std::make_unique<DashboardView>(*app);
        view->resize(900, 1400);
        view->show();
        return *view;
    }

    void startServer(const QString& mode) {
        setFixtureMode(mode);
        app->setShowStartupLog(false);
        view->beginStart();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
    }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
        QTRY_VERIFY(!PortOwner::isLocalTCPPortOpen(port));
    }

    void aMachineThatIsNotSetUpSaysWhatIsMissing() {
        QFile::remove(tree->projectRoot() + "/apps/server/dist/index.js");
        QFile::remove(tree->projectRoot() + "/data/bible.sqlite");
        auto& dashboard = open(false);
        for (const char* warning : {"nodeWarning", "databaseWarning", "buildWarning"})
            QVERIFY2(shown(child(dashboard, warning)), warning);
        QVERIFY(!shown(child(dashboard, "bootstrapWarning")));
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
        auto& dashboard = open();
        for (const char* warning :
             {"bootstrapWarning", "nodeWarning", "databaseWarning", "buildWarning"})
            QVERIFY2(!shown(child(dashboard, warning)), warning);
        QVERIFY(child<QLabel>(dashboard, "readiness")->text().contains("Ready"));
        QCOMPARE(text(dashboard, "statusBadge"), QString("Stopped"));
        auto* start = child<QPushButton>(dashboard, "start");
        QVERIFY(shown(start) && start->isEnabled());
        QVERIFY(!shown(child(dashboard, "stop")));
        QVERIFY(!child<QPushButton>(dashboard, "restart")->isEnabled());
        QVERIFY(!shown(child(dashboard, "forceStop")));
        QVERIFY(!shown(child(dashboard, "blockedReasons")));
        QVERIFY(!shown(child(dashboard, "value-clients")));
        QCOMPARE(text(dashboard, "value-translation"), QString("World English Bible"));

        // The addresses follow the output size and the web output toggle.
        app->setOutputSize(1280, 720);
        const QString base = "http://127.0.0.1:" + QString::number(port);
        const auto visibleUrls = [&] {
            QStringList urls;
            for (QLabel* label : dashboard.findChildren<QLabel*>())
                if (shown(label) && label->text().startsWith(base))
                    urls << label->text();
            return urls;
        };
        QTRY_COMPARE(visibleUrls().size(), 8);
        QVERIFY(visibleUrls().contains(base + "/output?w=1280&h=720"));
        QVERIFY(visibleUrls().contains(base + "/stage"));
        auto* toggle = child<QCheckBox>(dashboard, "webOutputToggle");
        QVERIFY(toggle->isChecked());
        toggle->click();
        QCOMPARE(Preferences::boolValue("showWebOutputHint"), false);
        QCOMPARE(visibleUrls().size(), 4);
        toggle->click();
        QCOMPARE(visibleUrls().size(), 8);

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

        // The size steppers keep within their range and store what they set.
        child<QSpinBox>(dashboard, "width")->setValue(100);
        QCOMPARE(app->outputWidth(), 640);
        auto* height = child<QSpinBox>(dashboard, "height");
        height->setValue(9000);
        height->stepDown();
        QCOMPARE(app->outputHeight(), 7670);
        QCOMPARE(Preferences::integerValue("outputHeight"), 7670);

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

    void runningStoppingStoppedAndFailedReadAsTheyShould() {
        auto& dashboard = open();
        startServer("stubborn");
        QTRY_COMPARE(text(dashboard, "statusBadge"), QString("Running"));
        auto* stop = child<QPushButton>(dashboard, "stop");
        QVERIFY(shown(stop));
        QVERIFY(!shown(child(dashboard, "start")));
        QVERIFY(child<QPushButton>(dashboard, "restart")->isEnabled());
        QTRY_VERIFY(shown(child(dashboard, "value-clients")));
        QCOMPARE(text(dashboard, "value-database"), QString("Ready"));
        QCOMPARE(text(dashboard, "value-build"), QString("vfixture"));
        QVERIFY(child<QPushButton>(dashboard, "openOutput")->isEnabled());

        // Start on a running server only says so, briefly; a newer text stays.
        dashboard.beginStart();
        QCOMPARE(app->statusMessage(), QString("Server already running"));
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), std::nullopt, 5000);
        dashboard.beginStart();
        app->setStatusMessage(QString("Copied to clipboard"));
        QTest::qWait(1500);
        QCOMPARE(app->statusMessage(), QString("Copied to clipboard"));

        // The stubborn child keeps the stop busy for the grace period.
        stop->click();
        QTRY_COMPARE_WITH_TIMEOUT(app->mirroredServerStatus(), ServerStatus::stopping, settle);
        QVERIFY(!shown(stop));
        QVERIFY(!shown(child(dashboard, "start")));
        QVERIFY(!child<QPushButton>(dashboard, "restart")->isEnabled());
        const QString port = QString::number(this->port);
        QVERIFY(showsLabel(dashboard, "Shutting down Node and freeing port " + port +
                                          ". This can take a couple of seconds — hang tight."));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::stopped), settle);
        QVERIFY(shown(child(dashboard, "start")));
        QVERIFY(!shown(child(dashboard, "value-clients")));

        // A failed start shows its error and the way out.
        setFixtureMode("syntax-error");
        dashboard.beginStart();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::crashed), settle);
        QCOMPARE(text(dashboard, "statusBadge"), QString("Failed"));
        auto* error = child<QLabel>(dashboard, "lastError");
        QTRY_VERIFY(shown(error));
        QCOMPARE(error->text(), *app->server().lastError());
        // Crashed always allows a forced stop, so its hint wins over "Start again".
        QVERIFY(text(dashboard, "recoveryCaption").startsWith("Port stuck?"));
        QVERIFY(child<QPushButton>(dashboard, "restart")->isEnabled());
        QVERIFY(shown(child(dashboard, "start")));
    }

    void anAdoptedServerOffersForceStop() {
        ExternalServer other("healthy", port);
        auto& dashboard = open();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QTRY_VERIFY(app->mirroredExternallyManaged());
        auto* forceStop = child<QPushButton>(dashboard, "forceStop");
        QVERIFY(shown(forceStop) && forceStop->isEnabled());
        QVERIFY(
            text(dashboard, "recoveryCaption")
                .startsWith("Port stuck? <b>Force Stop</b> frees port " + QString::number(port)));
        QVERIFY(showsLabel(
            dashboard, "Server was already running on this port (not started in this session)."));
        forceStop->click();
        QTRY_VERIFY_WITH_TIMEOUT(!other.isRunning(), settle);
        QTRY_VERIFY(AppTest::mirrorReached(*app, ServerStatus::stopped));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestDashboard)
#include "tst_dashboard.moc"
