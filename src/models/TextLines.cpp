#include "models/TextLines.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace TextLines {

std::optional<QString> decode(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QStringList split(const QString& text) {
    static const QRegularExpression breaks(
        QStringLiteral("[\\n\\x0B\\x0C\\r\\x{85}\\x{2028}\\x{2029}]"));
    return text.split(breaks, Qt::SkipEmptyParts);
}

} // namespace TextLines
