#pragma once

#include "models/Result.h"

#include <QString>

// Unpacks a gzip-compressed tar archive that came from the network into one
// folder, and nowhere else. The whole archive is refused, with the reason,
// when any entry has an absolute path or a ".." component, is a link whose
// target leaves the folder, or is anything but a file, folder or link
// (devices, pipes); entries extracted before the bad one stay where they
// landed, inside the folder. Blocks its caller until done.
namespace ArchiveExtractor {

// More than this, unpacked, is no runtime but a decompression bomb.
constexpr qint64 maxUnpackedBytes = qint64(4) * 1024 * 1024 * 1024;

VoidResult extract(const QString& archivePath, const QString& destination);

} // namespace ArchiveExtractor
