#include "models/TranslationSelectionDTO.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const TranslationSelectionDTO& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "primaryId", value.primaryId);
    JsonFields::setOptional(json, "secondaryId", value.secondaryId);
}

void from_json(const nlohmann::json& json, TranslationSelectionDTO& value) {
    JsonFields::expectObject(json);
    value.primaryId = JsonFields::required<QString>(json, "primaryId");
    value.secondaryId = JsonFields::optional<QString>(json, "secondaryId");
}
