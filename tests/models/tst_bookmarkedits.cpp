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
        QCOMPARE(visiblePositions(list, "General"), (std::vector<int>{1, 2}));
        QCOMPARE(visiblePositions(list, "Communion"), (std::vector<int>{0, 3}));
    }

    void addStartsInTheFilteredBucket() {
        const Bookmark fresh = newBookmark("All");
        QVERIFY(fresh.id.isEmpty() && fresh.label.isEmpty() && !fresh.bucket);
        // A range shows only when it ends elsewhere.
        QCOMPARE(reference(fresh), QString("John 3:16"));
        QCOMPARE(reference(mark("x")), QString("John 3:16"));
        QCOMPARE(newBookmark("General").bucket, QString("General"));
    }

    void saveEditNormalises() {
        // Its own id stays; bucket and colour are trimmed, the colour in lower case.
        QCOMPARE(normalized({"keep", "Anything", "Psalms", 23, 1, 6, "  Baptism ", " Gold "}, {}),
                 (Bookmark{"keep", "Anything", "Psalms", 23, 1, 6, "Baptism", "gold"}));
        // An empty label takes the reference; a blank bucket and the default colour are none.
        QCOMPARE(normalized({"", "", "Psalms", 23, 1, 6, " \n", "default"}, {}),
                 (Bookmark{"psalms-23-1", "Psalms 23:1", "Psalms", 23, 1, 6, {}, {}}));
        // A blank label is kept as typed; a colour the editor does not offer is none.
        QCOMPARE(normalized({"", "  ", "Psalms", 23, 1, 6, "", "magenta"}, {}),
                 (Bookmark{"bookmark", "  ", "Psalms", 23, 1, 6, {}, {}}));
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
