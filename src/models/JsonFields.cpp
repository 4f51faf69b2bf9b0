#include "models/JsonFields.h"

#include <cmath>
#include <limits>

namespace JsonFields {

DecodeError::DecodeError(const std::string& problem)
    : std::runtime_error(problem), problem_(problem) {}

void DecodeError::enterKey(const std::string& key) {
    path_ = path_.empty() || path_.front() == '[' ? key + path_ : key + "." + path_;
}

void DecodeError::enterIndex(std::size_t index) {
    const std::string segment = "[" + std::to_string(index) + "]";
    path_ = path_.empty() || path_.front() == '[' ? segment + path_ : segment + "." + path_;
}

QString DecodeError::description() const {
    const std::string where = path_.empty() ? std::string("top level") : path_;
    return QString::fromStdString(where + ": " + problem_);
}

std::string describeType(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::null:
        return "null";
    case nlohmann::json::value_t::boolean:
        return "a Boolean";
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
        return "an integer";
    case nlohmann::json::value_t::number_float:
        return "a fractional number";
    case nlohmann::json::value_t::string:
        return "a string";
    case nlohmann::json::value_t::array:
        return "an array";
    case nlohmann::json::value_t::object:
        return "an object";
    default:
        return "an unsupported value";
    }
}

void expectObject(const nlohmann::json& value) {
    if (!value.is_object())
        throw DecodeError("expected an object, found " + describeType(value));
}

QString decodeString(const nlohmann::json& value) {
    if (!value.is_string())
        throw DecodeError("expected a string, found " + describeType(value));
    return QString::fromStdString(value.get_ref<const std::string&>());
}

int decodeInt(const nlohmann::json& value) {
    constexpr auto low = std::numeric_limits<int>::min();
    constexpr auto high = std::numeric_limits<int>::max();
    if (value.is_number_unsigned()) {
        if (value.get<std::uint64_t>() <= std::uint64_t(high))
            return int(value.get<std::uint64_t>());
    } else if (value.is_number_integer()) {
        const auto n = value.get<std::int64_t>();
        if (n >= low && n <= high)
            return int(n);
    } else if (value.is_number_float()) {
        // 3.0 or 3e0 is a whole number written another way; 3.5 is not.
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= low && d <= high)
            return int(d);
        if (std::isfinite(d) && std::trunc(d) != d)
            throw DecodeError("expected an integer, found a fractional number");
    } else {
        throw DecodeError("expected an integer, found " + describeType(value));
    }
    throw DecodeError("expected an integer, found a number out of range");
}

bool decodeBool(const nlohmann::json& value) {
    if (!value.is_boolean())
        throw DecodeError("expected a Boolean, found " + describeType(value));
    return value.get<bool>();
}

} // namespace JsonFields
