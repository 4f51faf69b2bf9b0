#pragma once

#include "models/Bookmark.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <vector>

// The document of "bookmarks.json" and of the bookmarks endpoints.
struct BookmarksConfig {
    std::vector<Bookmark> bookmarks;

    bool operator==(const BookmarksConfig&) const = default;
};

void to_json(nlohmann::json& json, const BookmarksConfig& value);
void from_json(const nlohmann::json& json, BookmarksConfig& value);
