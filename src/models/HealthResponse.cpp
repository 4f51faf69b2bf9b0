#include "models/HealthResponse.h"

#include "models/JsonFields.h"

void from_json(const nlohmann::json& json, HealthResponse& value) {
    JsonFields::expectObject(json);
    const HealthResponse defaults;
    value.ok = JsonFields::valueOr(json, "ok", defaults.ok);
    value.db = JsonFields::valueOr(json, "db", defaults.db);
    value.clients = JsonFields::valueOr(json, "clients", defaults.clients);
    value.themeId = JsonFields::valueOr(json, "themeId", defaults.themeId);
    value.translationId = JsonFields::optional<QString>(json, "translationId");
    value.translationLabel = JsonFields::optional<QString>(json, "translationLabel");
    value.serverName = JsonFields::optional<QString>(json, "serverName");
    value.runtimeVersion = JsonFields::optional<QString>(json, "runtimeVersion");
    value.runtimeNotes = JsonFields::optional<QString>(json, "runtimeNotes");
    value.runtimeChannel = JsonFields::optional<QString>(json, "runtimeChannel");
    value.runtimeRoot = JsonFields::optional<QString>(json, "runtimeRoot");
}
