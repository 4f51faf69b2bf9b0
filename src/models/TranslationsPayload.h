#pragma once

#include "models/TranslationLibraryDTO.h"
#include "models/TranslationMetaDTO.h"
#include "models/TranslationSelectionDTO.h"

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <vector>

// The body of both translations endpoints.
struct TranslationsPayload {
    std::optional<QString> serverName;
    std::optional<QString> runtimeVersion;
    std::vector<TranslationLibraryDTO> libraries;
    TranslationSelectionDTO selection;
    TranslationMetaDTO primary;
    std::optional<TranslationMetaDTO> secondary; // present when a compare translation is chosen
    bool compareAvailable = false;               // whether the server allows a compare translation

    bool operator==(const TranslationsPayload&) const = default;
};

void to_json(nlohmann::json& json, const TranslationsPayload& value);
void from_json(const nlohmann::json& json, TranslationsPayload& value);
