#pragma once

#include <QString>
#include <optional>

// "server.pid" in the support directory: the id of the server child this
// program launched, kept while that child may be alive so that a later run
// can find it. Errors of the file system are ignored: the file only helps.
namespace PidFile {

QString path();
void write(qint64 pid);
// Absent unless the file holds a base-10 32-bit integer above 0.
std::optional<qint32> read();
void clear();

} // namespace PidFile
