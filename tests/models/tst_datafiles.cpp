#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

namespace {

BookmarksConfig sampleBookmarks() {
    Bookmark single{"b1", "Psalm 23", "Psalms", 23, 1, std::nullopt, "Comfort", "blue"};
    Bookmark range{"b2", "John 3:16–17", "John", 3, 16, 17, std::nullopt, std::nullopt};
    return BookmarksConfig{{single, range}};
}

} // namespace

class TestDataFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Key order is nlohmann's (the exact files are tst_applicationsupport's),
    // the field names tst_records', the playlists file tst_appviewmodel's;
    // here, that a file is written pretty, in UTF-8 as it is, has no nulls
    // and reads back equal.
    void filesAreWrittenPrettyWithoutNullsAndReadBackEqual() {
        QTemporaryDir dir;
        const QString bookmarks = dir.filePath("bookmarks.json");
        QVERIFY(BookmarksFileIO::save(sampleBookmarks(), bookmarks).ok());
        const QByteArray text = TestSupport::readFile(bookmarks);
        QVERIFY2(text.startsWith("{\n  \"bookmarks\": [\n    {\n") && text.endsWith("]\n}\n") &&
                     text.contains("3:16–17") && !text.contains("null"),
                 text.constData());
        QVERIFY(JsonCoding::decodeFile<BookmarksConfig>(bookmarks).value() == sampleBookmarks());
    }

    // A failed save is AtomicFileWriter's, and the model's in tst_appviewmodel.
    // Unreadable files: what the decoder says about broken text is
    // tst_records'; here, that the file is named and left as it was.
    void failedReadsSayWhyAndLeaveTheFileAlone() {
        QTemporaryDir dir;
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
