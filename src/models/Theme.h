#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

// A look of the output page; told apart by `id`.
struct Theme {
    QString id;
    QString name;
    QString layout; // layout name the output page understands

    bool operator==(const Theme&) const = default;
};

void to_json(nlohmann::json& json, const Theme& value);
void from_json(const nlohmann::json& json, Theme& value);
