// The Settings tab as an operator sees it, on a real X display with a
// private keyring and a fake API.Bible on 127.0.0.1: its rules, and the
// states to look at, before the credentials are saved, after a key test,
// during an import and after a failed one. With
// VESPERLINE_SCREENSHOT_DIR set, each state is written there as a PNG.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "services/KeyringHelper.h"
#include "support/FakeApiBible.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/ApiBiblePanel.h"
#include "views/SemanticColors.h"

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

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }
    template <typename T = QWidget> T* find(const char* name) { return child<T>(window(), name); }

    void type(const char* field, const QString& text) {
        QLineEdit* edit = find<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    void shoot(const QString& name) {
        QVERIFY(!shootWindow(window(), "settings-" + name).isNull());
    }

    void showSettings(const InstallTree& install, bool node = true) {
        AppViewModel::Environment environment = install.environment(node);
        environment.importRequestDelayMs = 0;
        vesperline = std::make_unique<VesperlineApp>(environment);
        window().resize(1100, 860);
        vesperline->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
        app().setSelectedTab(AppTab::settings);
        QTRY_VERIFY(window().findChild<QWidget*>("settings"));
    }

    void close() {
        if (!vesperline)
            return;
        window().close();
        AppTest::tearDown(app(), vesperline);
    }

    void saveCredentials() {
        type("apiKeyField", "sk-look-0123456789abcdef");
        type("bibleIdField", FakeApiBible::bibleId);
        find<QPushButton>("saveCredentials")->click();
        QCOMPARE(app().nkjvImportError(), std::nullopt);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        api = freshApiBible();
    }

    void cleanup() { close(); }

    // Without Node.js the row offers the download; a port outside the user
    // range, or no number, is put back. Import is offered only with both
    // credentials and Node.js; a valid key shows in green. Clearing the key
    // forgets it.
    void portNodeCredentialsTheKeyTestAndClearing() {
        showSettings(*tree, false);
        QCOMPARE(find<QLabel>("nodeValue")->text(), QStringLiteral("Not found"));
        QVERIFY(find("nodeInstallLink")->isVisible());
        QLineEdit* field = find<QLineEdit>("portField");
        QCOMPARE(field->text(), QString::number(port));
        for (const char* refused : {"80a", "1023", "65536", " 4000"}) {
            type("portField", refused);
            find<QPushButton>("applyPort")->click();
            QCOMPARE(field->text(), QString::number(port));
        }
        QCOMPARE(app().server().port(), port);
        port = freePort();
        type("portField", QString::number(port));
        find<QPushButton>("applyPort")->click();
        QCOMPARE(app().server().port(), port);

        auto* import = find<QPushButton>("importNkjv");
        auto* blocked = find<QLabel>("importBlockedReason");
        const QString needsCredentials =
            QStringLiteral("Add your API.Bible key and NKJV Bible ID in Settings first.");
        QVERIFY(!import->isEnabled());
        QCOMPARE(blocked->text(), needsCredentials);
        shoot("without-credentials");

        type("apiKeyField", "sk-view");
        find<QPushButton>("saveCredentials")->click();
        QCOMPARE(app().nkjvImportError(),
                 QStringLiteral("API key and Bible ID are both required."));
        saveCredentials();
        QCOMPARE(blocked->text(), QStringLiteral("Node.js is required to run the import."));

        auto* message = find<QLabel>("testMessage");
        find<QPushButton>("testApiKey")->click();
        QTRY_VERIFY_WITH_TIMEOUT(message->text().startsWith(ApiBiblePanel::validKeyPrefix), 10000);
        QCOMPARE(message->palette().color(QPalette::WindowText),
                 SemanticColors::tone(SemanticColors::Tone::green, window().palette()));
        shoot("key-valid");

        // The Bible ID kept for the field to offer again is
        // tst_keyringhelper_keyring's.
        find<QPushButton>("clearKey")->click();
        QVERIFY(find<QLineEdit>("apiKeyField")->text().isEmpty());
        QCOMPARE(KeyringHelper::load(KeyringHelper::Key::apiKey), std::nullopt);
        QCOMPARE(blocked->text(), needsCredentials);
    }

    void duringAnImportAndAfterAFailure() {
        tree = InstallTree::withStagedRuntime();
        if (!tree)
            QSKIP("No staged runtime under build/stage: run `make stage`.");
        showSettings(*tree);
        saveCredentials();
        // John is refused after a while: long enough to look at the import.
        HttpResponse refused(403);
        refused.delayMs = 5000;
        api->server().setResponse(FakeApiBible::chapterPath("JHN"), refused);
        find<QPushButton>("importNkjv")->click();
        QTRY_COMPARE_WITH_TIMEOUT(app().importProgress().book, 43, 30000);
        auto* bar = find<QProgressBar>("importProgress");
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->value(), 42);
        QCOMPARE(find<QLabel>("importProgressText")->text(),
                 QStringLiteral("Fetching John — book 43 of 66"));
        QCOMPARE(find<QPushButton>("importNkjv")->text(),
                 QStringLiteral("Importing licensed translation…"));
        QVERIFY(!find<QPushButton>("importNkjv")->isEnabled());
        shoot("importing");

        QTRY_VERIFY_WITH_TIMEOUT(!app().isImporting(), 30000);
        QVERIFY(!bar->isVisible());
        QCOMPARE(find<QLabel>("importError")->text(),
                 QStringLiteral("Your API.Bible plan may not include NKJV (403). Use WEB or "
                                "upgrade your plan."));
        QVERIFY(find<QLabel>("importError")->isVisible());
        shoot("import-failed");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestSettingsLook)
#include "tst_settings_look_xvfb.moc"
