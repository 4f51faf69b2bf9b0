// The Settings tab as an operator sees it, on a real X display with a
// private keyring and a fake API.Bible on 127.0.0.1: before and after the
// credentials are saved, during a key test, during an import and after a
// failed one. With VESPERLINE_SCREENSHOT_DIR set, each state is written there
// as a PNG to look at.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "support/FakeApiBible.h"
#include "support/GuiTestMain.h"
#include "views/ApiBiblePanel.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace TestSupport;
using AppTest::InstallTree;

class TestSettingsLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    std::unique_ptr<FakeApiBible> api;
    int port = 0;
    QString outputDir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }
    template <typename T = QWidget> T* find(const char* name) { return child<T>(window(), name); }

    void shoot(const QString& name) {
        QApplication::processEvents();
        const QImage image = window().grab().toImage();
        QVERIFY(!image.isNull());
        if (!outputDir.isEmpty()) {
            QDir().mkpath(outputDir);
            image.save(outputDir + "/settings-" + name + ".png");
        }
    }

    void showSettings(const InstallTree& install) {
        AppViewModel::Environment environment = install.environment();
        environment.importRequestDelayMs = 0;
        vesperline = std::make_unique<VesperlineApp>(environment);
        window().resize(1100, 860);
        vesperline->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
        app().setSelectedTab(AppTab::settings);
        QTRY_VERIFY(window().findChild<QWidget*>("settings"));
    }

    void saveCredentials() {
        find<QLineEdit>("apiKeyField")->setText("sk-look-0123456789abcdef");
        find<QLineEdit>("bibleIdField")->setText(FakeApiBible::bibleId);
        find<QPushButton>("saveCredentials")->click();
        QCOMPARE(app().nkjvImportError(), std::nullopt);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        api = freshApiBible();
    }

    void cleanup() {
        if (vesperline) {
            window().close();
            AppTest::tearDown(app(), vesperline);
        }
    }

    void beforeAndAfterTheCredentialsAndDuringAKeyTest() {
        showSettings(*tree);
        QVERIFY(!find<QPushButton>("importNkjv")->isEnabled());
        QCOMPARE(find<QLabel>("importBlockedReason")->text(),
                 QStringLiteral("Add your API.Bible key and NKJV Bible ID in Settings first."));
        shoot("without-credentials");
        saveCredentials();
        QVERIFY(find<QPushButton>("importNkjv")->isEnabled());
        QVERIFY(find<QLabel>("savedNote")->isVisible());
        shoot("with-credentials");

        HttpResponse slow(200, R"({"data":[{"id":"a"}]})");
        slow.delayMs = 3000;
        api->server().setResponse("/v1/bibles", slow);
        find<QPushButton>("testApiKey")->click();
        QCOMPARE(find<QPushButton>("testApiKey")->text(), QStringLiteral("Testing…"));
        shoot("testing-key");
        QTRY_VERIFY_WITH_TIMEOUT(
            find<QLabel>("testMessage")->text().startsWith(ApiBiblePanel::validKeyPrefix), 10000);
        shoot("key-valid");
    }

    void duringAnImportAndAfterAFailure() {
        tree = InstallTree::withStagedRuntime();
        if (!tree)
            QSKIP("No staged runtime under build/stage: run `make stage`.");
        showSettings(*tree);
        saveCredentials();
        HttpResponse silent;
        silent.neverAnswer = true;
        api->server().setResponse(FakeApiBible::chapterPath("JHN"), silent);
        find<QPushButton>("importNkjv")->click();
        QTRY_COMPARE_WITH_TIMEOUT(app().importProgress().book, 43, 30000);
        auto* bar = find<QProgressBar>("importProgress");
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 66);
        QCOMPARE(bar->value(), 42);
        QCOMPARE(find<QLabel>("importProgressText")->text(),
                 QStringLiteral("Fetching John — book 43 of 66"));
        QCOMPARE(find<QPushButton>("importNkjv")->text(),
                 QStringLiteral("Importing licensed translation…"));
        QVERIFY(!find<QPushButton>("importNkjv")->isEnabled());
        shoot("importing");

        find<QPushButton>("cancelImport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!app().isImporting(), 10000);
        QVERIFY(!bar->isVisible());
        QCOMPARE(find<QLabel>("importError")->text(), QStringLiteral("NKJV import cancelled."));
        shoot("import-cancelled");

        api->server().setResponse(FakeApiBible::chapterPath("JHN"), HttpResponse(403));
        find<QPushButton>("importNkjv")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!app().isImporting(), 30000);
        QCOMPARE(find<QLabel>("importError")->text(),
                 QStringLiteral("Your API.Bible plan may not include NKJV (403). Use WEB or "
                                "upgrade your plan."));
        QVERIFY(find<QLabel>("importError")->isVisible());
        shoot("import-failed");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestSettingsLook)
#include "tst_settings_look_xvfb.moc"
