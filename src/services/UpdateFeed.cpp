#include "services/UpdateFeed.h"

#include "models/JsonFields.h"

#include <QRegularExpression>

std::optional<QString> UpdateFeedLatest::problem() const {
    // The version becomes part of a file name under the runtime folder.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9._-]+$"));
    if (!plainName.match(version).hasMatch() || version.contains(QLatin1String("..")))
        return QStringLiteral("The update feed names an unusable runtime version \"%1\".")
            .arg(version);
    const QUrl address = archiveURL();
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.isRelative() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QStringLiteral("The update feed's download address is not a web address: %1")
            .arg(url);
    return std::nullopt;
}

QUrl UpdateFeedLatest::archiveURL() const {
    return QUrl(url, QUrl::StrictMode);
}

void from_json(const nlohmann::json& json, UpdateFeedLatest& value) {
    JsonFields::expectObject(json);
    value.version = JsonFields::required<QString>(json, "version");
    value.url = JsonFields::required<QString>(json, "url");
    value.sha256 = JsonFields::required<QString>(json, "sha256");
    value.ed25519 = JsonFields::optional<QString>(json, "ed25519");
    value.notes = JsonFields::optional<QString>(json, "notes");
    value.minAppVersion = JsonFields::optional<QString>(json, "minAppVersion");
}

void from_json(const nlohmann::json& json, UpdateFeed& value) {
    JsonFields::expectObject(json);
    value.latest = JsonFields::required<UpdateFeedLatest>(json, "latest");
}
