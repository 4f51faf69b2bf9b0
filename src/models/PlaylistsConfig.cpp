#include "models/PlaylistsConfig.h"

#include "models/JsonFields.h"

void to_json(nlohmann::json& json, const PlaylistsConfig& value) {
    json = nlohmann::json::object();
    JsonFields::set(json, "playlists", value.playlists);
    JsonFields::set(json, "slides", value.slides);
}

void from_json(const nlohmann::json& json, PlaylistsConfig& value) {
    JsonFields::expectObject(json);
    value.playlists = JsonFields::required<std::vector<Playlist>>(json, "playlists");
    value.slides = JsonFields::required<std::vector<LessonSlide>>(json, "slides");
}
