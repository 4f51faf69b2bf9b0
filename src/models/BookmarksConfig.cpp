#include "models/BookmarksConfig.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const BookmarksConfig& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "bookmarks", value.bookmarks);
}

void from_json(const nlohmann::json& json, BookmarksConfig& value) {
    JsonFields::expectObject(json);
    value.bookmarks = JsonFields::required<std::vector<Bookmark>>(json, "bookmarks");
}
