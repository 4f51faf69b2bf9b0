#pragma once

#include "models/LessonSlide.h"
#include "models/Playlist.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <vector>

// The document of "playlists.json" and of the playlists endpoints. The empty
// value is what the program holds before anything is loaded.
struct PlaylistsConfig {
    std::vector<Playlist> playlists;
    std::vector<LessonSlide> slides;

    bool operator==(const PlaylistsConfig&) const = default;
};

void to_json(nlohmann::json& json, const PlaylistsConfig& value);
void from_json(const nlohmann::json& json, PlaylistsConfig& value);
