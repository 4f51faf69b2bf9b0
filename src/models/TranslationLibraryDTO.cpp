#include "models/TranslationLibraryDTO.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const TranslationLibraryDTO& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "file", value.file);
    JsonFields::set(json, "label", value.label);
    JsonFields::set(json, "verseCount", value.verseCount);
}

void from_json(const nlohmann::json& json, TranslationLibraryDTO& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.file = JsonFields::required<QString>(json, "file");
    value.label = JsonFields::required<QString>(json, "label");
    value.verseCount = JsonFields::required<int>(json, "verseCount");
}
