#pragma once

#include <QString>
#include <QUrl>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// What the update feed offers: one complete runtime, its archive's address,
// checksum and signature. Decoding is strict on the keys it knows and
// ignores the others.
struct UpdateFeedLatest {
    // Dot-separated integers in practice; it also names the downloaded file.
    QString version;
    QString url;
    // 64 hexadecimal digits, either letter case; the signature covers this
    // text exactly as written.
    QString sha256;
    // Standard base64 of the 64-byte Ed25519 signature.
    std::optional<QString> ed25519;
    std::optional<QString> notes;
    // Kept, not evaluated.
    std::optional<QString> minAppVersion;

    // Why this entry cannot be downloaded and stored safely, before anything
    // is fetched or written: a version that is no plain file-name part, or an
    // archive address that is no absolute http(s) URL. Absent when usable.
    std::optional<QString> problem() const;
    // The archive address; valid only when problem() is absent.
    QUrl archiveURL() const;

    bool operator==(const UpdateFeedLatest&) const = default;
};

struct UpdateFeed {
    UpdateFeedLatest latest;

    bool operator==(const UpdateFeed&) const = default;
};

void from_json(const nlohmann::json& json, UpdateFeedLatest& value);
void from_json(const nlohmann::json& json, UpdateFeed& value);
