// The Themes and Admin tabs as a person sees them, on a real X display and
// over the real runtime: stopped, running with two Bibles, and with the web
// admin sheets open. With VESPERLINE_SCREENSHOT_DIR set (scripts/
// screenshot does) each state is also written there as a PNG to look at.
// The sheets' real web view also shows that no screen loads the web engine
// before a sheet opens, and that however a sheet is closed, what the web
// admin may have changed is read back.
#include "app/MainWindow.h"
#include "app/StagedServerSupport.h"
#include "app/VesperlineApp.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/AdminView.h"
#include "views/AdminWebSheet.h"
#include "views/AdminWebView.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/ThemeListModel.h"
#include "views/ThemesView.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSet>
#include <QStyle>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

// How green a colour is beside its red and blue.
int greenness(const QColor& color) {
    return color.green() - std::max(color.red(), color.blue());
}

int distinctColors(const QImage& image, const QRect& rect) {
    const qreal ratio = image.devicePixelRatio();
    const QRect area(rect.topLeft() * ratio, rect.size() * ratio);
    QSet<QRgb> colors;
    for (int y = area.top(); y <= area.bottom(); y += 3)
        for (int x = area.left(); x <= area.right(); x += 3)
            colors.insert(image.pixel(x, y));
    return colors.size();
}

bool webEngineLoaded() {
    return readFile(QStringLiteral("/proc/self/maps")).contains("libQt6WebEngineCore");
}

} // namespace

class TestThemesAdminLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    // The window as it is, and once more in the dark; the first comes back.
    QImage shootLightAndDark(const QString& name) {
        const QImage light = shootWindow(window(), name);
        QApplication::setPalette(darkPalette());
        shootWindow(window(), name + "-dark");
        QApplication::setPalette(QApplication::style()->standardPalette());
        return light;
    }

    template <typename View> View& showTab(AppTab tab) {
        app().setSelectedTab(tab);
        QApplication::processEvents();
        auto* view = qobject_cast<View*>(window().content().detail().screen());
        if (!view)
            qFatal("the tab shows another screen");
        return *view;
    }

    // The sheet, shot once its page shows. The page's own requests come
    // after its load: shot once it has painted something besides its
    // background and stopped changing.
    void shootSheet(AdminWebSheet& sheet, const QString& name) {
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTRY_VERIFY_WITH_TIMEOUT(sheet.webView().hasShownPage(), slowSettle);
        const QRect page = sheet.webView().geometry();
        QImage last;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QImage now = sheet.grab().toImage();
                const bool settled = now == last && distinctColors(now, page) > 4;
                last = now;
                return settled;
            }(),
            settle);
        keepScreenshot(last, name);
    }

private Q_SLOTS:
    void init() {
        tree = InstallTree::withStagedRuntime();
        if (!tree)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        AppTest::resetUserData();
        QVERIFY(Preferences::setInteger("serverPort", freePort()).ok());
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
        window().resize(1000, 760);
        vesperline->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
    }

    void cleanup() {
        if (!vesperline)
            return;
        window().close();
        AppTest::tearDown(app(), vesperline);
    }

    void stoppedThenRunningWithTwoBiblesThenTheSheets() {
        ThemesView& themes = showTab<ThemesView>(AppTab::themes);
        QTRY_VERIFY(app().themesConfig().has_value());
        shootWindow(window(), "themes-stopped");
        showTab<AdminView>(AppTab::admin);
        shootWindow(window(), "admin-stopped");

        QVERIFY(StagedServer::start(app()));
        showTab<ThemesView>(AppTab::themes);
        auto* list = child<QListView>(themes, "themeList");
        QTRY_COMPARE(list->model()->index(0, 0).data(ThemeListModel::liveRole).toBool(), true);
        const QImage running = shootLightAndDark("themes-running");
        // The badge of the live row is drawn green at the row's right end.
        const QRect row = list->visualRect(list->model()->index(0, 0));
        const QPoint badge =
            list->viewport()->mapTo(&window(), QPoint(row.right() - 6, row.center().y()));
        QVERIFY2(greenness(running.pixelColor(badge * running.devicePixelRatio())) > 8,
                 qPrintable(running.pixelColor(badge).name()));

        AdminView& admin = showTab<AdminView>(AppTab::admin);
        const int port = app().server().port();
        QVERIFY(StagedServer::installSecondTranslation());
        QCOMPARE(StagedServer::send(port, "PUT", "/api/translations",
                                    R"({"primaryId": "bible.sqlite", )"
                                    R"("secondaryId": "bible.web.sqlite"})"),
                 200);
        app().reloadTranslations();
        QTRY_VERIFY(child<QLabel>(admin, "compareAvailable")->isVisible());
        shootLightAndDark("admin-two-bibles");

        QVERIFY2(!webEngineLoaded(), "a screen loaded the web engine before any sheet opened");
        child<QPushButton>(admin, "advancedWebAdmin")->click();
        AdminWebSheet* sheet = admin.webAdminSheet();
        QVERIFY(sheet);
        shootSheet(*sheet, "web-admin-sheet");
        QVERIFY(webEngineLoaded());
        QCOMPARE(sheet->webView().url(), QUrl(QString("http://127.0.0.1:%1/admin").arg(port)));
        // What an edit in the web admin leaves on the server.
        QCOMPARE(StagedServer::send(port, "PUT", "/api/bookmarks",
                                    R"({"bookmarks": [{"book": "Psalms", "chapter": 23, )"
                                    R"("id": "ps23", "label": "Psalm 23", "verseStart": 1}]})"),
                 200);
        QCOMPARE(
            StagedServer::send(port, "PUT", "/api/themes",
                               R"({"defaultThemeId": "evening", "themes": [)"
                               R"({"id": "lowerThird", "layout": "lowerThird", )"
                               R"("name": "Lower third"},)"
                               R"({"id": "evening", "layout": "center", "name": "Evening"}]})"),
            200);
        QCOMPARE(StagedServer::send(port, "PUT", "/api/translations",
                                    R"({"primaryId": "bible.sqlite"})"),
                 200);
        QCOMPARE(app().themesConfig()->themes.size(), size_t(3));
        QTest::keyClick(sheet, Qt::Key_Return);
        QTRY_VERIFY(!admin.webAdminSheet());
        QTRY_VERIFY_WITH_TIMEOUT(app().translationsPayload() &&
                                     !app().translationsPayload()->secondary.has_value(),
                                 settle);
        QCOMPARE(app().bookmarks().front().id, QString("ps23"));
        QCOMPARE(app().themesConfig()->themes.size(), size_t(2));

        showTab<ThemesView>(AppTab::themes);
        child<QPushButton>(themes, "advancedEditor")->click();
        sheet = themes.adminSheet();
        QVERIFY(sheet);
        shootSheet(*sheet, "theme-admin-sheet");
        QCOMPARE(
            StagedServer::send(port, "PUT", "/api/themes",
                               R"({"defaultThemeId": "evening", "themes": [)"
                               R"({"id": "evening", "layout": "center", "name": "Evening"}]})"),
            200);
        QCOMPARE(list->model()->rowCount(), 2);
        child<QPushButton>(*sheet, "done")->click();
        QTRY_COMPARE(list->model()->rowCount(), 1);
        QVERIFY(!themes.adminSheet());
    }
};

VESPERLINE_GUI_TEST_MAIN(TestThemesAdminLook)
#include "tst_themesadmin_look_xvfb.moc"
