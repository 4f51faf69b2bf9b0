#include "models/PlaylistRowLabel.h"

namespace {

const QString unknown = QStringLiteral("?");

// The first record with an id names it, as a search from the top would.
template <typename Record> QHash<QString, QString> labelsById(const std::vector<Record>& records) {
    QHash<QString, QString> labels;
    labels.reserve(qsizetype(records.size()));
    for (const Record& record : records)
        if (!labels.contains(record.id))
            labels.insert(record.id, record.label);
    return labels;
}

QString labelOf(const QHash<QString, QString>& labels, const std::optional<QString>& id) {
    if (!id)
        return unknown;
    return labels.value(*id, *id);
}

QString passage(const PlaylistItem& item) {
    const int verseStart = item.verseStart.value_or(0);
    QString text = item.book.value_or(unknown) + u' ' + QString::number(item.chapter.value_or(0)) +
                   u':' + QString::number(verseStart);
    if (item.verseEnd && *item.verseEnd != verseStart)
        text += u'\u2013' + QString::number(*item.verseEnd);
    return text;
}

} // namespace

PlaylistRowLabel::PlaylistRowLabel(const std::vector<Bookmark>& bookmarks,
                                   const std::vector<LessonSlide>& slides)
    : bookmarkLabels(labelsById(bookmarks)), slideLabels(labelsById(slides)) {}

QString PlaylistRowLabel::text(const PlaylistItem& item) const {
    switch (item.kind) {
    case PlaylistItemKind::bookmark:
        return crossPrefix + labelOf(bookmarkLabels, item.bookmarkId);
    case PlaylistItemKind::slide:
        return slidePrefix + labelOf(slideLabels, item.slideId);
    case PlaylistItemKind::ref:
        return crossPrefix + (item.label ? *item.label : passage(item));
    }
    return unknown;
}
