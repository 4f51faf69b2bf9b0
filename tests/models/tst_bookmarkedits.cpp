#include "models/BookmarkEdits.h"
#include "support/TestSupport.h"

using namespace BookmarkEdits;

namespace {

Bookmark mark(const QString& id, std::optional<QString> bucket = std::nullopt) {
    return {id, id.toUpper(), "John", 3, 16, std::nullopt, std::move(bucket), std::nullopt};
}

QStringList ids(const std::vector<Bookmark>& list) {
    QStringList result;
    for (const Bookmark& b : list)
        result.append(b.id);
    return result;
}

// "a b c d" -> bookmarks with those identifiers.
std::vector<Bookmark> listOf(const QString& spaced) {
    std::vector<Bookmark> list;
    for (const QString& id : spaced.split(u' ', Qt::SkipEmptyParts))
        list.push_back(mark(id));
    return list;
}

} // namespace

class TestBookmarkEdits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bucketsCollapseBlanksIntoGeneralAndSortByCodePoint() {
        QCOMPARE(bucketNames({}), QStringList{"All"});
        QVERIFY(visiblePositions({}, "All").empty());

        const std::vector<Bookmark> list{mark("a", "Communion"),
                                         mark("b", " \t\n"),
                                         mark("c"),
                                         mark("d", "\tCommunion\n"),
                                         mark("e", "baptism"),
                                         mark("f", QString::fromUtf8("\U0001D504ncient")),
                                         mark("g", QString::fromUtf8("\uFF21dvent"))};
        // Upper case before lower; a character beyond the basic plane after
        // U+FF21, which UTF-16 order would put first.
        QCOMPARE(bucketNames(list), (QStringList{"All", "Communion", "General", "baptism",
                                                 QString::fromUtf8("\uFF21dvent"),
                                                 QString::fromUtf8("\U0001D504ncient")}));
        QCOMPARE(visiblePositions(list, "All"), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(visiblePositions(list, "General"), (std::vector<int>{1, 2}));
        QCOMPARE(visiblePositions(list, "Communion"), (std::vector<int>{0, 3}));
        QVERIFY(visiblePositions(list, "Gone").empty());
    }

    void addStartsInTheFilteredBucket() {
        const Bookmark fresh = newBookmark("All");
        QVERIFY(fresh.id.isEmpty() && fresh.label.isEmpty() && !fresh.bucket);
        // A range shows only when it ends elsewhere.
        QCOMPARE(reference(fresh), QString("John 3:16"));
        QCOMPARE(reference(mark("x")), QString("John 3:16"));
        QCOMPARE(newBookmark("General").bucket, QString("General"));
    }

    void saveEditNormalises_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("label");
        QTest::addColumn<std::optional<QString>>("bucket");
        QTest::addColumn<std::optional<QString>>("color");
        QTest::addColumn<QString>("storedId");
        QTest::addColumn<QString>("storedLabel");
        QTest::addColumn<std::optional<QString>>("storedBucket");
        QTest::addColumn<std::optional<QString>>("storedColor");
        using O = std::optional<QString>;
        QTest::newRow("own id kept") << "keep"
                                     << "Anything" << O("  Baptism ") << O(" Gold ") << "keep"
                                     << "Anything" << O("Baptism") << O("gold");
        QTest::newRow("empty label from reference")
            << ""
            << "" << O(" \n") << O("default") << "psalms-23-1"
            << "Psalms 23:1" << O() << O();
        QTest::newRow("blank label kept") << ""
                                          << "  " << O("") << O("magenta") << "bookmark"
                                          << "  " << O() << O();
    }

    void saveEditNormalises() {
        QFETCH(QString, id);
        QFETCH(QString, label);
        QFETCH(std::optional<QString>, bucket);
        QFETCH(std::optional<QString>, color);
        Bookmark edited;
        edited.id = id;
        edited.label = label;
        edited.book = "Psalms";
        edited.chapter = 23;
        edited.verseStart = 1;
        edited.verseEnd = 6;
        edited.bucket = bucket;
        edited.color = color;
        const Bookmark stored = normalized(edited, {});
        QTEST(stored.id, "storedId");
        QTEST(stored.label, "storedLabel");
        QTEST(stored.bucket, "storedBucket");
        QTEST(stored.color, "storedColor");
        QCOMPARE(reference(stored), QString::fromUtf8("Psalms 23:1\u20136"));
    }

    void anEditReplacesInPlaceAndANewBookmarkNeverReplacesAnother() {
        std::vector<Bookmark> list = listOf("a b c");
        Bookmark edited = list[1];
        edited.label = "Changed";
        list = withEdit(list, edited);
        QCOMPARE(ids(list), (QStringList{"a", "b", "c"}));
        QCOMPARE(list[1].label, QString("Changed"));

        // Two new bookmarks with the same label, or none that slugs, are two.
        Bookmark fresh = newBookmark("All");
        fresh.label = "B";
        list = withEdit(withEdit(list, fresh), fresh);
        fresh.label = "?!";
        list = withEdit(withEdit(list, fresh), fresh);
        QCOMPARE(ids(list), (QStringList{"a", "b", "c", "b-2", "b-3", "bookmark", "bookmark-2"}));
    }

    // A button moves by a step; a drag moves before its target row.
    void movesStayInsideTheFullList_data() {
        QTest::addColumn<bool>("drag");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");           // the step, or the row dropped before
        QTest::addColumn<QString>("expected"); // empty: nothing happens
        QTest::newRow("first up") << false << 0 << -1 << "";
        QTest::newRow("last down") << false << 3 << 1 << "";
        QTest::newRow("outside") << false << 4 << -1 << "";
        QTest::newRow("first down") << false << 0 << 1 << "b a c d";
        QTest::newRow("last up") << false << 3 << -1 << "a b d c";
        QTest::newRow("dropped onto itself") << true << 1 << 1 << "";
        QTest::newRow("dropped just below itself") << true << 1 << 2 << "";
        QTest::newRow("dropped past the end") << true << 1 << 5 << "";
        QTest::newRow("dragged to the top") << true << 2 << 0 << "c a b d";
        QTest::newRow("dragged down") << true << 0 << 3 << "b c a d";
        QTest::newRow("dragged to the end") << true << 0 << 4 << "b c d a";
    }

    void movesStayInsideTheFullList() {
        QFETCH(bool, drag);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        const auto result =
            drag ? movedTo(listOf("a b c d"), from, to) : moved(listOf("a b c d"), from, to);
        QCOMPARE(result.has_value(), !expected.isEmpty());
        if (result)
            QCOMPARE(ids(*result), expected.split(u' '));
    }

    void deleteRemovesEveryEntryWithTheId() {
        QCOMPARE(ids(without(listOf("a b a c"), "a")), (QStringList{"b", "c"}));
        QCOMPARE(ids(without(listOf("a b"), "z")), (QStringList{"a", "b"}));
    }
};

VESPERLINE_TEST_MAIN(TestBookmarkEdits)
#include "tst_bookmarkedits.moc"
