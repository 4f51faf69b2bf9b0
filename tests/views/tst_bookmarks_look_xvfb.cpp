// The Bookmarks screen as a person sees it, on a real X display: empty, and
// light and dark with the bookmarks a new installation ships, and the editor
// sheet. With VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot does) each
// state is also written there as a PNG.
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
#include <QJsonArray>
#include <QJsonDocument>
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

    // The program with `bookmarks` in its data folder, on the Bookmarks tab,
    // once the screen shows what the file holds.
    BookmarksView& showWith(const QByteArray& bookmarks, bool dark) {
        AppTest::prepareFirstLaunch(tree, port);
        writeFile(ApplicationSupport::path("bookmarks.json"), bookmarks);
        // Set before the window is made: the screens take their colours as
        // they are built.
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
        auto* screen = window().content().detail().findChild<BookmarksView*>();
        const auto rows = QJsonDocument::fromJson(bookmarks)["bookmarks"].toArray().size();
        if (!QTest::qWaitFor(
                [&] {
                    return AppTest::restoreSettled(app()) && app().pendingOperations() == 0 &&
                           screen->listModel()->rowCount() == rows;
                },
                settle))
            qFatal("the screen never showed the bookmarks file");
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
        QVERIFY(!screen.bucketBar()->isVisible());
        QVERIFY(child<QLabel>(screen, "emptyNote")->isVisible());
        shootWindow(window(), QStringLiteral("bookmarks-empty-light"));
    }

    void seededAndEdited_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void seededAndEdited() {
        QFETCH(bool, dark);
        // The bookmarks a new installation ships.
        BookmarksView& screen =
            showWith(readFile(VESPERLINE_FIXTURES_DIR "/../../runtime/seed/bookmarks.json"), dark);
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
