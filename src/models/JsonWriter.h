#pragma once

#include <QByteArray>
#include <nlohmann/json.hpp>

// The one JSON text layout of every file the program writes: two-space
// indentation, keys sorted at every level (nlohmann's default std::map objects
// keep them sorted), exactly one final line feed.
namespace JsonWriter {

QByteArray pretty(const nlohmann::json& document);

// No whitespace, for request bodies.
QByteArray compact(const nlohmann::json& document);

} // namespace JsonWriter
