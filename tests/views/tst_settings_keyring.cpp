// The Settings screen's rules, on the offscreen platform with a private
// keyring and a fake API.Bible on 127.0.0.1.
#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/KeyringHelper.h"
#include "services/ServerManager.h"
#include "support/FakeApiBible.h"
#include "support/GuiTestMain.h"
#include "views/SemanticColors.h"
#include "views/SettingsView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;
using AppTest::InstallTree;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

bool shown(QWidget* widget) {
    return widget->isVisibleTo(widget->window());
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<SettingsView> view;
    std::unique_ptr<FakeApiBible> api;
    int port = 0;

    SettingsView& open(bool node = true) {
        app = std::make_unique<AppViewModel>(tree->environment(node));
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        app->setSelectedTab(AppTab::settings);
        view = std::make_unique<SettingsView>(*app);
        view->resize(800, 1600);
        view->show();
        return *view;
    }

    template <typename T = QWidget> T* find(const char* name) { return child<T>(*view, name); }

    void type(const char* field, const QString& text) {
        QLineEdit* edit = find<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        api = freshApiBible();
    }

    void cleanup() {
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    void portsOutsideTheUserRangeAreRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("port");
        QTest::newRow("1023") << "1023" << std::optional<int>();
        QTest::newRow("1024") << "1024" << std::optional(1024);
        QTest::newRow("65535") << "65535" << std::optional(65535);
        QTest::newRow("65536") << "65536" << std::optional<int>();
        QTest::newRow("80a") << "80a" << std::optional<int>();
        QTest::newRow("signed") << "+4000" << std::optional(4000);
        QTest::newRow("empty") << "" << std::optional<int>();
        QTest::newRow("space") << " 4000" << std::optional<int>();
    }

    void portsOutsideTheUserRangeAreRefused() {
        QFETCH(QString, text);
        QTEST(SettingsView::parsePort(text), "port");
    }

    void applyMovesTheServerOrPutsThePortBack() {
        open();
        QLineEdit* field = find<QLineEdit>("portField");
        QCOMPARE(field->text(), QString::number(port));
        type("portField", "80a");
        find<QPushButton>("applyPort")->click();
        QCOMPARE(field->text(), QString::number(port));
        QCOMPARE(app->server().port(), port);

        const int other = freePort();
        type("portField", QString::number(other));
        find<QPushButton>("applyPort")->click();
        QCOMPARE(app->server().port(), other);
    }

    void nodeRowOffersTheDownloadOnlyWhenNothingIsBundled() {
        open(false);
        QCOMPARE(find<QLabel>("nodeValue")->text(), QStringLiteral("Not found"));
        QVERIFY(!app->isSelfContained());
        QVERIFY(shown(find("nodeInstallLink")));
        view.reset();
        AppTest::tearDown(*app, app);

        tree = InstallTree::withFixtureRuntime(true);
        open(false);
        QVERIFY(app->isSelfContained());
        QCOMPARE(find<QLabel>("nodeValue")->text(), QStringLiteral("Not found"));
        QVERIFY(!shown(find("nodeInstallLink")));
    }

    void importIsOfferedOnlyWithCredentialsNodeAndAStoppedServer() {
        open();
        auto* import = find<QPushButton>("importNkjv");
        QCOMPARE(import->text(), QStringLiteral("Import NKJV (licensed)"));
        QVERIFY(!import->isEnabled());

        type("apiKeyField", "sk-view");
        find<QPushButton>("saveCredentials")->click();
        QCOMPARE(app->nkjvImportError(), QStringLiteral("API key and Bible ID are both required."));
        QVERIFY(shown(find("importError")));
        type("bibleIdField", FakeApiBible::bibleId);
        find<QPushButton>("saveCredentials")->click();
        QCOMPARE(app->nkjvImportError(), std::nullopt);
        QVERIFY(shown(find("savedNote")));
        QVERIFY(import->isEnabled());

        app->server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QVERIFY(!import->isEnabled());
    }

    void clearKeyForgetsTheKeyButTheIdComesBack() {
        open();
        type("apiKeyField", "sk-view");
        type("bibleIdField", "bible-9");
        find<QPushButton>("saveCredentials")->click();
        QVERIFY(KeyringHelper::hasCredentials());

        find<QPushButton>("clearKey")->click();
        QVERIFY(find<QLineEdit>("apiKeyField")->text().isEmpty());
        QVERIFY(find<QLineEdit>("bibleIdField")->text().isEmpty());
        QCOMPARE(KeyringHelper::load(KeyringHelper::Key::apiKey), std::nullopt);
        QVERIFY(!QFile::exists(ApplicationSupport::path("import.env")));

        app->setSelectedTab(AppTab::dashboard);
        app->setSelectedTab(AppTab::settings);
        QCOMPARE(find<QLineEdit>("bibleIdField")->text(), QStringLiteral("bible-9"));
        QVERIFY(find<QLineEdit>("apiKeyField")->text().isEmpty());
        QVERIFY(!find<QPushButton>("importNkjv")->isEnabled());
    }

    void theKeyTestSaysValidInGreenAndTheRestQuietly() {
        open();
        auto* message = find<QLabel>("testMessage");
        auto* button = find<QPushButton>("testApiKey");
        QVERIFY(!shown(message));
        type("apiKeyField", "sk-view");
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Testing…"));
        QVERIFY(!button->isEnabled());
        QTRY_COMPARE(button->text(), QStringLiteral("Test API key"));
        QCOMPARE(message->text(), QStringLiteral("API key is valid (1 Bibles on your account)."));
        const QPalette palette = view->palette();
        QCOMPARE(message->palette().color(QPalette::WindowText),
                 SemanticColors::tone(SemanticColors::Tone::green, palette));

        api->server().setResponse("/v1/bibles", HttpResponse(401));
        button->click();
        QTRY_COMPARE(message->text(),
                     QStringLiteral("Invalid API key (401). Check the keyring or paste again."));
        QCOMPARE(message->palette().color(QPalette::WindowText),
                 SemanticColors::secondaryLabel(palette));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestSettings)
#include "tst_settings_keyring.moc"
