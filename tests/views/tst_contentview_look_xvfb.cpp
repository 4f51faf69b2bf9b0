// The main window as a person sees it, on a real X display: the sidebar's
// measurements and colours, every tab at the smallest window size, light
// and dark. With VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot does)
// each state is also written there as a PNG to look at.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "services/Preferences.h"
#include "support/GuiTestMain.h"
#include "views/AppDetailView.h"
#include "views/BrandColors.h"
#include "views/ContentView.h"
#include "views/ServerStatusFooter.h"
#include "views/SidebarTabButton.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QWindow>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    p.setColor(QPalette::WindowText, QColor(0xec, 0xec, 0xec));
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    p.setColor(QPalette::AlternateBase, QColor(0x2f, 0x2f, 0x33));
    p.setColor(QPalette::Text, QColor(0xec, 0xec, 0xec));
    p.setColor(QPalette::Button, QColor(0x38, 0x38, 0x3c));
    p.setColor(QPalette::ButtonText, QColor(0xec, 0xec, 0xec));
    p.setColor(QPalette::Mid, QColor(0x45, 0x45, 0x4a));
    p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9f));
    return p;
}

QColor over(QColor top, qreal alpha, const QColor& bottom) {
    return QColor::fromRgbF(float(top.redF() * alpha + bottom.redF() * (1 - alpha)),
                            float(top.greenF() * alpha + bottom.greenF() * (1 - alpha)),
                            float(top.blueF() * alpha + bottom.blueF() * (1 - alpha)));
}

bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// How many pixels of a rectangle differ from a colour: ink drawn there.
int inkIn(const QImage& image, const QRect& rect, const QColor& background) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (!near(image.pixelColor(x, y), background, 24))
                ++count;
    return count;
}

QString slug(AppTab tab) {
    return AppTabs::title(tab).toLower().replace(' ', '-');
}

} // namespace

class TestContentViewLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    int port = 0;
    QString outputDir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    QImage shoot(const QString& name) {
        QApplication::processEvents();
        const QImage image = window().grab().toImage();
        if (!outputDir.isEmpty()) {
            QDir().mkpath(outputDir);
            image.save(outputDir + "/" + name + ".png");
        }
        return image;
    }

    void showAt(const QSize& size) {
        window().resize(size);
        vesperline->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::restoreSettled(app()), settle);
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
    }

    void cleanup() {
        window().close();
        AppTest::tearDown(app(), vesperline);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void sidebarMeasuresAndColours() {
        showAt({1100, 740});
        ContentView& content = window().content();
        const QImage image = shoot("dashboard");
        const qreal ratio = image.devicePixelRatio();

        QWidget* sidebar = content.findChild<QWidget*>("sidebar");
        QVERIFY(sidebar);
        QCOMPARE(sidebar->width(), ContentView::sidebarWidth);
        QCOMPARE(sidebar->mapTo(&content, QPoint(0, 0)), QPoint(0, 0));
        QCOMPARE(sidebar->height(), content.height());

        // The selected tab: the brand gold at 35 % over the sidebar.
        SidebarTabButton* dashboard = content.tabButton(AppTab::dashboard);
        QVERIFY(dashboard->isChecked());
        const QPoint inside =
            dashboard->mapTo(&window(), QPoint(dashboard->width() - 6, dashboard->height() / 2));
        const QColor sidebarColour = sidebar->palette().color(QPalette::Base);
        QVERIFY2(near(image.pixelColor(inside * ratio),
                      over(BrandColors::gold(), SidebarTabButton::selectionOpacity, sidebarColour)),
                 qPrintable(image.pixelColor(inside * ratio).name()));
        // Other tabs have no chrome at all.
        SidebarTabButton* themes = content.tabButton(AppTab::themes);
        const QPoint plain = themes->mapTo(&window(), QPoint(themes->width() - 6, 4));
        QVERIFY(near(image.pixelColor(plain * ratio), sidebarColour));

        // Eight rows in order, 2 apart, each with its icon drawn.
        int previousBottom = -1;
        for (const AppTab tab : AppTabs::all()) {
            SidebarTabButton* button = content.tabButton(tab);
            QVERIFY(button->isVisible());
            const QRect box(button->mapTo(sidebar, QPoint(0, 0)), button->size());
            QCOMPARE(box.left(), 8);
            QCOMPARE(box.width(), ContentView::sidebarWidth - 16);
            if (previousBottom >= 0)
                QCOMPARE(box.top(), previousBottom + 1 + 2);
            previousBottom = box.bottom();
            const QRect icon(button->mapTo(&window(), QPoint(12, (button->height() - 18) / 2)),
                             QSize(18, 18));
            const QColor behind =
                button->isChecked() ? image.pixelColor(inside * ratio) : sidebarColour;
            QVERIFY2(inkIn(image, QRect(icon.topLeft() * ratio, icon.size() * ratio), behind) > 20,
                     qPrintable(AppTabs::title(tab)));
        }
    }

    void everyTabAtTheSmallestSizeLightAndDark() {
        for (const bool dark : {false, true}) {
            if (dark)
                QApplication::setPalette(darkPalette());
            showAt({MainWindow::minimumContentWidth, MainWindow::minimumContentHeight});
            window().resize(window().minimumSizeHint());
            QApplication::processEvents();
            ContentView& content = window().content();
            QCOMPARE(content.size(),
                     QSize(MainWindow::minimumContentWidth, MainWindow::minimumContentHeight));
            for (const AppTab tab : AppTabs::all()) {
                app().setSelectedTab(tab);
                QApplication::processEvents();
                QCOMPARE(content.detail().tab(), tab);
                // Nothing in the sidebar runs into the footer, even this small.
                const QWidget* last = content.tabButton(AppTab::settings);
                const int lastBottom = last->mapTo(&content, QPoint(0, last->height())).y();
                const int footerTop = content.footer().mapTo(&content, QPoint(0, 0)).y();
                QVERIFY(lastBottom + 12 <= footerTop);
                QVERIFY(content.footer().isVisible());
                shoot(QString("%1-%2").arg(slug(tab), dark ? "dark" : "light"));
            }
            app().setSelectedTab(AppTab::dashboard);
        }
    }

    void runningServerFooter() {
        showAt({1100, 740});
        app().server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        QApplication::processEvents();
        QCOMPARE(window().content().footer().shown().label, "Server on :" + QString::number(port));
        shoot("dashboard-running");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestContentViewLook)
#include "tst_contentview_look_xvfb.moc"
