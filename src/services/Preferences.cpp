#include "services/Preferences.h"

#include "models/AtomicFileWriter.h"
#include "models/JsonWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

namespace Preferences {

namespace {

using nlohmann::json;

// A missing, unreadable or corrupt file reads as an empty store.
json load() {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return json::object();
    json document = json::parse(file.readAll().toStdString(), nullptr, false);
    return document.is_object() ? document : json::object();
}

std::optional<json> stored(const QString& key) {
    const json document = load();
    const auto it = document.find(key.toStdString());
    if (it == document.end())
        return std::nullopt;
    return *it;
}

VoidResult update(const std::function<void(json&)>& change) {
    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return VoidResult::failure(QStringLiteral("%1: cannot create folder").arg(path));
    json document = load();
    change(document);
    return AtomicFileWriter::write(path, JsonWriter::pretty(document));
}

} // namespace

QString filePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vesperline/preferences.json");
}

bool contains(const QString& key) {
    return stored(key).has_value();
}

std::optional<bool> boolValue(const QString& key) {
    const auto value = stored(key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

std::optional<qint64> integerValue(const QString& key) {
    const auto value = stored(key);
    if (!value || !value->is_number_integer())
        return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > std::uint64_t(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(u);
    }
    return value->get<qint64>();
}

std::optional<QString> stringValue(const QString& key) {
    const auto value = stored(key);
    if (!value || !value->is_string())
        return std::nullopt;
    return QString::fromStdString(value->get<std::string>());
}

VoidResult setBool(const QString& key, bool value) {
    return update([&](json& d) { d[key.toStdString()] = value; });
}

VoidResult setInteger(const QString& key, qint64 value) {
    return update([&](json& d) { d[key.toStdString()] = value; });
}

VoidResult setString(const QString& key, const QString& value) {
    return update([&](json& d) { d[key.toStdString()] = value.toStdString(); });
}

VoidResult remove(const QString& key) {
    if (!contains(key))
        return VoidResult::success();
    return update([&](json& d) { d.erase(key.toStdString()); });
}

} // namespace Preferences
