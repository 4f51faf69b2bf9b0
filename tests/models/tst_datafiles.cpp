#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "models/PlaylistsFileIO.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

BookmarksConfig sampleBookmarks() {
    Bookmark single{"b1", "Psalm 23", "Psalms", 23, 1, std::nullopt, "Comfort", "blue"};
    Bookmark range{"b2", "John 3:16–17", "John", 3, 16, 17, std::nullopt, std::nullopt};
    return BookmarksConfig{{single, range}};
}

PlaylistsConfig samplePlaylists() {
    PlaylistItem ref{"i1", PlaylistItemKind::ref, std::nullopt, "Love", "John", 3, 16,
                     17,   std::nullopt};
    PlaylistItem slide{"i2",         PlaylistItemKind::slide,
                       std::nullopt, std::nullopt,
                       std::nullopt, std::nullopt,
                       std::nullopt, std::nullopt,
                       "s1"};
    return PlaylistsConfig{{Playlist{"p1", "Sunday", {ref, slide}}},
                           {LessonSlide{"s1", "Welcome", "s1.png"}}};
}

} // namespace

class TestDataFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Key order and the pretty layout are JsonWriter's (tst_atomicfilewriter),
    // the field names tst_records'; here, that each file is written pretty,
    // replaces an older one whole, has no nulls and reads back equal.
    void filesAreWrittenPrettyWithoutNullsAndReadBackEqual() {
        QTemporaryDir dir;
        const QString bookmarks = dir.filePath("bookmarks.json");
        QVERIFY(BookmarksFileIO::save(sampleBookmarks(), bookmarks).ok());
        const QByteArray text = TestSupport::readFile(bookmarks);
        QVERIFY2(text.startsWith("{\n  \"bookmarks\": [\n    {\n") && text.endsWith("]\n}\n"),
                 text.constData());
        QVERIFY(JsonCoding::decodeFile<BookmarksConfig>(bookmarks).value() == sampleBookmarks());

        const QString playlists = dir.filePath("playlists.json");
        TestSupport::writeFile(playlists, "an older, longer file that must be replaced entirely\n");
        QVERIFY(PlaylistsFileIO::save(samplePlaylists(), playlists).ok());
        QVERIFY(!TestSupport::readFile(playlists).contains("null"));
        QVERIFY(JsonCoding::decodeFile<PlaylistsConfig>(playlists).value() == samplePlaylists());
    }

    // That a failed write keeps the old file is AtomicFileWriter's; here, that
    // the failure reaches the caller with the path.
    void failedSavesAndReadsSayWhyAndLeaveTheFileAlone() {
        QTemporaryDir dir;
        const auto missing = BookmarksFileIO::save(sampleBookmarks(), dir.filePath("gone/b.json"));
        QVERIFY(!missing.ok());
        QVERIFY2(missing.error().contains("gone/b.json"), qPrintable(missing.error()));
        QVERIFY(!QFile::exists(dir.filePath("gone")));
        // A folder that is really a file: fails for every user, root included.
        TestSupport::writeFile(dir.filePath("plain"), "x");
        QVERIFY(!PlaylistsFileIO::save(samplePlaylists(), dir.filePath("plain/p.json")).ok());
        QCOMPARE(TestSupport::readFile(dir.filePath("plain")), QByteArray("x"));

        // Unreadable files: what the decoder says about broken text is
        // tst_records'; here, that the file is named and left as it was.
        const auto absent = JsonCoding::decodeFile<BookmarksConfig>(dir.filePath("none.json"));
        QVERIFY(!absent.ok());
        QVERIFY2(absent.error().startsWith(dir.filePath("none.json") + ": "),
                 qPrintable(absent.error()));
        QVERIFY(!JsonCoding::decodeFile<BookmarksConfig>(dir.path()).ok());

        const QString file = dir.filePath("bookmarks.json");
        const QByteArray truncated = "{\n  \"bookmarks\": [\n    {\n      \"book\"";
        TestSupport::writeFile(file, truncated);
        const auto result = JsonCoding::decodeFile<BookmarksConfig>(file);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().startsWith("Invalid JSON"), qPrintable(result.error()));
        QCOMPARE(TestSupport::readFile(file), truncated);
    }
};

VESPERLINE_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
