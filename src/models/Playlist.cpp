#include "models/Playlist.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const Playlist& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "id", value.id);
    JsonFields::set(json, "name", value.name);
    JsonFields::set(json, "items", value.items);
}

void from_json(const nlohmann::json& json, Playlist& value) {
    JsonFields::expectObject(json);
    value.id = JsonFields::required<QString>(json, "id");
    value.name = JsonFields::required<QString>(json, "name");
    value.items = JsonFields::required<std::vector<PlaylistItem>>(json, "items");
}
