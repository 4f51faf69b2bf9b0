#pragma once

#include "models/Theme.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <vector>

// The document of "themes.json" and of the themes endpoint (read only).
struct ThemesConfig {
    QString defaultThemeId;
    std::vector<Theme> themes;

    bool operator==(const ThemesConfig&) const = default;
};

void to_json(nlohmann::json& json, const ThemesConfig& value);
void from_json(const nlohmann::json& json, ThemesConfig& value);
