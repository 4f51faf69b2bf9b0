#pragma once

#include "models/Bookmark.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What the Bookmarks screen decides by itself about the church's list:
// buckets and filtering, the reference line, what an edit stores and how the
// order changes. Every change returns a new full list for saving; positions
// always count in the full, unfiltered list.
namespace BookmarkEdits {

// The filter that hides nothing; first of the bucket names.
inline const QString allBuckets = QStringLiteral("All");
// Where a bookmark without a bucket belongs.
inline const QString generalBucket = QStringLiteral("General");

// The accent colour names, "default" first; nothing else is stored.
const QStringList& allowedColors();

// The bucket trimmed; none or a blank one is "General".
QString effectiveBucket(const Bookmark& bookmark);
// "All", then every effective bucket once, in code-point order.
QStringList bucketNames(const std::vector<Bookmark>& bookmarks);
// Positions of the bookmarks shown under the filter, in list order.
std::vector<int> visiblePositions(const std::vector<Bookmark>& bookmarks,
                                  const QString& filterBucket);
// "John 3:16", or "John 3:16–18" for a range.
QString reference(const Bookmark& bookmark);

// What Add opens: John 3:16 in the filtered bucket (none under "All").
Bookmark newBookmark(const QString& filterBucket);
// The bookmark as stored in `list`: a label made from the reference when it
// was left empty, the bucket trimmed (blank is none), only a named accent
// colour, and, for a new bookmark, an identifier from its label that no
// bookmark of the list has yet ("psalm-23", else "psalm-23-2"...), so that
// adding never replaces another bookmark.
Bookmark normalized(Bookmark edited, const std::vector<Bookmark>& list);
// The list with the normalised bookmark in place of the first one with its
// identifier, or appended.
std::vector<Bookmark> withEdit(std::vector<Bookmark> list, const Bookmark& edited);
// Swaps `position` with its neighbour `delta` away; none when that is
// outside the list.
std::optional<std::vector<Bookmark>> moved(std::vector<Bookmark> list, int position, int delta);
// Moves the entry at `from` to just before the entry at `before` (the end
// when it equals the size); none when nothing would change.
std::optional<std::vector<Bookmark>> movedTo(std::vector<Bookmark> list, int from, int before);
// Every entry with the identifier removed.
std::vector<Bookmark> without(std::vector<Bookmark> list, const QString& id);

} // namespace BookmarkEdits
