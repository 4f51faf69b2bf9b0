#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

// One installed Bible database the server found.
struct TranslationLibraryDTO {
    QString id;   // translation id
    QString file; // database file name
    QString label;
    int verseCount = 0;

    bool operator==(const TranslationLibraryDTO&) const = default;
};

void to_json(nlohmann::json& json, const TranslationLibraryDTO& value);
void from_json(const nlohmann::json& json, TranslationLibraryDTO& value);
