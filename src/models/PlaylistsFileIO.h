#pragma once

#include "models/PlaylistsConfig.h"
#include "models/Result.h"

#include <QString>

// Writes "playlists.json" (only while the server is stopped; while it runs,
// the server owns the file). Reading is the caller's: JsonCoding::decodeFile.
namespace PlaylistsFileIO {

// Pretty JSON with sorted keys and one final line feed, written atomically: on
// failure the previous file is untouched and the error says why.
VoidResult save(const PlaylistsConfig& config, const QString& file);

} // namespace PlaylistsFileIO
