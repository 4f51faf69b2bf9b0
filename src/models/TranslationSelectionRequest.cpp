#include "models/TranslationSelectionRequest.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const TranslationSelectionRequest& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "primaryId", value.primaryId);
    // An empty id means "no compare translation" just as an absent one does;
    // the server must not be asked for a translation called "".
    if (value.secondaryId && !value.secondaryId->isEmpty())
        JsonFields::set(json, "secondaryId", *value.secondaryId);
}

void from_json(const nlohmann::json& json, TranslationSelectionRequest& value) {
    JsonFields::expectObject(json);
    value.primaryId = JsonFields::required<QString>(json, "primaryId");
    value.secondaryId = JsonFields::optional<QString>(json, "secondaryId");
}
