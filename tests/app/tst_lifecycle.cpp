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

        // Closing the window does not quit. Qt quits on a last window closed
        // only inside a running loop, so outside one the flag is what shows.
        QVERIFY(!QApplication::quitOnLastWindowClosed());
    }

    void ctrlQEndsAServerThisProgramStarted() {
        launch();
        app().server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        const qint64 child = *app().server().childProcessId();
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        // Pressed inside the application's loop, which must then end by
        // itself; the guard's timers end with it.
        bool timedOut = false;
        QObject guard;
        QTimer::singleShot(0, &guard,
                           [this] { QTest::keyClick(&window(), Qt::Key_Q, Qt::ControlModifier); });
        QTimer::singleShot(slowSettle, &guard, [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
        QApplication::exec();
        QVERIFY(!timedOut);
        QCOMPARE(app().statusMessage(), QString("Display output closed"));
        QVERIFY(!app().isDisplayOutputOpen());
        QTRY_VERIFY(!processAlive(child));
        QVERIFY(!QFile::exists(PidFile::path()));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
