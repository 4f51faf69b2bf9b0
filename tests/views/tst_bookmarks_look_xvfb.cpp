// The Bookmarks screen as a person sees it, on a real X display: empty, and
// light and dark with the bookmarks a new installation ships, filtered by a
// bucket, and the editor sheet. With VESPERLINE_SCREENSHOT_DIR set
// (scripts/screenshot does) each state is also written there as a PNG.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/AppDetailView.h"
#include "views/BookmarkAccent.h"
#include "views/BookmarkBucketBar.h"
#include "views/BookmarkEditorSheet.h"
#include "views/BookmarkListModel.h"
#include "views/BookmarksView.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStyle>

using namespace TestSupport;
using AppTest::InstallTree;

class TestBookmarksLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    int port = 0;

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    // The program with `bookmarks` in its data folder, on the Bookmarks tab.
    BookmarksView& showWith(const QByteArray& bookmarks, bool dark) {
        AppTest::prepareFirstLaunch(tree, port);
        QDir().mkpath(ApplicationSupport::supportURL());
        writeFile(ApplicationSupport::path("bookmarks.json"), bookmarks);
        QApplication::setPalette(dark ? TestSupport::darkPalette()
                                      : QApplication::style()->standardPalette());
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
        window().resize(1000, 700);
        vesperline->showMainWindow();
        if (!QTest::qWaitForWindowExposed(&window()))
            qFatal("the window never showed");
        app().setSelectedTab(AppTab::bookmarks);
        if (!QTest::qWaitFor([&] { return window().content().detail().isBuilt(AppTab::bookmarks); },
                             settle))
            qFatal("the Bookmarks screen was never built");
        auto* screen = qobject_cast<BookmarksView*>(window().content().detail().screen());
        if (!screen)
            qFatal("the Bookmarks tab shows no BookmarksView");
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(app()); }, settle))
            qFatal("the launch-time restore never settled");
        QTest::qWait(50);
        return *screen;
    }

private Q_SLOTS:
    void cleanup() {
        if (vesperline) {
            window().close();
            AppTest::tearDown(app(), vesperline);
        }
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void empty() {
        BookmarksView& screen = showWith(R"({"bookmarks": []})", false);
        QTRY_COMPARE(screen.listModel()->rowCount(), 0);
        QVERIFY(!screen.bucketBar()->isVisible());
        QVERIFY(child<QLabel>(screen, "emptyNote")->isVisible());
        shootWindow(window(), QStringLiteral("bookmarks-empty-light"));
    }

    void seededFilteredAndEdited_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void seededFilteredAndEdited() {
        QFETCH(bool, dark);
        // The bookmarks a new installation ships.
        BookmarksView& screen =
            showWith(readFile(VESPERLINE_FIXTURES_DIR "/../../runtime/seed/bookmarks.json"), dark);
        QTRY_VERIFY(screen.listModel()->rowCount() > 3);
        QVERIFY(screen.bucketBar()->isVisible());
        const QImage image =
            shootWindow(window(), QStringLiteral("bookmarks-seeded-") + QTest::currentDataTag());

        // Each row's swatch is drawn in its accent colour.
        QListView& list = *screen.list();
        const qreal ratio = image.devicePixelRatio();
        for (int row = 0; row < 3; ++row) {
            const QModelIndex index = screen.listModel()->index(row);
            const QVariant color = index.data(BookmarkListModel::ColorRole);
            const QRect rect = list.visualRect(index).adjusted(0, 0, -list.width() / 2, 0);
            const QRect onWindow(list.viewport()->mapTo(&window(), rect.topLeft()) * ratio,
                                 rect.size() * ratio);
            QVERIFY2(TestSupport::pixelsNear(
                         image, onWindow,
                         BookmarkAccent::swatch(color.isNull() ? std::nullopt
                                                               : std::optional(color.toString())),
                         6, true) > 20,
                     qPrintable(index.data().toString()));
        }

        const QString bucket =
            screen.listModel()->index(0).data(BookmarkListModel::BucketRole).toString();
        screen.bucketBar()->button(bucket)->click();
        QVERIFY(screen.listModel()->rowCount() < int(app().bookmarks().size()));
        shootWindow(window(), QStringLiteral("bookmarks-filtered-") + QTest::currentDataTag());

        screen.list()->setCurrentIndex(screen.listModel()->index(0));
        screen.trigger(BookmarkRowAction::edit, screen.listModel()->index(0));
        QTRY_VERIFY(screen.editorSheet() && screen.editorSheet()->isVisible());
        BookmarkEditorSheet& sheet = *screen.editorSheet();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        // Nothing of the form is cut off.
        QVERIFY(sheet.height() >= sheet.sizeHint().height());
        shootWindow(sheet, QStringLiteral("bookmarks-editor-") + QTest::currentDataTag());
        sheet.reject();
    }
};

VESPERLINE_GUI_TEST_MAIN(TestBookmarksLook)
#include "tst_bookmarks_look_xvfb.moc"
