#include "models/BibleReferenceEntry.h"
#include "models/PlaylistEdits.h"
#include "models/PlaylistRowLabel.h"
#include "services/SlideFiles.h"
#include "support/TestSupport.h"

#include <QRegularExpression>

using namespace PlaylistEdits;

namespace {

PlaylistItem item(const QString& id, PlaylistItemKind kind, const QString& target = {}) {
    PlaylistItem made;
    made.id = id;
    made.kind = kind;
    if (kind == PlaylistItemKind::bookmark && !target.isEmpty())
        made.bookmarkId = target;
    if (kind == PlaylistItemKind::slide && !target.isEmpty())
        made.slideId = target;
    return made;
}

QStringList itemIds(const Playlist& playlist) {
    QStringList ids;
    for (const PlaylistItem& each : playlist.items)
        ids << each.id;
    return ids;
}

PlaylistsConfig fourItems() {
    PlaylistsConfig config;
    Playlist playlist{"p1", "Sunday", {}};
    for (const char* id : {"a", "b", "c", "d"})
        playlist.items.push_back(item(id, PlaylistItemKind::ref));
    config.playlists.push_back(playlist);
    return config;
}

} // namespace

class TestPlaylistEdits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void slideSlugs_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("slug");
        QTest::newRow("runs and ends") << "  --Week 3: Grace!! "
                                       << "week-3-grace";
        QTest::newRow("non-ASCII is a separator") << "Pâques 2024"
                                                  << "p-ques-2024";
        QTest::newRow("punctuation only") << "!!! ???"
                                          << "slide-1700000000";
        QTest::newRow("long name keeps 48") << QString(60, 'A') << QString(48, 'a');
        QTest::newRow("cut after the slug, not before") << "A-" + QString(47, 'b') + "-tail"
                                                        << "a-" + QString(46, 'b');
    }
    void slideSlugs() {
        QFETCH(QString, base);
        QFETCH(QString, slug);
        QCOMPARE(slideSlug(base, 1700000000), slug);
    }

    void rowLabels_data() {
        QTest::addColumn<PlaylistItem>("step");
        QTest::addColumn<QString>("label");
        PlaylistItem ref = item("r", PlaylistItemKind::ref);
        ref.book = "John";
        ref.chapter = 3;
        ref.verseStart = 16;
        ref.verseEnd = 18;
        QTest::newRow("bookmark") << item("1", PlaylistItemKind::bookmark, "b1") << "✝  Shepherd";
        QTest::newRow("bookmark gone")
            << item("2", PlaylistItemKind::bookmark, "gone") << "✝  gone";
        QTest::newRow("bookmark without id") << item("3", PlaylistItemKind::bookmark) << "✝  ?";
        QTest::newRow("slide gone") << item("5", PlaylistItemKind::slide, "s9") << "🖼  s9";
        QTest::newRow("slide without id") << item("6", PlaylistItemKind::slide) << "🖼  ?";
        QTest::newRow("range") << ref << "✝  John 3:16–18";
        ref.label = "For God so loved";
        QTest::newRow("own label wins") << ref << "✝  For God so loved";
        QTest::newRow("nothing known") << item("7", PlaylistItemKind::ref) << "✝  ? 0:0";
    }
    void rowLabels() {
        QFETCH(PlaylistItem, step);
        QFETCH(QString, label);
        const std::vector<Bookmark> bookmarks{
            {"b1", "Shepherd", "Psalms", 23, 1, {}, {}, {}},
            {"b1", "Later duplicate", "Psalms", 1, 1, {}, {}, {}}};
        const std::vector<LessonSlide> slides{{"s1", "Welcome", "s1.png"}};
        QCOMPARE(PlaylistRowLabel(bookmarks, slides).text(step), label);
    }

    void referenceEntryReadsWhatCanBeRead() {
        using Kind = PlaylistItemKind;
        // The end falls back to the start.
        QCOMPARE(BibleReferenceEntry::parse("Psalms", "+23", "4", "x"),
                 (PlaylistItem{"", Kind::ref, {}, {}, "Psalms", 23, 4, 4, {}}));
        // Signs and blanks are read.
        QCOMPARE(BibleReferenceEntry::parse("", " -2 ", "3 ", "12"),
                 (PlaylistItem{"", Kind::ref, {}, {}, "", -2, 3, 12, {}}));
        // Trailing junk and overflow are not numbers.
        QCOMPARE(BibleReferenceEntry::parse("Acts", "2a", "99999999999", "1.5"),
                 (PlaylistItem{"", Kind::ref, {}, {}, "Acts", 1, 1, 1, {}}));
    }

    void playlistsAreMadeWithUniqueIdsAndDeletedBackToTheFirst() {
        PlaylistsConfig config;
        QCOMPARE(createPlaylist(config, 1700000000), QString("playlist-1700000000"));
        // A double click makes two playlists in one second; they must stay apart.
        QCOMPARE(createPlaylist(config, 1700000000), QString("playlist-1700000000-2"));
        QCOMPARE(config.playlists[1].name, QString("Sunday service"));
        QCOMPARE(selectedPlaylist(config, QString("playlist-1700000000-2")), &config.playlists[1]);
        QCOMPARE(selectedPlaylist(config, QString("missing")), &config.playlists[0]);

        QCOMPARE(deletePlaylist(config, "playlist-1700000000"), QString("playlist-1700000000-2"));
        QCOMPARE(config.playlists.size(), size_t(1));
        QCOMPARE(deletePlaylist(config, "playlist-1700000000-2"), std::nullopt);
        QCOMPARE(selectedPlaylist(config, std::nullopt), nullptr);
    }

    // Moves down and removals are the screen's; here, a move up and what is refused.
    void itemsMoveWithinTheListOnly() {
        PlaylistsConfig config = fourItems();
        QVERIFY(!moveItem(config, "p1", 0, -1));
        QVERIFY(!moveItem(config, "p1", 3, +1));
        QVERIFY(!moveItem(config, "other", 1, +1));
        QVERIFY(!moveItemTo(config, "p1", 1, 4));
        QVERIFY(!removeItem(config, "p1", "gone"));
        QVERIFY(moveItemTo(config, "p1", 2, 0));
        QCOMPARE(itemIds(config.playlists[0]), (QStringList{"c", "a", "b", "d"}));
    }

    void addedItemsCarryOnlyTheirKindsFields() {
        PlaylistsConfig config = fourItems();
        QVERIFY(!addBookmarkItem(config, "gone", "b1"));
        QVERIFY(addBookmarkItem(config, "p1", "b1"));
        QVERIFY(addSlideItem(config, "p1", "s1"));
        const auto& items = config.playlists[0].items;
        QCOMPARE(items.size(), size_t(6));
        PlaylistItem bookmark = items[4];
        static const QRegularExpression shape("^item-[0-9A-F]{8}$");
        QVERIFY2(shape.match(bookmark.id).hasMatch(), qPrintable(bookmark.id));
        QVERIFY(bookmark.id != items[5].id);
        bookmark.id.clear();
        QCOMPARE(bookmark, item("", PlaylistItemKind::bookmark, "b1"));
        QVERIFY(items[5].kind == PlaylistItemKind::slide && items[5].slideId == "s1" &&
                !items[5].bookmarkId);
    }

    // Replacing and deleting through the screen are tst_playlistsview's.
    void deletingASlideTakesOnlySlideSteps() {
        PlaylistsConfig config;
        config.slides = {{"s1", "Welcome", "s1.jpg"}, {"s2", "Offering", "s2.png"}};
        QVERIFY(!relabelSlide(config, "s2", "Offering"));
        config.playlists = {
            {"p1",
             "Morning",
             {item("1", PlaylistItemKind::slide, "s1"), item("2", PlaylistItemKind::bookmark, "s1"),
              item("3", PlaylistItemKind::slide, "s2")}},
            {"p2", "Evening", {item("4", PlaylistItemKind::slide, "s1")}}};
        QCOMPARE(deleteSlide(config, "s1"), (LessonSlide{"s1", "Welcome", "s1.jpg"}));
        QCOMPARE(config.slides.size(), size_t(1));
        // Only slide steps go; a bookmark that happens to share the id stays.
        QCOMPARE(itemIds(config.playlists[0]), (QStringList{"2", "3"}));
        QVERIFY(config.playlists[1].items.empty());
        // A slide already gone still takes its steps with it.
        config.playlists[1].items.push_back(item("5", PlaylistItemKind::slide, "s1"));
        QCOMPARE(deleteSlide(config, "s1"), std::nullopt);
        QVERIFY(config.playlists[1].items.empty());
    }

    void onlyBareNamesInsideTheSlidesFolderAreImages_data() {
        QTest::addColumn<QString>("imageFile");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("bare") << "easter-sunday.png" << true;
        QTest::newRow("dotted") << "a..b.png" << true;
        QTest::newRow("parent") << "../bookmarks.json" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("subfolder") << "old/slide.png" << false;
        QTest::newRow("backslash") << "..\\bookmarks.json" << false;
    }
    void onlyBareNamesInsideTheSlidesFolderAreImages() {
        QFETCH(QString, imageFile);
        QFETCH(bool, allowed);
        const auto path = SlideFiles::imagePath(imageFile);
        QCOMPARE(path.has_value(), allowed);
        if (path)
            QCOMPARE(*path, SlideFiles::directory() + "/" + imageFile);
    }
};

VESPERLINE_TEST_MAIN(TestPlaylistEdits)
#include "tst_playlistedits.moc"
