#include "models/Bookmark.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const Bookmark& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "label", value.label);
    JsonFields::set(json, "book", value.book);
    JsonFields::set(json, "chapter", value.chapter);
    JsonFields::set(json, "verseStart", value.verseStart);
    JsonFields::setOptional(json, "verseEnd", value.verseEnd);
    JsonFields::setOptional(json, "bucket", value.bucket);
    JsonFields::setOptional(json, "color", value.color);
}

void from_json(const nlohmann::json& json, Bookmark& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.label = JsonFields::required<QString>(json, "label");
    value.book = JsonFields::required<QString>(json, "book");
    value.chapter = JsonFields::required<int>(json, "chapter");
    value.verseStart = JsonFields::required<int>(json, "verseStart");
    value.verseEnd = JsonFields::optional<int>(json, "verseEnd");
    value.bucket = JsonFields::optional<QString>(json, "bucket");
    value.color = JsonFields::optional<QString>(json, "color");
}
