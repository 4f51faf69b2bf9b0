#pragma once

#include "models/Result.h"

#include <QByteArray>
#include <QString>

// Every file the program writes goes through here: the bytes land in a
// temporary file in the target's folder, which is then renamed over the target,
// so a reader never sees half a file and a failed write leaves the old one.
namespace AtomicFileWriter {

VoidResult write(const QString& path, const QByteArray& bytes);
// The same for a file that holds a secret: readable by its owner only, from
// the first byte written, and again after every rewrite.
VoidResult writePrivate(const QString& path, const QByteArray& bytes);

// Copies a file the same way (used for seeding large files such as the Bible
// database, where an interrupted plain copy would leave a truncated target).
VoidResult copy(const QString& source, const QString& target);

} // namespace AtomicFileWriter
