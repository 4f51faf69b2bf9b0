// The application's own loop: quitting by Ctrl+Q runs the termination steps,
// closing the window does not quit, and the Output menu follows the model.
// The quitting test runs QApplication::exec() for real; quitting by signal is
// tst_program_xvfb's, on the real executable.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "support/GuiTestMain.h"
#include "views/ContentView.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

// Sees the application's Quit event, which is how a quit would show.
class QuitWatcher : public QObject {
public:
    QuitWatcher() { qApp->installEventFilter(this); }
    ~QuitWatcher() override { qApp->removeEventFilter(this); }
    int quits = 0;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (receiver == qApp && event->type() == QEvent::Quit)
            ++quits;
        return false;
    }
};

// Runs the application's loop until it quits, starting `trigger` inside it;
// false when it did not quit in time.
bool runUntilQuit(const std::function<void()>& trigger) {
    bool timedOut = false;
    QTimer::singleShot(0, qApp, trigger);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    guard.start(slowSettle);
    QApplication::exec();
    return !timedOut;
}

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    int port = 0;

    AppViewModel& app() { return vesperline->appModel(); }
    MainWindow& window() { return vesperline->mainWindow(); }

    void launch() {
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
        vesperline->showMainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
    }

    void startSpawnedServer() {
        app().server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
    }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        if (vesperline) {
            window().close();
            AppTest::tearDown(app(), vesperline);
        }
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void theOutputMenuFollowsTheServerAndClosingTheWindowDoesNotQuit() {
        launch();
        QAction* open = window().openDisplayOutputAction();
        QAction* close = window().closeDisplayOutputAction();
        QVERIFY(!open->isEnabled());
        QVERIFY(!close->isEnabled());

        // Disabled, the shortcut does nothing.
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QTest::keyClick(&window(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(app().statusMessage() != "Start the server before opening display output");
        // Enabled, it reaches the model (which refuses with the server stopped).
        open->setEnabled(true);
        QTest::keyClick(&window(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(app().statusMessage(), QString("Start the server before opening display output"));
        app().setStatusMessage(std::nullopt); // re-renders the menu from the model
        QVERIFY(!open->isEnabled());

        setFixtureMode("slow:1500");
        app().server().start();
        QTRY_VERIFY(open->isEnabled()); // starting counts
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        QVERIFY(open->isEnabled());
        await(app().server().stopAsync());
        QTRY_VERIFY(!open->isEnabled());
        QVERIFY(!close->isEnabled());

        // Closing the window does not quit.
        QuitWatcher watcher;
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        window().close();
        QApplication::processEvents();
        QCOMPARE(watcher.quits, 0);
        QVERIFY(!window().isVisible());
    }

    void ctrlQEndsAServerThisProgramStarted() {
        launch();
        startSpawnedServer();
        const qint64 child = *app().server().childProcessId();
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QVERIFY(
            runUntilQuit([this] { QTest::keyClick(&window(), Qt::Key_Q, Qt::ControlModifier); }));
        QCOMPARE(app().statusMessage(), QString("Display output closed"));
        QVERIFY(!app().isDisplayOutputOpen());
        QTRY_VERIFY(!processAlive(child));
        QVERIFY(!QFile::exists(PidFile::path()));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
