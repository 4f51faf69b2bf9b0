// The main window as a person sees it, on a real X display: every tab at the
// smallest window size, light and dark, chosen and read as a screen reader
// does, and the footer of a running server. With VESPERLINE_SCREENSHOT_DIR set
// (scripts/screenshot does) each state is also written there as a PNG to look
// at.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/ServerStatusFooter.h"
#include "views/SidebarTabButton.h"
#include "views/StatusDot.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QStyle>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

// Buttons, fields and boxes on screen that a screen reader could not name.
QStringList unnamedControls(QAccessibleInterface* node) {
    static const QSet<QAccessible::Role> controls{
        QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::SpinBox,  QAccessible::EditableText,
        QAccessible::List,       QAccessible::Table,    QAccessible::Slider};
    QStringList unnamed;
    if (!node || node->state().invisible)
        return unnamed;
    if (controls.contains(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << QString::fromLatin1(node->object()->metaObject()->className()) + " " +
                       node->object()->objectName();
    for (int i = 0; i < node->childCount(); ++i)
        unnamed += unnamedControls(node->child(i));
    return unnamed;
}

} // namespace

class TestContentViewLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    int port = 0;

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    QImage shoot(const QString& name) { return shootWindow(window(), name); }

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

    void everyTabAtTheSmallestSizeLightAndDark() {
        QColor lightDot;
        for (const bool dark : {false, true}) {
            if (dark)
                QApplication::setPalette(darkPalette());
            showAt({MainWindow::minimumContentWidth, MainWindow::minimumContentHeight});
            window().resize(window().minimumSizeHint());
            QApplication::processEvents();
            ContentView& content = window().content();
            QCOMPARE(content.size(),
                     QSize(MainWindow::minimumContentWidth, MainWindow::minimumContentHeight));
            // The footer's dot takes its colour from the palette in use, again
            // when the palette changes while the server's state stays.
            const QColor dot = content.footer().findChild<StatusDot*>()->color();
            QCOMPARE(dot, SemanticColors::tone(SemanticColors::Tone::secondary,
                                               content.footer().palette()));
            QVERIFY(!dark || dot != lightDot);
            lightDot = dot;
            for (const AppTab tab : AppTabs::all()) {
                // "Toggle" through the accessibility interface, as a screen
                // reader chooses a tab; then every control showing has a name.
                QAccessibleInterface* button =
                    QAccessible::queryAccessibleInterface(content.tabButton(tab));
                QCOMPARE(button->text(QAccessible::Name), AppTabs::title(tab));
                button->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
                QCOMPARE(app().selectedTab(), tab);
                QTRY_COMPARE(content.detail().screen()->accessibleName(), AppTabs::title(tab));
                const QStringList unnamed =
                    unnamedControls(QAccessible::queryAccessibleInterface(&content));
                QVERIFY2(unnamed.isEmpty(),
                         qPrintable(AppTabs::title(tab) + ": " + unnamed.join(", ")));
                const QImage image = shoot(AppTabs::title(tab).toLower().replace(' ', '-') +
                                           (dark ? "-dark" : "-light"));
                const qreal ratio = image.devicePixelRatio();
                const auto pixel = [&](SidebarTabButton* button, const QPoint& at) {
                    return image.pixelColor(button->mapTo(&window(), at) * ratio);
                };
                // The selected tab stands out from the sidebar; the others do not.
                SidebarTabButton* selected = content.tabButton(tab);
                SidebarTabButton* other = content.tabButton(
                    tab == AppTab::dashboard ? AppTab::themes : AppTab::dashboard);
                const QColor sidebar = pixel(other, {other->width() - 6, 4});
                QCOMPARE(sidebar.lightness() < 100, dark);
                const QColor highlight =
                    pixel(selected, {selected->width() - 6, selected->height() / 2});
                QVERIFY2(!near(highlight, sidebar, 12), qPrintable(AppTabs::title(tab)));
                // Nothing in the sidebar runs into the footer, even this small.
                const QWidget* last = content.tabButton(AppTab::settings);
                const int lastBottom = last->mapTo(&content, QPoint(0, last->height())).y();
                QVERIFY(lastBottom + 12 <= content.footer().mapTo(&content, QPoint(0, 0)).y());
                QVERIFY(content.footer().isVisible());
            }
            app().setSelectedTab(AppTab::dashboard);
        }
    }

    void runningServerFooter() {
        showAt({1100, 740});
        app().server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(app(), ServerStatus::running), settle);
        shoot("dashboard-running");
    }
};

VESPERLINE_GUI_TEST_MAIN(TestContentViewLook)
#include "tst_contentview_look_xvfb.moc"
