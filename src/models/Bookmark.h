#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// A saved Bible passage; told apart within its list by `id`.
struct Bookmark {
    QString id;
    QString label; // display name
    QString book;  // book name as the server knows it, e.g. "John"
    int chapter = 0;
    int verseStart = 0;
    std::optional<int> verseEnd;   // absent for a single verse
    std::optional<QString> bucket; // group name; the tablet app shows one filter tab per bucket
    std::optional<QString> color;  // accent colour name chosen in the editor

    bool operator==(const Bookmark&) const = default;
};

void to_json(nlohmann::json& json, const Bookmark& value);
void from_json(const nlohmann::json& json, Bookmark& value);
