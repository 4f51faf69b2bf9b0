#include "models/TranslationsPayload.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const TranslationsPayload& value) {
    json = nlohmann::json::object();
    JsonFields::setOptional(json, "serverName", value.serverName);
    JsonFields::setOptional(json, "runtimeVersion", value.runtimeVersion);
    JsonFields::set(json, "libraries", value.libraries);
    JsonFields::set(json, "selection", value.selection);
    JsonFields::set(json, "primary", value.primary);
    JsonFields::setOptional(json, "secondary", value.secondary);
    JsonFields::set(json, "compareAvailable", value.compareAvailable);
}

void from_json(const nlohmann::json& json, TranslationsPayload& value) {
    JsonFields::expectObject(json);
    value.serverName = JsonFields::optional<QString>(json, "serverName");
    value.runtimeVersion = JsonFields::optional<QString>(json, "runtimeVersion");
    value.libraries = JsonFields::required<std::vector<TranslationLibraryDTO>>(json, "libraries");
    value.selection = JsonFields::required<TranslationSelectionDTO>(json, "selection");
    value.primary = JsonFields::required<TranslationMetaDTO>(json, "primary");
    value.secondary = JsonFields::optional<TranslationMetaDTO>(json, "secondary");
    value.compareAvailable = JsonFields::required<bool>(json, "compareAvailable");
}
