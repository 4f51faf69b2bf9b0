// The Playlists screen as a volunteer sees it, on a real X display: empty,
// and light and dark a playlist with a bookmark, a reference and a slide,
// and a grid of slides. With VESPERLINE_SCREENSHOT_DIR set (scripts/screenshot
// does) each state is also written there as a PNG to look at.
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/VesperlineApp.h"
#include "services/SlideFiles.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"
#include "views/PlaylistsView.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QStyle>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

// A slide as a deck exports it: a coloured field with a title bar.
void writeSlide(const QString& name, const QColor& color, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, size.width(), size.height() / 5), Qt::white);
    painter.end();
    QDir().mkpath(SlideFiles::directory());
    QVERIFY(image.save(SlideFiles::directory() + "/" + name));
}

// Every kind of step, one naming a bookmark that is gone, and a slide with no label.
constexpr char rundown[] = R"json({"playlists": [
    {"id": "p1", "name": "Easter Sunday", "items": [
        {"id": "item-3", "kind": "slide", "slideId": "welcome"},
        {"id": "item-1", "kind": "bookmark", "bookmarkId": "seed-1"},
        {"id": "item-2", "kind": "ref", "book": "Romans", "chapter": 8, "verseStart": 28,
         "verseEnd": 30},
        {"id": "item-4", "kind": "bookmark", "bookmarkId": "deleted-bookmark"}]},
    {"id": "p2", "name": "Good Friday", "items": []}],
  "slides": [
    {"id": "welcome", "label": "Welcome", "imageFile": "welcome.png"},
    {"id": "announcements", "label": "Announcements this week", "imageFile": "announcements.png"},
    {"id": "offering", "label": "Offering", "imageFile": "offering.png"},
    {"id": "tall", "label": "Memory verse (portrait)", "imageFile": "tall.png"},
    {"id": "gone", "label": "", "imageFile": "gone.png"}]})json";

} // namespace

class TestPlaylistsLook : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<VesperlineApp> vesperline;
    int port = 0;

    MainWindow& window() { return vesperline->mainWindow(); }
    AppViewModel& app() { return vesperline->appModel(); }

    PlaylistsView& show(const QSize& size) {
        vesperline = std::make_unique<VesperlineApp>(tree->environment());
        window().resize(size);
        vesperline->showMainWindow();
        if (!QTest::qWaitForWindowExposed(&window()))
            qFatal("the window never showed");
        // Stopped for good, so the screen edits the files seeded here.
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(app()); }, settle))
            qFatal("the launch-time restore never settled");
        app().setSelectedTab(AppTab::playlists);
        if (!QTest::qWaitFor(
                [&] { return window().content().detail().isBuilt(AppTab::playlists); }))
            qFatal("the screen was never built");
        auto* screen = window().content().detail().findChild<PlaylistsView*>();
        if (!QTest::qWaitFor([&] { return app().pendingOperations() == 0 && !screen->isSaving(); }))
            qFatal("the screen's first load never finished");
        return *screen;
    }

    QImage shoot(const QString& name) { return shootWindow(window(), name); }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        window().close();
        AppTest::tearDown(app(), vesperline);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void emptyScreen() {
        PlaylistsView& screen = show({MainWindow::minimumContentWidth + 200, 600});
        shoot("playlists-empty-light");
        QVERIFY(child(screen, "noPlaylist")->isVisible());
        QVERIFY(!child(screen, "slideGrid")->isVisible());
    }

    void aRundownAndItsSlides_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void aRundownAndItsSlides() {
        QFETCH(bool, dark);
        if (dark)
            QApplication::setPalette(darkPalette());
        writeSlide("welcome.png", QColor(0x2e, 0x5e, 0xaa), {1920, 1080});
        writeSlide("announcements.png", QColor(0x3a, 0x8a, 0x4a), {1280, 720});
        writeSlide("offering.png", QColor(0xaa, 0x5a, 0x2e), {800, 600});
        writeSlide("tall.png", QColor(0x80, 0x40, 0xa0), {600, 900});
        writeFile(ApplicationSupport::path("playlists.json"), rundown);
        PlaylistsView& screen = show({1100, 900});
        auto* grid = child<QListView>(screen, "slideGrid");
        auto* items = child<QListView>(screen, "itemList");
        QCOMPARE(app().playlistsError(), std::nullopt);
        QTRY_COMPARE(grid->model()->rowCount(), 5);
        QTRY_COMPARE(items->model()->rowCount(), 4);
        const QImage image = shoot(QString("playlists-rundown-") + (dark ? "dark" : "light"));

        // Every card shows whole, side by side, none cut by the grid's edge.
        for (int row = 0; row < 5; ++row) {
            const QRect card = grid->visualRect(grid->model()->index(row, 0));
            QVERIFY2(grid->viewport()->rect().contains(card), qPrintable(QString::number(row)));
        }
        // The first card's thumbnail carries the slide's blue, not the placeholder.
        const QRect first = grid->visualRect(grid->model()->index(0, 0));
        const QPoint thumb =
            grid->viewport()->mapTo(&window(), first.topLeft() + QPoint(first.width() / 2, 60));
        const QColor drawn = image.pixelColor(thumb * image.devicePixelRatio());
        QVERIFY2(drawn.blue() > 120 && drawn.red() < 90, qPrintable(drawn.name()));
        // The playlist shows all four rows without scrolling.
        QVERIFY(items->viewport()->rect().contains(items->visualRect(items->model()->index(3, 0))));

        // The Label field and Delete of the selected card, as it is edited.
        grid->setCurrentIndex(grid->model()->index(1, 0));
        items->setCurrentIndex(items->model()->index(2, 0));
        shoot(QString("playlists-selected-") + (dark ? "dark" : "light"));
    }
};

VESPERLINE_GUI_TEST_MAIN(TestPlaylistsLook)
#include "tst_playlists_look_xvfb.moc"
