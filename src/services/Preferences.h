#pragma once

#include "models/Result.h"

#include <QString>
#include <optional>

// The per-user preferences store: one JSON object in
// $XDG_CONFIG_HOME/Vesperline/preferences.json. Values keep their JSON type,
// and a value of another type than the one asked for reads as absent, so a
// hand-edited "serverPort": "abc" falls back to the default instead of 0.
// Nothing is cached: every read sees the file as it is now.
namespace Preferences {

QString filePath();

bool contains(const QString& key);
std::optional<bool> boolValue(const QString& key);
// Whole numbers only; 8080.5 or "8080" read as absent.
std::optional<qint64> integerValue(const QString& key);
std::optional<QString> stringValue(const QString& key);

VoidResult setBool(const QString& key, bool value);
VoidResult setInteger(const QString& key, qint64 value);
VoidResult setString(const QString& key, const QString& value);
VoidResult remove(const QString& key);

} // namespace Preferences
