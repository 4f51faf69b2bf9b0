// The Themes and Admin tabs as a person sees them, on a real X display and
// over the real runtime: stopped, running, with one and two Bibles, and with
// the web admin sheet open. With VESPERLINE_SCREENSHOT_DIR set (scripts/
// screenshot does) each state is also written there as a PNG to look at.
#include "app/MainWindow.h"
#include "app/StagedServerSupport.h"
#include "app/VesperlineApp.h"
#include "support/GuiTestMain.h"
#include "views/AdminView.h"
#include "views/AdminWebSheet.h"
#include "views/AdminWebView.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/ThemeListModel.h"
#include "views/ThemesView.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
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

// Light text on dark grey, as a desktop's dark theme sets it.
QPalette darkPalette() {
    QPalette p(QColor(0x38, 0x38, 0x3c), QColor(0x2b, 0x2b, 0x2e));
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    return p;
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

} // namespace

class TestThemesAdminLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    QString outputDir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    // The window as it is, and once more in the dark; the first comes back.
    QImage shootLightAndDark(const QString& name) {
        const QImage light = shoot(window(), name);
        QApplication::setPalette(darkPalette());
        shoot(window(), name + "-dark");
        QApplication::setPalette(QApplication::style()->standardPalette());
        return light;
    }

    QImage shoot(QWidget& widget, const QString& name) {
        QApplication::processEvents();
        const QImage image = widget.grab().toImage();
        if (!outputDir.isEmpty()) {
            QDir().mkpath(outputDir);
            image.save(outputDir + "/" + name + ".png");
        }
        return image;
    }

    template <typename View> View& showTab(AppTab tab) {
        app().setSelectedTab(tab);
        QApplication::processEvents();
        auto* view = qobject_cast<View*>(window().content().detail().screen());
        if (!view)
            qFatal("the tab shows another screen");
        return *view;
    }

    // The sheet of `View`, opened through its button and shot once its page shows.
    template <typename View>
    void shootSheet(View& view, const char* button, AdminWebSheet* (View::*sheet)() const,
                    const QString& name) {
        child<QPushButton>(view, button)->click();
        AdminWebSheet* open = (view.*sheet)();
        QVERIFY(open);
        QVERIFY(QTest::qWaitForWindowExposed(open));
        QTRY_VERIFY_WITH_TIMEOUT(open->webView().hasShownPage(), slowSettle);
        // The page's own requests come after its load: shot once it has
        // painted something besides its background and stopped changing.
        const QRect page = open->webView().geometry();
        QImage last;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QImage now = open->grab().toImage();
                const bool settled = now == last && distinctColors(now, page) > 4;
                last = now;
                return settled;
            }(),
            settle);
        shoot(*open, name);
        child<QPushButton>(*open, "done")->click();
        QTRY_VERIFY(!(view.*sheet)());
    }

private Q_SLOTS:
    void init() {
        tree = StagedServer::firstLaunch();
        if (!tree)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
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

    void stoppedThenRunningWithOneAndTwoBibles() {
        ThemesView& themes = showTab<ThemesView>(AppTab::themes);
        QTRY_VERIFY(app().themesConfig().has_value());
        shoot(window(), "themes-stopped");
        showTab<AdminView>(AppTab::admin);
        shoot(window(), "admin-stopped");

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
        auto* compare = child<QComboBox>(admin, "comparePicker");
        QTRY_VERIFY(compare->isVisible());
        shoot(window(), "admin-one-bible");

        QVERIFY(StagedServer::installSecondTranslation());
        QVERIFY(StagedServer::send(app().server().port(), "PUT", "/api/translations",
                                   R"({"primaryId": "bible.sqlite", )"
                                   R"("secondaryId": "bible.web.sqlite"})") == 200);
        app().reloadTranslations();
        QTRY_COMPARE(compare->count(), 2);
        QTRY_VERIFY(child<QLabel>(admin, "compareAvailable")->isVisible());
        QCOMPARE(compare->currentText(), QString("World English Bible (bible.web.sqlite)"));
        shootLightAndDark("admin-two-bibles");
    }

    void theSheetsOpen() {
        QVERIFY(StagedServer::start(app()));
        ThemesView& themes = showTab<ThemesView>(AppTab::themes);
        shootSheet(themes, "advancedEditor", &ThemesView::adminSheet, "theme-admin-sheet");
        AdminView& admin = showTab<AdminView>(AppTab::admin);
        shootSheet(admin, "advancedWebAdmin", &AdminView::webAdminSheet, "web-admin-sheet");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestThemesAdminLook)
#include "tst_themesadmin_look_xvfb.moc"
