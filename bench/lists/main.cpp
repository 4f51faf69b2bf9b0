// Lists benchmark: the Bookmarks and Playlists screens with a large church
// library (5,000 bookmarks, a playlist of 500 steps) beside a small one (50
// and 50) in the same run. For each: the time to show the tab (screen built,
// shown and painted with the data on hand) and the time to apply a reorder
// (the model's change signal to the repainted list). The ratios large /
// small tell whether a list costs something per row (goal: at most 4x); the
// medians are printed too, and the reading of the files on its own. The server stays stopped, so
// the data come from the files; the folders are temporary, never the real home.
#include "../lib/BenchSupport.h"
#include "app/AppViewModel.h"
#include "models/BookmarksFileIO.h"
#include "models/PlaylistsFileIO.h"
#include "services/ApplicationSupport.h"
#include "services/ServerManager.h"
#include "services/Settings.h"
#include "views/BookmarkListModel.h"
#include "views/BookmarksView.h"
#include "views/PlaylistItemsModel.h"
#include "views/PlaylistsView.h"

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QTemporaryDir>
#include <QWindow>
#include <cstdio>
#include <memory>

namespace {

using BenchSupport::median;
using BenchSupport::waitFor;

constexpr int showRounds = 5;
constexpr int reorderRounds = 15;
constexpr int large = 5000;
constexpr int largePlaylist = 500;
constexpr int small = 50;

void writeLibrary(int bookmarks, int playlistItems) {
    BookmarksConfig library;
    for (int i = 0; i < bookmarks; ++i)
        library.bookmarks.push_back(
            {QStringLiteral("b%1").arg(i), QStringLiteral("Psalm %1").arg(i),
             QStringLiteral("Psalms"), 1 + i % 150, 1, 6,
             i % 3 ? std::optional<QString>(QStringLiteral("Bucket %1").arg(i % 7)) : std::nullopt,
             std::nullopt});
    PlaylistsConfig document;
    Playlist sunday{QStringLiteral("playlist-1"), QStringLiteral("Sunday service"), {}};
    for (int i = 0; i < playlistItems; ++i) {
        PlaylistItem item;
        item.id = QStringLiteral("item-%1").arg(i);
        item.kind = PlaylistItemKind::bookmark;
        item.bookmarkId = QStringLiteral("b%1").arg(i % std::max(1, bookmarks));
        sunday.items.push_back(item);
    }
    document.playlists.push_back(sunday);
    QDir().mkpath(ApplicationSupport::supportURL());
    if (!BookmarksFileIO::save(library,
                               ApplicationSupport::path(QStringLiteral("bookmarks.json"))) ||
        !PlaylistsFileIO::save(document,
                               ApplicationSupport::path(QStringLiteral("playlists.json"))))
        qFatal("could not write the library");
}

// A program state of its own: fresh data and config folders, the library
// written, the launch-time server check settled (nothing on its port).
struct Church {
    QTemporaryDir home;
    std::unique_ptr<AppViewModel> app;

