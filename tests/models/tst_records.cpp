#include "models/BookmarksConfig.h"
#include "models/HealthResponse.h"
#include "models/JsonCoding.h"
#include "models/PlaylistsConfig.h"
#include "models/TranslationSelectionRequest.h"
#include "support/TestSupport.h"

namespace {

template <typename T> T decodeOrFail(const QByteArray& text) {
    auto result = JsonCoding::decode<T>(text);
    if (!result)
        qFatal("unexpected decoding failure: %s", qPrintable(result.error()));
    return std::move(result).value();
}

template <typename T> QByteArray compact(const T& value) {
    return QByteArray::fromStdString(JsonCoding::encode(value).dump());
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playlistsDecodeEveryKindSurviveARoundTripAndRefuseOthers() {
        const auto config = decodeOrFail<PlaylistsConfig>(R"({
            "playlists": [{"id": "p1", "name": "Sunday", "items": [
                {"id": "i1", "kind": "bookmark", "bookmarkId": "b1"},
                {"id": "i2", "kind": "ref", "book": "John", "chapter": 3, "verseStart": 16,
                 "verseEnd": 17, "label": "Love"},
                {"id": "i3", "kind": "slide", "slideId": "s1"}]}],
            "slides": [{"id": "s1", "label": "Welcome", "imageFile": "s1.png"}]})");
        const auto& items = config.playlists.at(0).items;
        QCOMPARE(items.size(), size_t(3));
        QVERIFY(items[0].kind == PlaylistItemKind::bookmark && !items[0].book && !items[0].slideId);
        QVERIFY(items[1].kind == PlaylistItemKind::ref && items[1].verseEnd == 17);
        QVERIFY(items[2].kind == PlaylistItemKind::slide && items[2].slideId == "s1");

        // Absent fields of each kind are left out, not written as null.
        QVERIFY(!compact(config).contains("null"));
        QVERIFY(decodeOrFail<PlaylistsConfig>(compact(config)) == config);

        const auto video = JsonCoding::decode<PlaylistsConfig>(
            R"({"playlists": [{"id": "p", "name": "P", "items": [{"id": "i", "kind": "ref"},
                {"id": "j", "kind": "video"}]}], "slides": []})");
        QCOMPARE(video.error(), QString(R"(playlists[0].items[1].kind: unknown kind "video", )"
                                        R"(expected "bookmark", "ref" or "slide")"));
    }

    void absentOptionalsAreNeverWrittenAndExtraKeysAreDropped() {
        const auto config = decodeOrFail<BookmarksConfig>(
            R"({"bookmarks": [{"id": "b1", "label": "Psalm 23", "book": "Psalms", "chapter": 23,
                "verseStart": 1, "bucket": null, "pinned": true}], "version": 2})");
        const Bookmark& bookmark = config.bookmarks.at(0);
        QVERIFY(!bookmark.verseEnd && !bookmark.bucket && !bookmark.color);
        QCOMPARE(compact(config),
                 QByteArray(R"({"bookmarks":[{"book":"Psalms","chapter":23,"id":"b1",)"
                            R"("label":"Psalm 23","verseStart":1}]})"));

        // An empty compare translation is none, as an absent one is
        // (tst_apiclient sends that).
        QCOMPARE(compact(TranslationSelectionRequest{"WEB", QString()}),
                 QByteArray(R"({"primaryId":"WEB"})"));
    }

    void oneBadValueFailsTheWholeDocumentAndNamesWhere() {
        const QByteArray good =
            R"({"id": "b0", "label": "L", "book": "John", "chapter": 1, "verseStart": 1})";
        // Two good bookmarks, then `good` with one change.
        const auto third = [&](const char* before, const char* after) {
            return "{\"bookmarks\": [" + good + ", " + good + ", " +
                   QByteArray(good).replace(before, after) + "]}";
        };
        for (const auto& [document, message] :
             std::initializer_list<std::pair<QByteArray, QString>>{
                 {third("\"chapter\": 1", "\"chapter\": 3.5"),
                  "bookmarks[2].chapter: expected an integer, found a fractional number"},
                 {third("\"verseStart\": 1", "\"verseStart\": 4294967296"),
                  "bookmarks[2].verseStart: expected an integer, found a number out of range"},
                 {third("\"verseStart\": 1", "\"verseStart\": 1, \"verseEnd\": \"4\""),
                  "bookmarks[2].verseEnd: expected an integer, found a string"},
                 {third("\"L\"", "null"), "bookmarks[2].label: expected a string, found null"},
                 {third("\"book\": \"John\", ", ""), "bookmarks[2].book: required key is missing"},
                 {R"({"bookmarks": {}})", "bookmarks: expected an array, found an object"},
                 {"[]", "top level: expected an object, found an array"}}) {
            const auto result = JsonCoding::decode<BookmarksConfig>(document);
            QVERIFY2(!result.ok(), qPrintable(message));
            QCOMPARE(result.error(), message);
        }
    }

    void numbersAndTextDecodeHoweverTheyAreWritten() {
        const auto config = decodeOrFail<BookmarksConfig>(
            R"({"bookmarks": [{"id": "b", "label": "L", "book": "John", "chapter": 3.0,
                "verseStart": 1e1, "verseEnd": -2}]})");
        QCOMPARE(config.bookmarks[0].chapter, 3);
        QCOMPARE(config.bookmarks[0].verseStart, 10);
        QCOMPARE(config.bookmarks[0].verseEnd, std::optional<int>(-2));

        // UTF-8 text survives decoding, and a byte order mark is accepted.
        const auto text = decodeOrFail<BookmarksConfig>(
            "\xef\xbb\xbf{\"bookmarks\": [{\"id\": \"b\", \"label\": \"Psaume \xc3\xa9\xe2\x80\x94"
            "\xf0\x9f\x99\x8f\", \"book\": \"John\", \"chapter\": 1, \"verseStart\": 1}]}");
        QCOMPARE(text.bookmarks[0].label, QString::fromUtf8("Psaume é—🙏"));
        QVERIFY(compact(text).contains("Psaume \xc3\xa9\xe2\x80\x94\xf0\x9f\x99\x8f"));
    }

    void textThatIsNotJsonIsAFailureWithADescription() {
        for (const auto& [bytes, start] : std::initializer_list<std::pair<QByteArray, QString>>{
                 {"  \n", "Invalid JSON: the data is empty"},
                 {"{\"bookmarks\": [{\"id\": \"b1\", \"lab", "Invalid JSON: parse error at line 1"},
                 {"{\"bookmarks\": [], \"n\": \"Psalm \xe9\"}",
                  "Invalid JSON: the data is not valid UTF-8 text"}}) {
            const auto result = JsonCoding::decode<BookmarksConfig>(bytes);
            QVERIFY2(!result.ok() && result.error().startsWith(start),
                     qPrintable(result.ok() ? QString("decoded") : result.error()));
        }
    }

    // Only absent and null keys take defaults; a wrong type fails as in any record.
    void healthTakesDefaultsForMissingOrNullKeys() {
        const auto empty = decodeOrFail<HealthResponse>("{}");
        QVERIFY(!empty.ok && !empty.db);
        QCOMPARE(empty.clients, 0);
        QCOMPARE(empty.themeId, QString("lowerThird"));
        QVERIFY(decodeOrFail<HealthResponse>(
                    R"({"ok": null, "clients": null, "themeId": null, "serverName": null})") ==
                empty);
    }
};

VESPERLINE_TEST_MAIN(TestRecords)
#include "tst_records.moc"
