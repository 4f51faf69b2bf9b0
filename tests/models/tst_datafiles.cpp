#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "models/PlaylistsFileIO.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

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
    void bookmarksAreWrittenPrettySortedWithOneFinalLineFeed() {
        QTemporaryDir dir;
        const QString file = dir.filePath("bookmarks.json");
        QVERIFY(BookmarksFileIO::save(sampleBookmarks(), file).ok());
        QCOMPARE(TestSupport::readFile(file), QByteArray(R"({
  "bookmarks": [
    {
      "book": "Psalms",
      "bucket": "Comfort",
      "chapter": 23,
      "color": "blue",
      "id": "b1",
      "label": "Psalm 23",
      "verseStart": 1
    },
    {
      "book": "John",
      "chapter": 3,
      "id": "b2",
      "label": "John 3:16–17",
      "verseEnd": 17,
      "verseStart": 16
    }
  ]
}
)"));
        const auto back = JsonCoding::decodeFile<BookmarksConfig>(file);
        QVERIFY(back.ok());
        QVERIFY(back.value() == sampleBookmarks());
    }

    void playlistsAreWrittenWithTheirKeysInOrderAndReadBackEqual() {
        QTemporaryDir dir;
        const QString file = dir.filePath("playlists.json");
        TestSupport::writeFile(file, "an older, longer file that must be replaced entirely\n");
        QVERIFY(PlaylistsFileIO::save(samplePlaylists(), file).ok());
        const QByteArray text = TestSupport::readFile(file);
        QVERIFY(text.endsWith("}\n") && !text.endsWith("\n\n"));
        QVERIFY(!text.contains("null"));
        auto order = [&](const QList<QByteArray>& keys) {
            qsizetype last = -1;
            for (const auto& key : keys) {
                const qsizetype at = text.indexOf("\"" + key + "\":", last + 1);
                if (at <= last)
                    return false;
                last = at;
            }
            return true;
        };
        QVERIFY(order({"playlists", "id", "items", "book", "chapter", "id", "kind", "label",
                       "verseEnd", "verseStart", "id", "kind", "slideId", "name", "slides", "id",
                       "imageFile", "label"}));
        QVERIFY(JsonCoding::decodeFile<PlaylistsConfig>(file).value() == samplePlaylists());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"playlists.json"});
    }

    void failedSavesSayWhyAndKeepTheOldFile() {
        QTemporaryDir dir;
        const auto missing = BookmarksFileIO::save(sampleBookmarks(), dir.filePath("gone/b.json"));
        QVERIFY(!missing.ok());
        QVERIFY2(missing.error().contains("gone/b.json"), qPrintable(missing.error()));
        QVERIFY(!QFile::exists(dir.filePath("gone")));

        // A folder that is really a file: fails for every user, root included.
        TestSupport::writeFile(dir.filePath("plain"), "x");
        QVERIFY(!PlaylistsFileIO::save(samplePlaylists(), dir.filePath("plain/p.json")).ok());
        QCOMPARE(TestSupport::readFile(dir.filePath("plain")), QByteArray("x"));

        if (geteuid() == 0)
            QSKIP("root may write into read-only folders");
        const QString folder = dir.filePath("ro");
        QDir().mkpath(folder);
        QVERIFY(BookmarksFileIO::save(sampleBookmarks(), folder + "/bookmarks.json").ok());
        const QByteArray before = TestSupport::readFile(folder + "/bookmarks.json");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto denied = BookmarksFileIO::save(BookmarksConfig{}, folder + "/bookmarks.json");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QVERIFY(!denied.ok());
        QVERIFY(!denied.error().isEmpty());
        QCOMPARE(TestSupport::readFile(folder + "/bookmarks.json"), before);
    }

    void readingBrokenFilesFailsAndLeavesThemAlone_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("start");
        QTest::newRow("truncated")
            << QByteArray("{\n  \"bookmarks\": [\n    {\n      \"book\"") << "Invalid JSON";
        QTest::newRow("not UTF-8") << QByteArray("{\"bookmarks\": [{\"label\": \"\xff\xfe\"}]}")
                                   << "Invalid JSON: the data is not valid UTF-8 text";
        QTest::newRow("wrong type")
            << QByteArray(R"({"bookmarks": "none"})") << "bookmarks: expected an array";
    }

    void readingBrokenFilesFailsAndLeavesThemAlone() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, start);
        QTemporaryDir dir;
        const QString file = dir.filePath("bookmarks.json");
        TestSupport::writeFile(file, contents);
        const auto result = JsonCoding::decodeFile<BookmarksConfig>(file);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().startsWith(start), qPrintable(result.error()));
        QCOMPARE(TestSupport::readFile(file), contents);
    }

    void unreadableFilesReportThePathAndTheReason() {
        QTemporaryDir dir;
        const auto absent = JsonCoding::decodeFile<BookmarksConfig>(dir.filePath("none.json"));
        QVERIFY(!absent.ok());
        QVERIFY2(absent.error().startsWith(dir.filePath("none.json") + ": "),
                 qPrintable(absent.error()));
        QVERIFY(!JsonCoding::decodeFile<BookmarksConfig>(dir.path()).ok());
    }
};

VESPERLINE_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
