// The Updates screen as a person sees it, on a real X display, with its
// status block in the states a reviewer needs. The states come from real
// checks and a real installation against a feed on 127.0.0.1 (an answer held
// back a moment holds a state for the picture); only the idle text, which
// a shown screen passes at once, and a download's fraction are drawn
// directly. With VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot does)
// each state is written there as a PNG.
#include "app/AppTestSupport.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"
#include "support/LookTestSupport.h"
#include "support/UpdateFixtures.h"
#include "views/AppDetailView.h"
#include "views/UpdateStatusBlock.h"
#include "views/UpdatesView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
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
    // Nothing answers there.
    const QString closedFeed = QStringLiteral("http://127.0.0.1:%1/feed.json").arg(freePort());

    QPushButton* button(const char* name) { return child<QPushButton>(*view, name); }

    QString statusText() { return child<QLabel>(*view, "updateStatusText")->text(); }

    void shoot(const QString& name, bool dark = false) {
        view->setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        QVERIFY(!shootWindow(*view, "updates-" + name).isNull());
    }

    // The buttons wait while anything is under way; "Download & install"
    // is there only while an update is available.
    void awaitStatus(const Status& status) {
        QTRY_COMPARE_WITH_TIMEOUT(view->updates().status(), status, settle);
        QCOMPARE(button("checkForUpdates")->isEnabled(), !status.isBusy());
        QCOMPARE(button("downloadAndInstall")->isVisible(), status.is<Status::Available>());
    }

    void serveFeed(const QString& version, const QByteArray& archive) {
        const QString sha = UpdateFixtures::sha256Hex(archive);
        host->setResponse("/feed.json",
                          HttpResponse{200, UpdateFixtures::feedJson(
                                                version, host->url("/r.tar.gz").toString(), sha,
                                                key.sign(sha), "Faster verse search.")});
    }

private Q_SLOTS:
    // An earlier update is installed, so an installation leaves one to go
    // back to.
    void initTestCase() {
        AppTest::prepareFirstLaunch(tree, port);
        writeFile(ApplicationSupport::path("runtime/current/apps/server/dist/index.js"), "//");
        writeFile(ApplicationSupport::path("runtime/current/runtime-version.json"),
                  R"({"version": "1.4.2"})");
        host = std::make_unique<HttpTestServer>();
        QVERIFY(ApplicationSupport::saveUpdateFeedURL(closedFeed));
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

    // The Updates tab, and only it, shows this screen.
    void onlyTheUpdatesTab() {
        for (const AppTab tab : AppTabs::all()) {
            const std::unique_ptr<QWidget> screen(AppDetailView::makeScreen(tab, *app, nullptr));
            QCOMPARE(qobject_cast<UpdatesView*>(screen.get()) != nullptr, tab == AppTab::updates);
        }
    }

    // Showing the screen checks at once; a check saves the address typed.
    void checks() {
        view->show();
        awaitStatus(Status::Checking{});
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        awaitStatus(Status::Failed{"Connection refused"});
        QVERIFY(!button("rollBackRuntime")->isVisible());
        QCOMPARE(statusText(), "Connection refused");
        shoot("failed");
        child<UpdateStatusBlock>(*view, "updateStatusBlock")->render(Status::Idle{});
        shoot("idle");

        serveFeed("0.0.0", "x");
        auto* field = child<QLineEdit>(*view, "feedURL");
        field->selectAll();
        QTest::keyClicks(field, host->url("/feed.json").toString());
        button("checkForUpdates")->click();
        awaitStatus(Status::UpToDate{});
        QCOMPARE(ApplicationSupport::loadUpdateFeedURL(), host->url("/feed.json"));
        shoot("up-to-date");
    }

    // The runtime it replaced is then offered to go back to.
    void installation() {
        const QByteArray archive =
            UpdateFixtures::runtimeArchive("2.4.0", readFile(ExternalServer::fixtureScript()));
        serveFeed("2.4.0", archive);
        HttpResponse late{200, archive};
        late.delayMs = 1500;
        host->setResponse("/r.tar.gz", late);
        view->updates().checkForUpdates();
        awaitStatus(Status::Available{"2.4.0", "Faster verse search."});
        QCOMPARE(statusText(), "Runtime 2.4.0 available");
        shoot("available");
        shoot("available-dark", true);

        button("downloadAndInstall")->click();
        awaitStatus(Status::Downloading{});
        child<UpdateStatusBlock>(*view, "updateStatusBlock")->render(Status::Downloading{0.62});
        shoot("downloading");
        awaitStatus(Status::Installed{"2.4.0"});
        shoot("installed");
        QVERIFY(button("rollBackRuntime")->isVisible());
        QCOMPARE(button("rollBackRuntime")->text(), "Roll back to runtime 1.4.2");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestUpdatesLook)
#include "tst_updates_look_xvfb.moc"
