#pragma once

#include "models/JsonFields.h"
#include "models/Result.h"

#include <QByteArray>
#include <QString>
#include <nlohmann/json.hpp>

// The one way records travel to and from JSON text, for the data files and
// the local server's answers alike. Failures come back as descriptions that
// name what was wrong and where; no exception leaves these functions.
namespace JsonCoding {

// Parses UTF-8 JSON text. Invalid UTF-8, empty input, a syntax error or
// trailing garbage is a failure beginning "Invalid JSON: ".
Result<nlohmann::json> parse(const QByteArray& bytes);

// Reads a whole file; the failure is "<path>: <reason>".
Result<QByteArray> readFile(const QString& path);

QString describeException(const std::exception& error);

template <typename T> Result<T> fromJson(const nlohmann::json& document) {
    try {
        return Result<T>::success(JsonFields::decodeValue<T>(document));
    } catch (const JsonFields::DecodeError& error) {
        return Result<T>::failure(error.description());
    } catch (const std::exception& error) {
        return Result<T>::failure(describeException(error));
    }
}

template <typename T> Result<T> decode(const QByteArray& bytes) {
    auto document = parse(bytes);
    if (!document)
        return Result<T>::failure(document.error());
    return fromJson<T>(document.value());
}

// Reads a whole file and decodes it: a read failure is "<path>: <reason>",
// a decoding failure the decoder's own description.
template <typename T> Result<T> decodeFile(const QString& path) {
    auto bytes = readFile(path);
    if (!bytes)
        return Result<T>::failure(bytes.error());
    return decode<T>(bytes.value());
}

// Absent optional fields are left out; pass the result to JsonWriter.
template <typename T> nlohmann::json encode(const T& value) {
    return JsonFields::encodeValue(value);
}

} // namespace JsonCoding
