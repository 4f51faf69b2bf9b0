#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/LANAddresses.h"
#include "services/QRCodeGenerator.h"
#include "services/Settings.h"
#include "support/GuiTestMain.h"
#include "support/QRReader.h"
#include "views/QRCodeView.h"
#include "views/iPadSetupView.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

bool shown(QWidget* widget) {
    return widget->isVisibleTo(widget->window());
}

// What a camera reads off the screen's QR code, as drawn.
QString scanned(QWidget& screen) {
    QTemporaryDir dir;
    const QString file = dir.filePath("screen.png");
    child(screen, "qrCode")->grab().save(file);
    return readQRCode(file);
}

// The checklist as a person reads it: each row's text and its mark.
QStringList checklist(QWidget& screen) {
    QStringList rows;
    const auto labels = child<QGroupBox>(screen, "checklist")->findChildren<QLabel*>();
    for (int i = 0; i + 1 < labels.size(); i += 2)
        rows << labels[i]->accessibleName() + ": " + labels[i + 1]->text();
    return rows;
}

// An address the screen shows with the buttons that copy and open it.
struct Link {
    const char* label;
    const char* copy;
    const char* open;
    QString url;
};

} // namespace

class TestiPadSetup : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<iPadSetupView> view;
    QStringList system; // this computer's LAN addresses, as the system lists them
    int port = 0;
    QString n;

    iPadSetupView& open() {
        AppViewModel::Environment environment = tree->environment();
        environment.readLANAddresses = [this] { return system; };
        app = std::make_unique<AppViewModel>(std::move(environment));
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        view = std::make_unique<iPadSetupView>(*app);
        view->resize(900, 1000);
        view->show();
        return *view;
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        n = QString::number(port);
        system = QStringList{"192.168.1.20"};
    }

    void cleanup() {
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    // However long the text, the code lays out at the requested size (its
    // modules shrink); one too long for any QR code, or none, gives no
    // image. The screen's own codes are read back below.
    void theCodeKeepsItsSizeAndTooMuchGivesNoImage() {
        const QString text =
            "http://192.168.1.20:3847/presenter?note=" + QString("x").repeated(360);
        const std::optional<QImage> code = QRCodeGenerator::image(text, 240);
        QVERIFY(code);
        QCOMPARE(code->deviceIndependentSize(), QSizeF(240, 240));
        QVERIFY(!QRCodeGenerator::image(QString(), 240));
        QVERIFY(!QRCodeGenerator::image(QString("x").repeated(2400), 240));
    }

    // Stopped: the addresses are there to copy, nothing to open yet, and
    // the orange line says what to do. With several networks the operator
    // picks the tablet's; the URL, the QR code and the program's other LAN
    // links follow, and the choice holds until its network goes.
    void theWayTheAddressesAndThePickedNetwork() {
        auto& screen = open();
        const QString lan = "http://192.168.1.20:" + n;
        QCOMPARE(scanned(screen), lan + "/presenter");
        QVERIFY(!shown(child(screen, "addressPicker")));
        QVERIFY(
            child<QLabel>(screen, "firewallText")->text().contains("sudo ufw allow " + n + "/tcp"));
        QCOMPARE(child<QLabel>(screen, "localPresenterURL")->text(),
                 "http://127.0.0.1:" + n + "/presenter");
        QCOMPARE(checklist(screen),
                 QStringList({"Not done: Server is running",
                              "Done: This computer has a LAN IP (192.168.1.20)",
                              "Done: Bible database imported",
                              "Not done: iPad on same Wi\u2011Fi as this computer"}));
        QVERIFY(shown(child(screen, "stoppedHint")));
        // The stage view is for a tablet too: its address is the LAN one.
        const Link links[] = {
            {"presenterURL", "copyPresenterURL", "openPresenter", lan + "/presenter"},
            {"outputURL", "copyOutputURL", "openOutput", app->outputURLString()},
            {"stageURL", "copyStageURL", "openStage", lan + "/stage"}};
        for (const Link& link : links) {
            QCOMPARE(child<QLabel>(screen, link.label)->text(), link.url);
            QVERIFY(!child<QPushButton>(screen, link.open)->isEnabled());
            child<QPushButton>(screen, link.copy)->click();
            QCOMPARE(QGuiApplication::clipboard()->text(), link.url);
        }

        system = QStringList{"10.8.0.2", "192.168.1.20"};
        app->lanAddresses().refresh();
        auto* picker = child<QComboBox>(screen, "addressPicker");
        QVERIFY(shown(picker));
        QCOMPARE(picker->currentText(), QString("10.8.0.2"));
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(child<QLabel>(screen, "presenterURL")->text(), lan + "/presenter");
        QCOMPARE(scanned(screen), lan + "/presenter");
        QCOMPARE(Settings::text(Settings::Key::lanAddress), QString("192.168.1.20"));

        // Read again when the screen comes back: its network is gone.
        screen.hide();
        system = QStringList{"10.8.0.2"};
        screen.show();
        QVERIFY(!shown(picker));
        QCOMPARE(child<QLabel>(screen, "stageURL")->text(), "http://10.8.0.2:" + n + "/stage");

        // No network at all: the dash, the same in the QR code.
        system.clear();
        app->lanAddresses().refresh();
        const QString none = "http://—:" + n + "/presenter";
        QCOMPARE(child<QLabel>(screen, "presenterURL")->text(), none);
        QCOMPARE(scanned(screen), none);
        QVERIFY(checklist(screen).contains("Not done: This computer has a LAN IP (—)"));

        system = QStringList{"192.168.1.20"};
        app->lanAddresses().refresh();
        app->server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QVERIFY(!shown(child(screen, "stoppedHint")));
        for (const Link& link : links)
            QVERIFY(child<QPushButton>(screen, link.open)->isEnabled());
        QCOMPARE(checklist(screen).filter("Not done").size(), 0);
    }
};

VESPERLINE_GUI_TEST_MAIN(TestiPadSetup)
#include "tst_ipadsetup.moc"
