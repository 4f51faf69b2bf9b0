#include "models/PlaylistsFileIO.h"

#include "models/AtomicFileWriter.h"
#include "models/JsonCoding.h"
#include "models/JsonWriter.h"

namespace PlaylistsFileIO {

VoidResult save(const PlaylistsConfig& config, const QString& file) {
    return AtomicFileWriter::write(file, JsonWriter::pretty(JsonCoding::encode(config)));
}

} // namespace PlaylistsFileIO
