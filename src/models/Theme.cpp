#include "models/Theme.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const Theme& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "name", value.name);
    JsonFields::set(json, "layout", value.layout);
}

void from_json(const nlohmann::json& json, Theme& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.name = JsonFields::required<QString>(json, "name");
    value.layout = JsonFields::required<QString>(json, "layout");
}
