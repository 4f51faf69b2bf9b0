#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The body of GET "/api/health". Every key may be missing (or null) and then
// takes the default below; a key of the wrong JSON type fails the decoding,
// so "ok": "yes" is never read as a healthy server. Only ever decoded.
struct HealthResponse {
    bool ok = false;
    bool db = false;
    int clients = 0;
    QString themeId = QStringLiteral("lowerThird");
    std::optional<QString> translationId;
    std::optional<QString> translationLabel;
    std::optional<QString> serverName;
    std::optional<QString> runtimeVersion;
    std::optional<QString> runtimeNotes;
    std::optional<QString> runtimeChannel;
    std::optional<QString> runtimeRoot;

    bool operator==(const HealthResponse&) const = default;
};

void from_json(const nlohmann::json& json, HealthResponse& value);
