#include "app/AppTestSupport.h"
#include "app/AppViewModel.h"
#include "services/Preferences.h"
#include "support/GuiTestMain.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/ServerStatusFooter.h"
#include "views/SidebarTabButton.h"
#include "views/StatusDot.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

using namespace TestSupport;
using AppTest::InstallTree;
using Tone = SemanticColors::Tone;

class TestContentView : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<ContentView> view;
    int port = 0;
    QString n;

    // Not shown: no poll runs until a test shows it.
    ContentView& make() {
        app = std::make_unique<AppViewModel>(tree->environment());
        (void)QTest::qWaitFor([this] { return AppTest::restoreSettled(*app); }, settle);
        view = std::make_unique<ContentView>(*app);
        return *view;
    }

    ServerStatusFooter::Appearance footerNow() {
        view->footer().render();
        return view->footer().shown();
    }

private Q_SLOTS:
    void init() {
        AppTest::prepareFirstLaunch(tree, port);
        n = QString::number(port);
    }

    void cleanup() {
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
        QTRY_VERIFY2(!PortOwner::isLocalTCPPortOpen(port), "a test left its port busy");
    }

    void footerFollowsTheServerThroughEveryState() {
        make();
        using A = ServerStatusFooter::Appearance;
        QCOMPARE(footerNow(), (A{"Server stopped", Tone::secondary}));
        // The dot's colour is resolved from the palette in use, and again when
        // the palette changes (a switch to dark mode) while the state stays.
        ServerStatusFooter& footer = view->footer();
        auto* dot = footer.findChild<StatusDot*>();
        QVERIFY(dot);
        const QColor light = SemanticColors::tone(Tone::secondary, footer.palette());
        QCOMPARE(dot->color(), light);
        QPalette dark = footer.palette();
        dark.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf2));
        view->setPalette(dark);
        QVERIFY(SemanticColors::isDark(footer.palette()));
        QVERIFY(dot->color() != light);
        QCOMPARE(dot->color(), SemanticColors::tone(Tone::secondary, footer.palette()));

        {
            // Someone else holds the port: a fresh test each time it is drawn.
            ExternalServer squatter("silent", port);
            QCOMPARE(footerNow(), (A{"Port " + n + " busy", Tone::orange}));
        }
        QTRY_COMPARE(footerNow(), (A{"Server stopped", Tone::secondary}));

        setFixtureMode("slow:1500");
        app->server().start();
        QTRY_COMPARE(view->footer().shown(), (A{"Starting :" + n + "…", Tone::orange}));
        QCOMPARE(view->footer().accessibleName(), "Starting :" + n + "…");
        QTRY_COMPARE_WITH_TIMEOUT(view->footer().shown(), (A{"Server on :" + n, Tone::green}),
                                  settle);

        // A start that fails; how a running server's death is found is
        // tst_servermanager's.
        await(app->server().forceStopOnPortAsync());
        setFixtureMode("syntax-error");
        app->server().start();
        QTRY_COMPARE_WITH_TIMEOUT(view->footer().shown(), (A{"Server failed", Tone::red}), settle);

        // Last: a server that ignores SIGTERM keeps the manager in stopping a while.
        setFixtureMode("stubborn");
        app->server().start();
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        app->server().stop();
        QTRY_COMPARE(view->footer().shown(), (A{"Stopping…", Tone::orange}));
    }

    void clickingATabShowsItsScreenAndSyncsAtOnce() {
        // Only the tab change can sync.
        auto& v = make();
        ExternalServer other("healthy", port);
        app->setStatusMessage("Bookmarks saved");
        SidebarTabButton* bookmarks = v.tabButton(AppTab::bookmarks);
        QTest::mouseClick(bookmarks, Qt::LeftButton);
        QCOMPARE(app->selectedTab(), AppTab::bookmarks);
        QVERIFY(bookmarks->isChecked());
        QVERIFY(!v.tabButton(AppTab::dashboard)->isChecked());
        QCOMPARE(v.detail().tab(), AppTab::bookmarks);
        QCOMPARE(v.detail().screen()->accessibleName(), QString("Bookmarks"));
        QTRY_COMPARE(app->statusMessage(), "Connected to server on port " + n);
        QVERIFY(app->mirroredExternallyManaged());

        // A screen is built when its tab is first shown and kept for the next
        // visit; that every tab has its screen is tst_contentview_look_xvfb's.
        QPointer<QWidget> previous = v.detail().screen();
        QVERIFY(!v.detail().isBuilt(AppTab::themes));
        app->setSelectedTab(AppTab::themes);
        QCOMPARE(v.detail().screen()->accessibleName(), QString("Themes"));
        app->setSelectedTab(AppTab::bookmarks);
        QCOMPARE(v.detail().screen(), previous.data());
        await(app->server().stopAsync());
    }

    void reachingRunningReloadsFromTheServer() {
        make();
        await(app->reloadBookmarks());
        QCOMPARE(app->bookmarksError(), std::nullopt);
        app->server().start();
        // The fixture has no bookmarks endpoint: the failed GET shows the
        // reload went to the server on its own.
        QTRY_VERIFY_WITH_TIMEOUT(AppTest::mirrorReached(*app, ServerStatus::running), settle);
        QTRY_COMPARE(app->bookmarksError(), QString("Server returned HTTP 404"));
        QTRY_COMPARE(app->playlistsError(), QString("Server returned HTTP 404"));
        QTRY_COMPARE(app->themesError(), QString("Server returned HTTP 404"));
        QCOMPARE(app->bookmarks().size(), size_t(1));
    }

    void whileShownTheStatusIsPolledAndTheDataLoadedAndTheLayoutVersionIsRecordedOnce() {
        QVERIFY(!Preferences::contains("uiLayoutVersion"));
        auto& v = make();
        QSignalSpy firstShown(&v, &ContentView::firstShown);
        v.show();
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), qint64(3));
        QVERIFY(v.isPolling());
        // The first round loads the data files nobody asked for yet.
        QTRY_COMPARE(app->bookmarks().size(), size_t(1));
        QTRY_VERIFY(app->themesConfig().has_value());
        // Any other text gives way to the server's within a poll.
        app->setStatusMessage("Bookmarks saved");
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), "No server responding on port " + n,
                                  2 * int(ContentView::statusPollInterval.count()) + settle);
        v.hide();
        QVERIFY(!v.isPolling());
        v.show();
        QVERIFY(v.isPolling());
        QCOMPARE(firstShown.count(), 1);

        QVERIFY(Preferences::setInteger("uiLayoutVersion", 1).ok());
        ContentView::clearLegacySplitViewDefaultsIfNeeded();
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), qint64(3));
        QVERIFY(Preferences::setInteger("uiLayoutVersion", 7).ok());
        ContentView::clearLegacySplitViewDefaultsIfNeeded();
        QCOMPARE(Preferences::integerValue("uiLayoutVersion"), qint64(7));
    }

    // What a screen reader does: "Toggle" on each tab through the
    // accessibility interface, then read the names of what is showing.
    void everyTabAndControlIsReachableThroughTheAccessibilityInterface() {
        auto& v = make();
        v.resize(1100, 900);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        for (const AppTab tab : AppTabs::all()) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(v.tabButton(tab));
            QCOMPARE(button->text(QAccessible::Name), AppTabs::title(tab));
            QAccessibleActionInterface* actions = button->actionInterface();
            QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
            actions->doAction(QAccessibleActionInterface::toggleAction());
            QCOMPARE(app->selectedTab(), tab);
            QTRY_COMPARE(v.detail().screen()->accessibleName(), AppTabs::title(tab));
            QTRY_VERIFY(v.detail().isBuilt(tab));
            const QStringList unnamed = unnamedControls(QAccessible::queryAccessibleInterface(&v));
            QVERIFY2(unnamed.isEmpty(),
                     qPrintable(AppTabs::title(tab) + ": " + unnamed.join(", ")));
        }
    }

private:
    // Buttons, fields and boxes on screen that a screen reader could not name.
    static QStringList unnamedControls(QAccessibleInterface* node) {
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
};

VESPERLINE_GUI_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
