#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The translation choice sent to the server.
struct TranslationSelectionRequest {
    QString primaryId;
    std::optional<QString> secondaryId; // compare translation; absent (or empty) for none

    bool operator==(const TranslationSelectionRequest&) const = default;
};

void to_json(nlohmann::json& json, const TranslationSelectionRequest& value);
void from_json(const nlohmann::json& json, TranslationSelectionRequest& value);
