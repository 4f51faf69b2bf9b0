#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// What a playlist step shows; stored as its raw text. Any other text makes the
// whole document fail to decode rather than silently drop the step.
enum class PlaylistItemKind { bookmark, ref, slide };

QString rawValue(PlaylistItemKind kind);
std::optional<PlaylistItemKind> playlistItemKindFromRawValue(const QString& text);

void to_json(nlohmann::json& json, const PlaylistItemKind& value);
void from_json(const nlohmann::json& json, PlaylistItemKind& value);
