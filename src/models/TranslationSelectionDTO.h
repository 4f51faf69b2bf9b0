#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The server's current translation choice.
struct TranslationSelectionDTO {
    QString primaryId;
    std::optional<QString> secondaryId; // compare translation; absent for none

    bool operator==(const TranslationSelectionDTO&) const = default;
};

void to_json(nlohmann::json& json, const TranslationSelectionDTO& value);
void from_json(const nlohmann::json& json, TranslationSelectionDTO& value);
