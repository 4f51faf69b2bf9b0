#include "models/BookmarksFileIO.h"

#include "models/AtomicFileWriter.h"
#include "models/JsonCoding.h"
#include "models/JsonWriter.h"

namespace BookmarksFileIO {

VoidResult save(const BookmarksConfig& config, const QString& file) {
    return AtomicFileWriter::write(file, JsonWriter::pretty(JsonCoding::encode(config)));
}

} // namespace BookmarksFileIO
