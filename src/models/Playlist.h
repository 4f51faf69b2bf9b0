#pragma once

#include "models/PlaylistItem.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <vector>

// A named list of steps in presentation order; told apart by `id`.
struct Playlist {
    QString id;
    QString name;
    std::vector<PlaylistItem> items; // in presentation order

    bool operator==(const Playlist&) const = default;
};

void to_json(nlohmann::json& json, const Playlist& value);
void from_json(const nlohmann::json& json, Playlist& value);
