#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The translation in one role (primary or compare).
struct TranslationMetaDTO {
    QString id;
    QString label;
    std::optional<QString> attribution;
    std::optional<QString> file; // database file name

    bool operator==(const TranslationMetaDTO&) const = default;
};

void to_json(nlohmann::json& json, const TranslationMetaDTO& value);
void from_json(const nlohmann::json& json, TranslationMetaDTO& value);
