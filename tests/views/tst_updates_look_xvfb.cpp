// The Updates screen as a person sees it, on a real X display, light and
// dark, with its status block in every state. The states come from real
// checks and a real installation against a feed on 127.0.0.1 (answers held
// back a moment hold a state for the picture); only the idle text, which
// a shown screen passes at once, and a download's fraction are drawn
// directly. With VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot does)
// each state is written there as a PNG.
#include "app/AppTestSupport.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"
#include "support/UpdateFixtures.h"
#include "views/UpdateStatusBlock.h"
#include "views/UpdatesView.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

using namespace TestSupport;
using AppTest::InstallTree;
using Status = RuntimeUpdateService::Status;

class TestUpdatesLook : public QObject {
    Q_OBJECT

    UpdateFixtures::SigningKey key;
    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<UpdatesView> view;
    std::unique_ptr<HttpTestServer> host;
    int port = 0;
    QString outputDir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");

    // The shown element's text: the status line, or the progress label.
    QString shownText() {
        const auto* message = child<QLabel>(*view, "updateStatusText");
        const auto* progressLabel = child<QLabel>(*view, "updateProgressLabel");
        return message->isVisible()         ? message->text()
               : progressLabel->isVisible() ? progressLabel->text()
                                            : QString();
    }

    void shoot(const QString& name, const QString& text) {
        QCOMPARE(shownText(), text);
        for (const bool dark : {false, true}) {
            QPalette palette = QApplication::style()->standardPalette();
            if (dark) {
                palette = QPalette(QColor(0x38, 0x38, 0x3c), QColor(0x2b, 0x2b, 0x2e));
                palette.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
            }
            view->setPalette(palette);
            QApplication::processEvents();
            const QImage image = view->grab().toImage();
            QVERIFY(!image.isNull());
            if (!outputDir.isEmpty()) {
                QDir().mkpath(outputDir);
                image.save(QStringLiteral("%1/updates-%2%3.png")
                               .arg(outputDir, name, dark ? QStringLiteral("-dark") : QString()));
            }
        }
        view->setPalette(QApplication::style()->standardPalette());
    }

    // The buttons wait while anything is under way; "Download & install"
    // is there only while an update is available.
    void awaitStatus(const Status& status) {
        QTRY_COMPARE_WITH_TIMEOUT(view->updates().status(), status, settle);
        QCOMPARE(child<QPushButton>(*view, "checkForUpdates")->isEnabled(), !status.isBusy());
        QCOMPARE(child<QPushButton>(*view, "downloadAndInstall")->isVisible(),
                 status.is<Status::Available>());
    }

    void serveFeed(const QString& version, const QByteArray& archive) {
        const QString sha = UpdateFixtures::sha256Hex(archive);
        host->setResponse("/feed.json",
                          HttpResponse{200, UpdateFixtures::feedJson(
                                                version, host->url("/r.tar.gz").toString(), sha,
                                                key.sign(sha), "Faster verse search.")});
    }

private Q_SLOTS:
    void initTestCase() {
        AppTest::prepareFirstLaunch(tree, port);
        host = std::make_unique<HttpTestServer>();
        QVERIFY(ApplicationSupport::saveUpdateFeedURL(host->url("/feed.json").toString()));
        app = std::make_unique<AppViewModel>(tree->environment());
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
        view = std::make_unique<UpdatesView>(*app,
                                             RuntimeUpdateService::Options{key.publicKeyBase64()});
        view->resize(760, 720);
    }

    void cleanupTestCase() {
        host.reset();
        QTRY_COMPARE_WITH_TIMEOUT(view->updates().pendingOperations(), 0, slowSettle);
        view.reset();
        AppTest::tearDown(*app, app);
    }

    void checks() {
        HttpResponse late{500};
        late.delayMs = 1500;
        host->setResponse("/feed.json", late);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        awaitStatus(Status::Checking{});
        shoot("checking", "Checking…");
        child<UpdateStatusBlock>(*view, "updateStatusBlock")->render(Status::Idle{});
        shoot("idle", "Check anytime — patches are signed and verified before install.");

        awaitStatus(Status::Failed{"Update feed HTTP 500."});
        shoot("failed", "Update feed HTTP 500.");

        serveFeed("0.0.0", "x");
        view->updates().checkForUpdates();
        awaitStatus(Status::UpToDate{});
        shoot("up-to-date", "Runtime is up to date");
    }

    // Installing lasts while the new runtime's server boots (it listens
    // after two seconds).
    void installation() {
        qputenv("VESPERLINE_FIXTURE_MODE", "late:2000");
        const QByteArray archive =
            UpdateFixtures::runtimeArchive("2.4.0", readFile(ExternalServer::fixtureScript()));
        serveFeed("2.4.0", archive);
        HttpResponse late{200, archive};
        late.delayMs = 1500;
        host->setResponse("/r.tar.gz", late);
        view->updates().checkForUpdates();
        awaitStatus(Status::Available{"2.4.0", "Faster verse search."});
        shoot("available", "Runtime 2.4.0 available");

        child<QPushButton>(*view, "downloadAndInstall")->click();
        awaitStatus(Status::Downloading{});
        shoot("downloading", "Downloading…");
        child<UpdateStatusBlock>(*view, "updateStatusBlock")->render(Status::Downloading{0.62});
        shoot("downloading-fraction", "");
        awaitStatus(Status::Installing{});
        shoot("installing", "Installing & restarting server…");
        awaitStatus(Status::Installed{"2.4.0"});
        shoot("installed", "Installed runtime 2.4.0");
        QCOMPARE(child<QLabel>(*view, "runtimeSource")->text(), "Hot-patch (data folder)");
        qputenv("VESPERLINE_FIXTURE_MODE", "healthy");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestUpdatesLook)
#include "tst_updates_look_xvfb.moc"
