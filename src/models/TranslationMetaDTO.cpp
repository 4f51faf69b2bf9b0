#include "models/TranslationMetaDTO.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const TranslationMetaDTO& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "label", value.label);
    JsonFields::setOptional(json, "attribution", value.attribution);
    JsonFields::setOptional(json, "file", value.file);
}

void from_json(const nlohmann::json& json, TranslationMetaDTO& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.label = JsonFields::required<QString>(json, "label");
    value.attribution = JsonFields::optional<QString>(json, "attribution");
    value.file = JsonFields::optional<QString>(json, "file");
}
