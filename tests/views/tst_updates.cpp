#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"
#include "support/UpdateFixtures.h"
#include "views/AppDetailView.h"
#include "views/UpdatesView.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace TestSupport;
using AppTest::InstallTree;
using Status = RuntimeUpdateService::Status;

class TestUpdates : public QObject {
    Q_OBJECT

    UpdateFixtures::SigningKey key;
    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<UpdatesView> view;
    std::unique_ptr<HttpTestServer> host;
    int port = 0;

    void show() {
        app = std::make_unique<AppViewModel>(tree->environment());
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
        view = std::make_unique<UpdatesView>(*app,
                                             RuntimeUpdateService::Options{key.publicKeyBase64()});
        view->show();
    }

    QPushButton* button(const char* name) { return child<QPushButton>(*view, name); }
    QString statusText() { return child<QLabel>(*view, "updateStatusText")->text(); }
    bool progressShown() { return child<QProgressBar>(*view, "updateProgress")->isVisible(); }
    void awaitIdleService() {
        QTRY_COMPARE_WITH_TIMEOUT(view->updates().pendingOperations(), 0, slowSettle);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        host = std::make_unique<HttpTestServer>();
        QVERIFY(ApplicationSupport::saveUpdateFeedURL(host->url("/feed.json").toString()));
    }

    void cleanup() {
        if (view)
            awaitIdleService();
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    // Showing the screen checks at once; an unreachable feed ends in the red
    // failure row and the check can be tried again.
    void unreachableFeed() {
        const QString closed = QStringLiteral("http://127.0.0.1:%1/feed.json").arg(freePort());
        QVERIFY(ApplicationSupport::saveUpdateFeedURL(closed));
        show();
        QVERIFY(progressShown());
        QCOMPARE(child<QLabel>(*view, "updateProgressLabel")->text(), "Checking…");
        QVERIFY(!button("checkForUpdates")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(view->updates().status().is<Status::Failed>(), settle);
        QCOMPARE(statusText(), "Connection refused");
        QVERIFY(!progressShown());
        QVERIFY(button("checkForUpdates")->isEnabled());
        QVERIFY(!button("downloadAndInstall")->isVisible());
        QVERIFY(!button("rollBackRuntime")->isVisible());
        QCOMPARE(child<QLabel>(*view, "runtimeSource")->text(), "Bundled in app");
    }

    // An unsaved address is saved by the check; hidden and shown again
    // without a check, the screen shows the saved one.
    void feedAddressEditing() {
        host->setResponse("/feed.json", HttpResponse{404});
        show();
        awaitIdleService();
        auto* field = child<QLineEdit>(*view, "feedURL");
        QCOMPARE(field->text(), host->url("/feed.json").toString());
        field->selectAll();
        QTest::keyClicks(field, host->url("/other.json").toString());
        view->hide();
        view->show();
        QCOMPARE(field->text(), host->url("/feed.json").toString());
        awaitIdleService();

        field->selectAll();
        QTest::keyClicks(field, host->url("/other.json").toString());
        button("checkForUpdates")->click();
        awaitIdleService();
        QCOMPARE(ApplicationSupport::loadUpdateFeedURL(), host->url("/other.json"));
        QCOMPARE(host->hits("/other.json"), 1);
        QCOMPARE(statusText(), "Update feed HTTP 404.");
    }

    // The Updates tab, and only it, shows this screen.
    void onlyTheUpdatesTab() {
        app = std::make_unique<AppViewModel>(tree->environment());
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
        for (const AppTab tab : AppTabs::all()) {
            const std::unique_ptr<QWidget> screen(AppDetailView::makeScreen(tab, *app, nullptr));
            QCOMPARE(qobject_cast<UpdatesView*>(screen.get()) != nullptr, tab == AppTab::updates);
        }
    }

    // With a runtime to go back to, the screen offers it by its version.
    void rollBackOffer() {
        writeFile(ApplicationSupport::path("runtime/current/apps/server/dist/index.js"), "//");
        writeFile(ApplicationSupport::path("runtime/previous/apps/server/dist/index.js"), "//");
        writeFile(ApplicationSupport::path("runtime/previous/runtime-version.json"),
                  R"({"version": "1.4.2"})");
        host->setResponse("/feed.json", HttpResponse{404});
        show();
        awaitIdleService();
        QVERIFY(button("rollBackRuntime")->isVisible());
        QCOMPARE(button("rollBackRuntime")->text(), "Roll back to runtime 1.4.2");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestUpdates)
#include "tst_updates.moc"
