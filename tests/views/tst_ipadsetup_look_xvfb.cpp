// The iPad setup screen as a person sees it, on a real X display: stopped
// in the smallest window, then running in the dark with two LAN addresses;
// in each a QR reader finds the presenter URL. With
// VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot does) each state is also
// written there as a PNG to look at.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "services/LANAddresses.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "support/QRReader.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>

using namespace TestSupport;
using AppTest::InstallTree;

class TestiPadSetupLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    QStringList system{"192.168.1.20"};
    int port = 0;

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    // The window as drawn; what a phone held up to it reads off the QR code.
    QString shootAndScan(const QString& name) {
        const QImage image = shootWindow(window(), name);
        QTemporaryDir dir;
        image.save(dir.filePath("window.png"));
        return readQRCode(dir.filePath("window.png"));
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        AppViewModel::Environment environment = tree->environment();
        environment.readLANAddresses = [this] { return system; };
        vesperline = std::make_unique<VesperlineApp>(environment);
    }

    void cleanup() {
        window().close();
        AppTest::tearDown(app(), vesperline);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void stoppedAndRunningLightAndDark() {
        const QString presenter = "http://192.168.1.20:" + QString::number(port) + "/presenter";
        vesperline->showMainWindow();
        window().resize(window().minimumSizeHint());
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
        app().setSelectedTab(AppTab::ipad);
        QTRY_COMPARE(window().content().detail().tab(), AppTab::ipad);
        // First drawn in the smallest window, the instructions are already
        // below the code: nothing to scroll sideways for.
        QApplication::processEvents();
        auto* scroll = window().content().detail().screen()->findChild<QScrollArea*>();
        QVERIFY(scroll && !scroll->horizontalScrollBar()->isVisible());
        QCOMPARE(shootAndScan("ipad-setup-smallest"), presenter);

        window().resize(1100, 760);
        QApplication::setPalette(darkPalette());
        app().server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        system = QStringList{"10.8.0.2", "192.168.1.20"};
        app().lanAddresses().refresh();
        app().lanAddresses().choose("192.168.1.20");
        QCOMPARE(shootAndScan("ipad-setup-running-dark"), presenter);
    }
};

VESPERLINE_GUI_TEST_MAIN(TestiPadSetupLook)
#include "tst_ipadsetup_look_xvfb.moc"
