#pragma once

#include "models/PlaylistItem.h"

#include <QString>

// What the four fields of "Add Bible reference" make: a `ref` step with book,
// chapter and verses all present. A number that does not read falls back (the
// chapter and the first verse to 1, the last verse to the first), so a hurried
// entry still adds something the operator can see and fix.
namespace BibleReferenceEntry {

PlaylistItem parse(const QString& book, const QString& chapter, const QString& verseStart,
                   const QString& verseEnd);

} // namespace BibleReferenceEntry
