#pragma once

#include "models/Bookmark.h"
#include "models/LessonSlide.h"
#include "models/PlaylistItem.h"

#include <QHash>
#include <QString>
#include <vector>

// How playlist steps read in their rows: a cross before Bible passages, a
// framed picture before slides, and the stored identifier (or "?") when what
// a step names is gone. Made once per list, so that a long playlist looks
// each name up by id instead of searching every bookmark for every row.
class PlaylistRowLabel {
public:
    static inline const QString crossPrefix = QStringLiteral("\u271D  ");
    static inline const QString slidePrefix = QStringLiteral("\U0001F5BC  ");

    PlaylistRowLabel(const std::vector<Bookmark>& bookmarks,
                     const std::vector<LessonSlide>& slides);

    QString text(const PlaylistItem& item) const;

private:
    QHash<QString, QString> bookmarkLabels;
    QHash<QString, QString> slideLabels;
};
