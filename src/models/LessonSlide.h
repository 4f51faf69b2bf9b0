#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

// An imported slide image; told apart by `id`.
struct LessonSlide {
    QString id;
    QString label;
    QString imageFile; // file name inside the data directory's "media/slides"

    bool operator==(const LessonSlide&) const = default;
};

void to_json(nlohmann::json& json, const LessonSlide& value);
void from_json(const nlohmann::json& json, LessonSlide& value);
