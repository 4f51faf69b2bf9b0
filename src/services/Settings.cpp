#include "services/Settings.h"

#include "services/Preferences.h"

#include <QHash>
#include <algorithm>
#include <limits>

namespace {

using Key = Settings::Key;
using Type = Settings::Type;
using OutOfRange = Settings::OutOfRange;

const QHash<Key, Settings::Entry>& table() {
    static const QHash<Key, Settings::Entry> entries{
        {Key::serverPort, {"serverPort", Type::integer, 3847, {}, 1, 65535}},
        {Key::showStartupLog, {"showStartupLog", Type::flag, 1, {}, 0, 1, {}, true}},
        {Key::outputDisplayID,
         {"outputDisplayID",
          Type::integer,
          std::nullopt,
          {},
          0,
          std::numeric_limits<quint32>::max()}},
        {Key::outputWidth, {"outputWidth", Type::integer, 1920, {}, 320, 7680, OutOfRange::clamp}},
        {Key::outputHeight,
         {"outputHeight", Type::integer, 1080, {}, 320, 7680, OutOfRange::clamp}},
        {Key::showWebOutputHint, {"showWebOutputHint", Type::flag, 1, {}, 0, 1, {}, true}},
        // The display output window shows the stage view instead of the output.
        {Key::displayShowsStage, {"displayShowsStage", Type::flag, 0, {}, 0, 1}},
        {Key::uiLayoutVersion,
         {"uiLayoutVersion", Type::integer, 0, {}, 0, std::numeric_limits<int>::max()}},
        {Key::apiBibleId, {"apiBibleId", Type::text, std::nullopt, QString()}},
        // The LAN address the iPad's URL uses, when this computer has several.
        {Key::lanAddress, {"lanAddress", Type::text, std::nullopt, QString()}},
    };
    return entries;
}

// Preference writes that fail leave the value in memory for this session; the
// next launch falls back to the default, which is all a failed write can cost.
void warnIfFailed(const VoidResult& result, const QString& name) {
    if (!result.ok())
        qWarning("Could not store preference %s: %s", qPrintable(name), qPrintable(result.error()));
}

} // namespace

const Settings::Entry& Settings::entry(Key key) {
    return *table().find(key);
}

Settings& Settings::shared() {
    static Settings settings;
    return settings;
}

bool Settings::flag(Key key) {
    const Entry& e = entry(key);
    if (const auto stored = Preferences::boolValue(e.name))
        return *stored;
    const bool fallback = e.defaultNumber.value_or(0) != 0;
    if (e.writeDefault)
        warnIfFailed(Preferences::setBool(e.name, fallback), e.name);
    return fallback;
}

std::optional<qint64> Settings::integer(Key key) {
    const Entry& e = entry(key);
    const auto stored = Preferences::integerValue(e.name);
    if (!stored ||
        (e.outOfRange == OutOfRange::useDefault && (*stored < e.minimum || *stored > e.maximum)))
        return e.defaultNumber;
    return bounded(key, *stored);
}

qint64 Settings::bounded(Key key, qint64 value) {
    const Entry& e = entry(key);
    if (value >= e.minimum && value <= e.maximum)
        return value;
    if (e.outOfRange == OutOfRange::clamp || !e.defaultNumber)
        return std::clamp(value, e.minimum, e.maximum);
    return *e.defaultNumber;
}

QString Settings::text(Key key) {
    const Entry& e = entry(key);
    return Preferences::stringValue(e.name).value_or(e.defaultText);
}

// Each compares before it writes: the order in which arguments are
// evaluated is unspecified.
VoidResult Settings::setFlag(Key key, bool value) {
    const QString& name = entry(key).name;
    const bool changed = Preferences::boolValue(name) != value;
    return stored(key, changed, Preferences::setBool(name, value));
}

VoidResult Settings::setInteger(Key key, qint64 value) {
    const QString& name = entry(key).name;
    value = bounded(key, value);
    const bool changed = Preferences::integerValue(name) != value;
    return stored(key, changed, Preferences::setInteger(name, value));
}

VoidResult Settings::setText(Key key, const QString& value) {
    const QString& name = entry(key).name;
    const bool changed = Preferences::stringValue(name) != value;
    return stored(key, changed, Preferences::setString(name, value));
}

VoidResult Settings::stored(Key key, bool changed, VoidResult result) {
    warnIfFailed(result, entry(key).name);
    if (result.ok() && changed)
        Q_EMIT shared().changed(key);
    return result;
}
