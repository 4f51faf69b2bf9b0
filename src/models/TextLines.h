#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Text as the server, its tools and its files give it: UTF-8 bytes, split
// into lines at any line break.
namespace TextLines {

// Absent when the bytes are not valid UTF-8.
std::optional<QString> decode(const QByteArray& bytes);
// Splits at LF, VT, FF, CR, NEL, LS and PS, dropping empty pieces.
QStringList split(const QString& text);

} // namespace TextLines
