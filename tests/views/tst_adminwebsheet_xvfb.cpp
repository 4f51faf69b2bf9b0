// The web admin sheet with a real web view over the real runtime: the
// screens load no web engine until the sheet opens, and however the sheet is
// closed, what the web admin may have changed is read back.
#include "app/StagedServerSupport.h"
#include "support/GuiTestMain.h"
#include "views/AdminView.h"
#include "views/AdminWebSheet.h"
#include "views/AdminWebView.h"
#include "views/ThemesView.h"

#include <QListView>
#include <QPushButton>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

bool webEngineLoaded() {
    return readFile(QStringLiteral("/proc/self/maps")).contains("libQt6WebEngineCore");
}

bool hasTheme(const AppViewModel& app, const QString& id) {
    const auto& config = app.themesConfig();
    return config && std::any_of(config->themes.begin(), config->themes.end(),
                                 [&](const Theme& theme) { return theme.id == id; });
}

constexpr char editedThemes[] = R"({"defaultThemeId": "evening", "themes": [
  {"id": "lowerThird", "layout": "lowerThird", "name": "Lower third"},
  {"id": "evening", "layout": "center", "name": "Evening"}]})";

} // namespace

class TestAdminWebSheet : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<QWidget> screen;

    template <typename View> View& open() {
        auto* view = new View(*app);
        screen.reset(view);
        view->resize(900, 900);
        view->show();
        if (!QTest::qWaitForWindowExposed(view))
            qFatal("the screen never showed");
        return *view;
    }

    // Waits until the sheet shows the server's page.
    static bool pageShown(AdminWebSheet* sheet) {
        return sheet &&
               QTest::qWaitFor([&] { return sheet->webView().hasShownPage(); }, slowSettle);
    }

private Q_SLOTS:
    void init() {
        tree = StagedServer::firstLaunch();
        if (!tree)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        app = std::make_unique<AppViewModel>(tree->environment());
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(*app), settle);
        QVERIFY(StagedServer::start(*app));
    }

    void cleanup() {
        screen.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    void doneOrReturnReadsBackBookmarksThemesAndTranslations() {
        AdminView& view = open<AdminView>();
        QVERIFY2(!webEngineLoaded(), "a screen loaded the web engine before any sheet opened");
        auto* button = child<QPushButton>(view, "advancedWebAdmin");
        QTRY_VERIFY(button->isEnabled());
        button->click();
        AdminWebSheet* sheet = view.webAdminSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowTitle(), QString("Web admin"));
        QVERIFY(sheet->width() >= 900 && sheet->height() >= 640);
        QCOMPARE(sheet->webView().url(),
                 QUrl(QString("http://127.0.0.1:%1/admin").arg(app->server().port())));
        QVERIFY(pageShown(sheet));
        QVERIFY(webEngineLoaded());

        // What an edit in the web admin leaves on the server.
        const int port = app->server().port();
        QCOMPARE(StagedServer::send(port, "PUT", "/api/bookmarks",
                                    R"({"bookmarks": [{"book": "Psalms", "chapter": 23, )"
                                    R"("id": "ps23", "label": "Psalm 23", "verseStart": 1}]})"),
                 200);
        QCOMPARE(StagedServer::send(port, "PUT", "/api/themes", editedThemes), 200);
        QVERIFY(StagedServer::installSecondTranslation());
        QCOMPARE(StagedServer::send(port, "PUT", "/api/translations",
                                    R"({"primaryId": "bible.sqlite", )"
                                    R"("secondaryId": "bible.web.sqlite"})"),
                 200);
        QVERIFY(!hasTheme(*app, "evening"));

        QTest::keyClick(sheet, Qt::Key_Return);
        QTRY_VERIFY(!view.webAdminSheet());
        QTRY_VERIFY_WITH_TIMEOUT(app->translationsPayload() &&
                                     app->translationsPayload()->secondary.has_value(),
                                 settle);
        QCOMPARE(app->bookmarks().size(), size_t(1));
        QCOMPARE(app->bookmarks().front().id, QString("ps23"));
        QVERIFY(hasTheme(*app, "evening"));
    }

    void closingTheThemeAdminReloadsTheThemes() {
        ThemesView& view = open<ThemesView>();
        auto* button = child<QPushButton>(view, "advancedEditor");
        QTRY_VERIFY(button->isEnabled());
        button->click();
        AdminWebSheet* sheet = view.adminSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowTitle(), QString("Theme admin"));
        QVERIFY(pageShown(sheet));

        QCOMPARE(StagedServer::send(app->server().port(), "PUT", "/api/themes", editedThemes), 200);
        const QAbstractItemModel& rows = *child<QListView>(view, "themeList")->model();
        QCOMPARE(rows.rowCount(), 3);
        child<QPushButton>(*sheet, "done")->click();
        QTRY_COMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.index(1, 0).data().toString(), QString("Evening"));
        QVERIFY(!view.adminSheet());
    }
};

VESPERLINE_GUI_TEST_MAIN(TestAdminWebSheet)
#include "tst_adminwebsheet_xvfb.moc"
