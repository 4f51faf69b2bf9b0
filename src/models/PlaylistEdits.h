#pragma once

#include "models/PlaylistsConfig.h"

#include <QString>
#include <optional>

// The changes the Playlists screen makes to the playlists document. Each one
// edits the caller's copy in place and says whether anything changed, so that
// the caller saves only real changes. Identifiers that come from the clock
// take the time as an argument.
namespace PlaylistEdits {

// Lower case, every run of characters other than a-z and 0-9 made one "-",
// no "-" at the ends, at most 48 characters; a name of punctuation only
// becomes "slide-<epoch seconds>".
QString slideSlug(const QString& base, qint64 epochSeconds);

// "item-" and eight upper-case hexadecimal digits of a new random UUID.
QString newItemId();

// The playlist being edited: the one with `selectedId`, else the first one.
const Playlist* selectedPlaylist(const PlaylistsConfig& config,
                                 const std::optional<QString>& selectedId);

// Appends "Sunday service" as "playlist-<epoch seconds>" and returns its id.
// A second playlist made within the same second gets "-2", "-3"...: two
// playlists sharing an id would be renamed and deleted together.
QString createPlaylist(PlaylistsConfig& config, qint64 epochSeconds);
// Removes every playlist with `id`; returns the first remaining one's id.
std::optional<QString> deletePlaylist(PlaylistsConfig& config, const QString& id);
bool renamePlaylist(PlaylistsConfig& config, const QString& id, const QString& name);

bool addBookmarkItem(PlaylistsConfig& config, const QString& playlistId, const QString& bookmarkId);
bool addSlideItem(PlaylistsConfig& config, const QString& playlistId, const QString& slideId);
// `reference` carries book, chapter and verses; it gets a new item id.
bool addReferenceItem(PlaylistsConfig& config, const QString& playlistId, PlaylistItem reference);
// Swaps the item at `index` with its neighbour `delta` (±1) away.
bool moveItem(PlaylistsConfig& config, const QString& playlistId, int index, int delta);
// Takes the item at `from` out and puts it back so that it ends at `to`.
bool moveItemTo(PlaylistsConfig& config, const QString& playlistId, int from, int to);
bool removeItem(PlaylistsConfig& config, const QString& playlistId, const QString& itemId);

// Replaces the slide with `slide.id` in place, or appends it.
void putSlide(PlaylistsConfig& config, const LessonSlide& slide);
bool relabelSlide(PlaylistsConfig& config, const QString& slideId, const QString& label);
// Removes the slide and every playlist item showing it; returns the removed
// slide, whose image the caller may delete.
std::optional<LessonSlide> deleteSlide(PlaylistsConfig& config, const QString& slideId);

} // namespace PlaylistEdits
