#pragma once

#include <QString>
#include <optional>

// Where lesson slide images live: "media/slides" in the support directory.
// A slide's image name comes from "playlists.json" or from the server, so it
// is only trusted as a bare file name inside that folder; anything else ("/",
// "\\", "..", an absolute path) names no file at all, and nothing outside the
// folder is ever read as a thumbnail or deleted.
namespace SlideFiles {

QString directory();
// Creates the folder and its parents; the failure reads "<folder>: <reason>".
std::optional<QString> makeDirectory();
// The image's path, or nothing when `imageFile` is not a bare name that
// resolves inside the folder.
std::optional<QString> imagePath(const QString& imageFile);
// Deletes the image when imagePath() allows; a file already gone is fine.
void removeImage(const QString& imageFile);

} // namespace SlideFiles
