#pragma once

#include <QString>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// Building blocks of the records' to_json/from_json. Decoding is strict: a
// required key that is missing, a value of the wrong JSON type, a fractional
// number where an integer belongs or an unknown enumeration value throws a
// DecodeError, which collects the path ("bookmarks[2].chapter") while it
// unwinds. JsonCoding catches it; nothing outside the decoder sees it.
namespace JsonFields {

class DecodeError : public std::runtime_error {
public:
    explicit DecodeError(const std::string& problem);

    // Called on the way out, innermost first.
    void enterKey(const std::string& key);
    void enterIndex(std::size_t index);

    const std::string& path() const { return path_; }
    const std::string& problem() const { return problem_; }
    // "bookmarks[2].chapter: expected an integer, found a string"
    QString description() const;

private:
    std::string path_;
    std::string problem_;
};

// "a string", "an object", "null"... for messages.
std::string describeType(const nlohmann::json& value);

void expectObject(const nlohmann::json& value);

QString decodeString(const nlohmann::json& value);
int decodeInt(const nlohmann::json& value);
bool decodeBool(const nlohmann::json& value);

template <typename T> struct IsVector : std::false_type {};
template <typename U> struct IsVector<std::vector<U>> : std::true_type {};

template <typename T> T decodeValue(const nlohmann::json& value) {
    if constexpr (std::is_same_v<T, QString>) {
        return decodeString(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return decodeBool(value);
    } else if constexpr (std::is_same_v<T, int>) {
        return decodeInt(value);
    } else if constexpr (IsVector<T>::value) {
        if (!value.is_array())
            throw DecodeError("expected an array, found " + describeType(value));
        T list;
        list.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) {
            try {
                list.push_back(decodeValue<typename T::value_type>(value[i]));
            } catch (DecodeError& error) {
                error.enterIndex(i);
                throw;
            }
        }
        return list;
    } else {
        // Records and enumerations: their own from_json, found by ADL.
        T decoded{};
        from_json(value, decoded);
        return decoded;
    }
}

// A key that must be present and not null.
template <typename T> T required(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    try {
        if (it == object.end())
            throw DecodeError("required key is missing");
        return decodeValue<T>(*it);
    } catch (DecodeError& error) {
        error.enterKey(key);
        throw;
    }
}

// A key that may be missing or null; any other value must have the right type.
template <typename T> std::optional<T> optional(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    try {
        return decodeValue<T>(*it);
    } catch (DecodeError& error) {
        error.enterKey(key);
        throw;
    }
}

template <typename T> T valueOr(const nlohmann::json& object, const char* key, const T& fallback) {
    return optional<T>(object, key).value_or(fallback);
}

template <typename T> nlohmann::json encodeValue(const T& value) {
    if constexpr (std::is_same_v<T, QString>) {
        return value.toStdString();
    } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int>) {
        return value;
    } else if constexpr (IsVector<T>::value) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& element : value)
            list.push_back(encodeValue(element));
        return list;
    } else {
        nlohmann::json encoded;
        to_json(encoded, value);
        return encoded;
    }
}

template <typename T> void set(nlohmann::json& object, const char* key, const T& value) {
    object[key] = encodeValue(value);
}

// Absent values are left out, never written as null.
template <typename T>
void setOptional(nlohmann::json& object, const char* key, const std::optional<T>& value) {
    if (value)
        object[key] = encodeValue(*value);
}

} // namespace JsonFields
