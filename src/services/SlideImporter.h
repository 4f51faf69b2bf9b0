#pragma once

#include "models/PlaylistsConfig.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Turns the files an operator chose into lesson slides in "media/slides":
// images (PNG, JPEG, WebP, GIF) are copied as they are; a PDF deck becomes
// one PNG per page, drawn at the output size. Same-named imports replace the
// earlier slide and its file, which is written atomically, so a failed copy
// leaves the old image in place.
namespace SlideImporter {

// For the open panel.
QString nameFilter();

struct Outcome {
    PlaylistsConfig config;       // the given document with the slides imported so far
    std::optional<QString> error; // the last failure; other files still imported
    bool cancelled = false;
};

// Told (done, total) before each image or page; returning false stops the
// import, keeping what was already made.
using Progress = std::function<bool(int done, int total)>;

Outcome importFiles(PlaylistsConfig config, const QStringList& paths, const QSize& outputSize,
                    qint64 epochSeconds, const Progress& progress);

// "easter-sunday" and "Easter Sunday" both title a deck "Easter Sunday".
QString deckTitle(const QString& base);

} // namespace SlideImporter
