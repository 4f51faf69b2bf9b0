#include "models/BookmarkEdits.h"

#include "models/Slug.h"

#include <algorithm>
#include <set>
#include <string>

namespace BookmarkEdits {

namespace {

bool inside(const std::vector<Bookmark>& list, int position) {
    return position >= 0 && size_t(position) < list.size();
}

// "John 3:16": the first verse only.
QString firstVerse(const Bookmark& bookmark) {
    return QStringLiteral("%1 %2:%3")
        .arg(bookmark.book)
        .arg(bookmark.chapter)
        .arg(bookmark.verseStart);
}

// The tablet fires a bookmark by its identifier, and an edit replaces the
// bookmark with its identifier: two must never share one.
QString unusedId(const QString& slug, const std::vector<Bookmark>& list) {
    const QString base = slug.isEmpty() ? QStringLiteral("bookmark") : slug;
    const auto taken = [&](const QString& id) {
        return std::any_of(list.begin(), list.end(),
                           [&](const Bookmark& entry) { return entry.id == id; });
    };
    QString id = base;
    for (int n = 2; taken(id); ++n)
        id = QStringLiteral("%1-%2").arg(base).arg(n);
    return id;
}

} // namespace

const QStringList& allowedColors() {
    static const QStringList names{"default", "gold",   "blue",   "green",
                                   "red",     "purple", "orange", "teal"};
    return names;
}

QString effectiveBucket(const Bookmark& bookmark) {
    const QString bucket = bookmark.bucket.value_or(QString()).trimmed();
    return bucket.isEmpty() ? generalBucket : bucket;
}

QStringList bucketNames(const std::vector<Bookmark>& bookmarks) {
    // UTF-16 order puts characters beyond the basic plane before U+E000 to
    // U+FFFF; code points keep the order the tablet shows.
    std::set<std::u32string> buckets;
    for (const Bookmark& bookmark : bookmarks)
        buckets.insert(effectiveBucket(bookmark).toStdU32String());
    QStringList names{allBuckets};
    for (const std::u32string& bucket : buckets)
        names.append(QString::fromStdU32String(bucket));
    return names;
}

std::vector<int> visiblePositions(const std::vector<Bookmark>& bookmarks,
                                  const QString& filterBucket) {
    std::vector<int> positions;
    positions.reserve(bookmarks.size());
    const bool all = filterBucket == allBuckets;
    for (size_t i = 0; i < bookmarks.size(); ++i)
        if (all || effectiveBucket(bookmarks[i]) == filterBucket)
            positions.push_back(int(i));
    return positions;
}

QString reference(const Bookmark& bookmark) {
    QString text = firstVerse(bookmark);
    if (bookmark.verseEnd && *bookmark.verseEnd != bookmark.verseStart)
        text += QStringLiteral("\u2013%1").arg(*bookmark.verseEnd);
    return text;
}

Bookmark newBookmark(const QString& filterBucket) {
    Bookmark bookmark;
    bookmark.book = QStringLiteral("John");
    bookmark.chapter = 3;
    bookmark.verseStart = 16;
    bookmark.verseEnd = 16;
    if (filterBucket != allBuckets)
        bookmark.bucket = filterBucket;
    bookmark.color = allowedColors().first();
    return bookmark;
}

Bookmark normalized(Bookmark edited, const std::vector<Bookmark>& list) {
    if (edited.label.isEmpty())
        edited.label = firstVerse(edited);
    if (edited.id.isEmpty())
        edited.id = unusedId(Slug::slugify(edited.label), list);
    const QString bucket = edited.bucket.value_or(QString()).trimmed();
    edited.bucket = bucket.isEmpty() ? std::nullopt : std::optional(bucket);
    const QString color = edited.color.value_or(QString()).trimmed().toLower();
    const bool named = allowedColors().contains(color) && color != allowedColors().first();
    edited.color = named ? std::optional(color) : std::nullopt;
    return edited;
}

std::vector<Bookmark> withEdit(std::vector<Bookmark> list, const Bookmark& edited) {
    Bookmark stored = normalized(edited, list);
    const auto same = std::find_if(list.begin(), list.end(),
                                   [&](const Bookmark& entry) { return entry.id == stored.id; });
    if (same != list.end())
        *same = std::move(stored);
    else
        list.push_back(std::move(stored));
    return list;
}

std::optional<std::vector<Bookmark>> moved(std::vector<Bookmark> list, int position, int delta) {
    const int target = position + delta;
    if (!inside(list, position) || !inside(list, target))
        return std::nullopt;
    std::swap(list[size_t(position)], list[size_t(target)]);
    return list;
}

std::optional<std::vector<Bookmark>> movedTo(std::vector<Bookmark> list, int from, int before) {
    if (!inside(list, from) || before < 0 || size_t(before) > list.size() || before == from ||
        before == from + 1)
        return std::nullopt;
    const auto first = list.begin();
    if (before < from)
        std::rotate(first + before, first + from, first + from + 1);
    else
        std::rotate(first + from, first + from + 1, first + before);
    return list;
}

std::vector<Bookmark> without(std::vector<Bookmark> list, const QString& id) {
    std::erase_if(list, [&](const Bookmark& entry) { return entry.id == id; });
    return list;
}

} // namespace BookmarkEdits
