#include "models/ThemesConfig.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const ThemesConfig& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "defaultThemeId", value.defaultThemeId);
    JsonFields::set(json, "themes", value.themes);
}

void from_json(const nlohmann::json& json, ThemesConfig& value) {
    JsonFields::expectObject(json);
    value.defaultThemeId = JsonFields::required<QString>(json, "defaultThemeId");
    value.themes = JsonFields::required<std::vector<Theme>>(json, "themes");
}
