#include "models/PlaylistItemKind.h"

#include "models/JsonFields.h"

QString rawValue(PlaylistItemKind kind) {
    switch (kind) {
    case PlaylistItemKind::bookmark:
        return QStringLiteral("bookmark");
    case PlaylistItemKind::ref:
        return QStringLiteral("ref");
    case PlaylistItemKind::slide:
        return QStringLiteral("slide");
    }
    Q_UNREACHABLE();
}

std::optional<PlaylistItemKind> playlistItemKindFromRawValue(const QString& text) {
    for (auto kind : {PlaylistItemKind::bookmark, PlaylistItemKind::ref, PlaylistItemKind::slide}) {
        if (rawValue(kind) == text)
            return kind;
    }
    return std::nullopt;
}

void to_json(nlohmann::json& json, const PlaylistItemKind& value) {
    json = rawValue(value).toStdString();
}

void from_json(const nlohmann::json& json, PlaylistItemKind& value) {
    const QString text = JsonFields::decodeString(json);
    const auto kind = playlistItemKindFromRawValue(text);
    if (!kind)
        throw JsonFields::DecodeError("unknown kind \"" + text.toStdString() +
                                      R"(", expected "bookmark", "ref" or "slide")");
    value = *kind;
}
