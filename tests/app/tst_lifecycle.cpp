// The application's own loop: the Output menu follows the model, closing the
// window does not quit, and quitting by Ctrl+Q runs the termination steps.
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

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        if (vesperline) {
            window().close();
            AppTest::tearDown(app(), vesperline);
        }
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void theOutputMenuFollowsTheServerAndCtrlQEndsTheServerThisProgramStarted() {
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
        vesperline->showMainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
        QAction* open = window().openDisplayOutputAction();
        QAction* close = window().closeDisplayOutputAction();
        QVERIFY(!open->isEnabled());
        QVERIFY(!close->isEnabled());

        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        // Enabled, the shortcut reaches the model (which refuses with the server stopped);
        // the model's next change renders the menu disabled again.
        open->setEnabled(true);
        QTest::keyClick(&window(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(app().statusMessage(), QString("Start the server before opening display output"));
        app().setStatusMessage(std::nullopt);
        QVERIFY(!open->isEnabled());

        // Closing the window does not quit. Qt quits on a last window closed
        // only inside a running loop, so outside one the flag is what shows.
        QVERIFY(!QApplication::quitOnLastWindowClosed());

        setFixtureMode("slow:1500");
        app().server().start();
        QTRY_VERIFY(open->isEnabled()); // starting counts
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        QVERIFY(open->isEnabled());
        const qint64 child = *app().server().childProcessId();

        // Ctrl+Q pressed inside the application's loop, which must then end
        // by itself; the guard's timers end with it.
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
