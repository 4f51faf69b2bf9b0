#include "models/PlaylistItem.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const PlaylistItem& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "kind", value.kind);
    JsonFields::setOptional(json, "bookmarkId", value.bookmarkId);
    JsonFields::setOptional(json, "label", value.label);
    JsonFields::setOptional(json, "book", value.book);
    JsonFields::setOptional(json, "chapter", value.chapter);
    JsonFields::setOptional(json, "verseStart", value.verseStart);
    JsonFields::setOptional(json, "verseEnd", value.verseEnd);
    JsonFields::setOptional(json, "slideId", value.slideId);
}

void from_json(const nlohmann::json& json, PlaylistItem& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.kind = JsonFields::required<PlaylistItemKind>(json, "kind");
    value.bookmarkId = JsonFields::optional<QString>(json, "bookmarkId");
    value.label = JsonFields::optional<QString>(json, "label");
    value.book = JsonFields::optional<QString>(json, "book");
    value.chapter = JsonFields::optional<int>(json, "chapter");
    value.verseStart = JsonFields::optional<int>(json, "verseStart");
    value.verseEnd = JsonFields::optional<int>(json, "verseEnd");
    value.slideId = JsonFields::optional<QString>(json, "slideId");
}
