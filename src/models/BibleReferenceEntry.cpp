#include "models/BibleReferenceEntry.h"

#include <QRegularExpression>

namespace BibleReferenceEntry {

namespace {

// A decimal integer with an optional sign; blanks around it are forgiven.
std::optional<int> integer(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (!decimal.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

} // namespace

PlaylistItem parse(const QString& book, const QString& chapter, const QString& verseStart,
                   const QString& verseEnd) {
    PlaylistItem item;
    item.kind = PlaylistItemKind::ref;
    item.book = book.trimmed();
    item.chapter = integer(chapter).value_or(1);
    item.verseStart = integer(verseStart).value_or(1);
    item.verseEnd = integer(verseEnd).value_or(*item.verseStart);
    return item;
}

} // namespace BibleReferenceEntry