    Church(int bookmarks, int playlistItems) {
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        Settings::setInteger(Settings::Key::serverPort, BenchSupport::freePort());
        writeLibrary(bookmarks, playlistItems);
        app = std::make_unique<AppViewModel>(AppViewModel::Environment::forLayout(
            BundleLayout::forApplicationDir(QStringLiteral(VESPERLINE_STAGE_DIR "/bin"))));
        if (!waitFor([&] {
                return app->server().status() == ServerStatus::stopped &&
                       app->mirroredServerStatus() == ServerStatus::stopped;
            }))
            qFatal("the launch-time check did not settle");
    }
};

// Built, shown and painted: the time a volunteer waits for the tab. The data
// are on hand, as they are when a tab is chosen; the screen's own reload of
// the file is measured on its own.
template <typename View>
double showOnce(AppViewModel& app, const std::function<bool(View&)>& filled) {
    QElapsedTimer clock;
    clock.start();
    auto view = std::make_unique<View>(app);
    view->resize(1000, 700);
    view->show();
    view->repaint();
    const double ms = clock.nsecsElapsed() / 1e6;
    if (!filled(*view))
        qFatal("the list was drawn without the data on hand");
    waitFor([&] { return app.pendingOperations() == 0; });
    return ms;
}

// From the model's change (the saved order has landed) to the list
// repainted, for each of a series of reorders. `order` reads the order the
// screen shows; the first handler is connected before the screen exists, so
// it runs before the screen's own render, and the second after it.
template <typename View, typename Order>
QList<double> reorders(AppViewModel& app, const std::function<Order()>& order,
                       const std::function<bool(View&)>& filled,
                       const std::function<QWidget&(View&)>& list,
                       const std::function<void(View&)>& reorder) {
    QList<double> times;
    QElapsedTimer clock;
    bool measuring = false;
    Order seen = order();
    auto start = QObject::connect(&app, &AppViewModel::changed, [&] {
        Order now = order();
        if (now == seen)
            return;
        seen = std::move(now);
        measuring = true;
        clock.start();
    });
    View view(app);
    view.resize(1000, 700);
    view.show();
    if (!waitFor([&] {
            return filled(view) && view.windowHandle() && view.windowHandle()->isExposed();
        }))
        qFatal("the list was never shown");
    auto end = QObject::connect(&app, &AppViewModel::changed, [&] {
        if (!measuring)
            return;
        list(view).repaint();
        times.push_back(clock.nsecsElapsed() / 1e6);
        measuring = false;
    });
    for (int round = 0; round < reorderRounds; ++round) {
        const qsizetype before = times.size();
        reorder(view);
        if (!waitFor([&] { return times.size() > before && app.pendingOperations() == 0; }))
            qFatal("the reorder never landed");
    }
    QObject::disconnect(start);
    QObject::disconnect(end);
    return times;
}

// The file read and decoded (the server is stopped), from the call to the
// model's change.
double reloadOnce(AppViewModel& app, const std::function<QCoro::Task<>()>& reload) {
    QElapsedTimer clock;
    clock.start();
    auto task = reload();
    if (!waitFor([&] { return task.isReady(); }))
        qFatal("the reload never finished");
    return clock.nsecsElapsed() / 1e6;
}

struct Timings {
    double showBookmarks, reorderBookmarks, reloadBookmarks;
    double showPlaylists, reorderPlaylists, reloadPlaylists;
};

Timings measure(int bookmarks, int playlistItems) {
    Church church(bookmarks, playlistItems);
    AppViewModel& app = *church.app;
    Timings t{};
    QList<double> reloads;
    for (int i = 0; i < showRounds; ++i)
        reloads.push_back(reloadOnce(app, [&] { return app.reloadBookmarks(); }));
    t.reloadBookmarks = median(reloads);
    reloads.clear();
    for (int i = 0; i < showRounds; ++i)
        reloads.push_back(reloadOnce(app, [&] { return app.reloadPlaylists(); }));
    t.reloadPlaylists = median(reloads);
    const std::function<bool(BookmarksView&)> bookmarksFilled = [&](BookmarksView& v) {
        return v.listModel()->rowCount() == bookmarks;
    };
    const std::function<bool(PlaylistsView&)> playlistsFilled = [&](PlaylistsView& v) {
        return v.itemsModel()->rowCount() == playlistItems;
    };
    QList<double> shows;
    for (int i = 0; i < showRounds; ++i)
        shows.push_back(showOnce<BookmarksView>(app, bookmarksFilled));
    t.showBookmarks = median(shows);
    shows.clear();
    for (int i = 0; i < showRounds; ++i)
        shows.push_back(showOnce<PlaylistsView>(app, playlistsFilled));
    t.showPlaylists = median(shows);

    t.reorderBookmarks = median(reorders<BookmarksView, std::vector<Bookmark>>(
        app, [&] { return app.bookmarks(); }, bookmarksFilled,
        [](BookmarksView& v) -> QWidget& { return *v.list()->viewport(); },
        [](BookmarksView& v) { v.trigger(BookmarkRowAction::moveDown, v.listModel()->index(0)); }));
    t.reorderPlaylists = median(reorders<PlaylistsView, PlaylistsConfig>(
        app, [&] { return app.playlistsConfig(); }, playlistsFilled,
        [](PlaylistsView& v) -> QWidget& { return *v.itemsView()->viewport(); },
        [](PlaylistsView& v) { v.moveItem(0, 1); }));
    waitFor([&] { return app.pendingOperations() == 0; });
    return t;
}

void report(const char* what, double smallMs, double largeMs) {
    std::printf("%-22s small %8.2f ms   large %8.2f ms   ratio %5.2f\n", what, smallMs, largeMs,
                largeMs / smallMs);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QApplication application(argc, argv);
    // Warm-up: fonts, icons and style are loaded once per process.
    measure(small, small);
    const Timings few = measure(small, small);
    const Timings many = measure(large, largePlaylist);
    std::printf("bench/lists: %d bookmarks and a playlist of %d steps against %d and %d\n", large,
                largePlaylist, small, small);
    report("show Bookmarks", few.showBookmarks, many.showBookmarks);
    report("reorder a bookmark", few.reorderBookmarks, many.reorderBookmarks);
    report("show Playlists", few.showPlaylists, many.showPlaylists);
    report("reorder a step", few.reorderPlaylists, many.reorderPlaylists);
    std::printf("reading the files, which grows with the data:\n");
    report("reload bookmarks.json", few.reloadBookmarks, many.reloadBookmarks);
    report("reload playlists.json", few.reloadPlaylists, many.reloadPlaylists);
    return 0;
}
