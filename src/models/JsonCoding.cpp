#include "models/JsonCoding.h"

#include <QFile>
#include <QStringDecoder>

namespace JsonCoding {

namespace {

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

QString describeException(const std::exception& error) {
    // nlohmann prefixes its messages with "[json.exception.<kind>.<id>] ",
    // which means nothing to the person reading the message.
    QString text = QString::fromStdString(error.what());
    if (text.startsWith("[json.exception.")) {
        const qsizetype end = text.indexOf("] ");
        if (end >= 0)
            text = text.mid(end + 2);
    }
    return text;
}

Result<nlohmann::json> parse(const QByteArray& bytes) {
    if (bytes.trimmed().isEmpty())
        return Result<nlohmann::json>::failure("Invalid JSON: the data is empty");
    if (!isValidUtf8(bytes))
        return Result<nlohmann::json>::failure("Invalid JSON: the data is not valid UTF-8 text");
    try {
        return Result<nlohmann::json>::success(
            nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size()));
    } catch (const std::exception& error) {
        return Result<nlohmann::json>::failure("Invalid JSON: " + describeException(error));
    }
}

Result<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(path + ": " + file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Result<QByteArray>::failure(path + ": " + file.errorString());
    return Result<QByteArray>::success(std::move(bytes));
}

} // namespace JsonCoding
