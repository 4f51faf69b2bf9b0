#pragma once

#include "models/PlaylistItemKind.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// One step of a playlist. A `bookmark` step names a bookmark by id (it does not
// copy the passage), a `ref` step carries its own passage, a `slide` step names
// a lesson slide; fields a kind does not use are absent.
struct PlaylistItem {
    QString id;
    PlaylistItemKind kind = PlaylistItemKind::bookmark;
    std::optional<QString> bookmarkId; // bookmark steps: the Bookmark it names
    std::optional<QString> label;
    std::optional<QString> book;    // ref steps
    std::optional<int> chapter;     // ref steps
    std::optional<int> verseStart;  // ref steps
    std::optional<int> verseEnd;    // ref steps
    std::optional<QString> slideId; // slide steps: the LessonSlide it names

    bool operator==(const PlaylistItem&) const = default;
};

void to_json(nlohmann::json& json, const PlaylistItem& value);
void from_json(const nlohmann::json& json, PlaylistItem& value);
