#include "models/JsonWriter.h"

namespace JsonWriter {

QByteArray pretty(const nlohmann::json& document) {
    // Replace invalid UTF-8 instead of throwing: a stray byte in a label must
    // not make a save fail.
    std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    text.push_back('\n');
    return QByteArray::fromStdString(text);
}

QByteArray compact(const nlohmann::json& document) {
    return QByteArray::fromStdString(
        document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace JsonWriter
