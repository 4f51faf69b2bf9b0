#include "models/PlaylistEdits.h"

#include "models/Slug.h"

#include <QUuid>
#include <algorithm>

namespace PlaylistEdits {

namespace {

constexpr qsizetype maximumSlugLength = 48;

Playlist* findPlaylist(PlaylistsConfig& config, const QString& id) {
    const auto found = std::find_if(config.playlists.begin(), config.playlists.end(),
                                    [&](const Playlist& playlist) { return playlist.id == id; });
    return found == config.playlists.end() ? nullptr : &*found;
}

bool hasPlaylist(const PlaylistsConfig& config, const QString& id) {
    return std::any_of(config.playlists.begin(), config.playlists.end(),
                       [&](const Playlist& playlist) { return playlist.id == id; });
}

bool appendItem(PlaylistsConfig& config, const QString& playlistId, PlaylistItem item) {
    Playlist* playlist = findPlaylist(config, playlistId);
    if (!playlist)
        return false;
    item.id = newItemId();
    playlist->items.push_back(std::move(item));
    return true;
}

} // namespace

QString slideSlug(const QString& base, qint64 epochSeconds) {
    const QString slug = Slug::slugify(base);
    if (slug.isEmpty())
        return QStringLiteral("slide-") + QString::number(epochSeconds);
    return slug.left(maximumSlugLength);
}

QString newItemId() {
    return QStringLiteral("item-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper();
}

const Playlist* selectedPlaylist(const PlaylistsConfig& config,
                                 const std::optional<QString>& selectedId) {
    if (config.playlists.empty())
        return nullptr;
    if (selectedId)
        for (const Playlist& playlist : config.playlists)
            if (playlist.id == *selectedId)
                return &playlist;
    return &config.playlists.front();
}

QString createPlaylist(PlaylistsConfig& config, qint64 epochSeconds) {
    const QString base = QStringLiteral("playlist-") + QString::number(epochSeconds);
    QString id = base;
    for (int suffix = 2; hasPlaylist(config, id); ++suffix)
        id = base + u'-' + QString::number(suffix);
    config.playlists.push_back(Playlist{id, QStringLiteral("Sunday service"), {}});
    return id;
}

std::optional<QString> deletePlaylist(PlaylistsConfig& config, const QString& id) {
    std::erase_if(config.playlists, [&](const Playlist& playlist) { return playlist.id == id; });
    if (config.playlists.empty())
        return std::nullopt;
    return config.playlists.front().id;
}

bool renamePlaylist(PlaylistsConfig& config, const QString& id, const QString& name) {
    Playlist* playlist = findPlaylist(config, id);
    if (!playlist || playlist->name == name)
        return false;
    playlist->name = name;
    return true;
}

bool addBookmarkItem(PlaylistsConfig& config, const QString& playlistId,
                     const QString& bookmarkId) {
    PlaylistItem item;
    item.kind = PlaylistItemKind::bookmark;
    item.bookmarkId = bookmarkId;
    return appendItem(config, playlistId, std::move(item));
}

bool addSlideItem(PlaylistsConfig& config, const QString& playlistId, const QString& slideId) {
    PlaylistItem item;
    item.kind = PlaylistItemKind::slide;
    item.slideId = slideId;
    return appendItem(config, playlistId, std::move(item));
}

bool addReferenceItem(PlaylistsConfig& config, const QString& playlistId, PlaylistItem reference) {
    reference.kind = PlaylistItemKind::ref;
    return appendItem(config, playlistId, std::move(reference));
}

bool moveItem(PlaylistsConfig& config, const QString& playlistId, int index, int delta) {
    Playlist* playlist = findPlaylist(config, playlistId);
    if (!playlist)
        return false;
    const int count = int(playlist->items.size());
    const int target = index + delta;
    if (index < 0 || index >= count || target < 0 || target >= count || target == index)
        return false;
    std::swap(playlist->items[size_t(index)], playlist->items[size_t(target)]);
    return true;
}

bool moveItemTo(PlaylistsConfig& config, const QString& playlistId, int from, int to) {
    Playlist* playlist = findPlaylist(config, playlistId);
    if (!playlist)
        return false;
    auto& items = playlist->items;
    const int count = int(items.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return false;
    const auto first = items.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    return true;
}

bool removeItem(PlaylistsConfig& config, const QString& playlistId, const QString& itemId) {
    Playlist* playlist = findPlaylist(config, playlistId);
    return playlist && std::erase_if(playlist->items,
                                     [&](const PlaylistItem& item) { return item.id == itemId; });
}

void putSlide(PlaylistsConfig& config, const LessonSlide& slide) {
    for (LessonSlide& existing : config.slides) {
        if (existing.id == slide.id) {
            existing = slide;
            return;
        }
    }
    config.slides.push_back(slide);
}

bool relabelSlide(PlaylistsConfig& config, const QString& slideId, const QString& label) {
    for (LessonSlide& slide : config.slides) {
        if (slide.id == slideId && slide.label != label) {
            slide.label = label;
            return true;
        }
    }
    return false;
}

std::optional<LessonSlide> deleteSlide(PlaylistsConfig& config, const QString& slideId) {
    std::optional<LessonSlide> removed;
    for (const LessonSlide& slide : config.slides)
        if (slide.id == slideId && !removed)
            removed = slide;
    std::erase_if(config.slides, [&](const LessonSlide& slide) { return slide.id == slideId; });
    for (Playlist& playlist : config.playlists)
        std::erase_if(playlist.items, [&](const PlaylistItem& item) {
            return item.kind == PlaylistItemKind::slide && item.slideId == slideId;
        });
    return removed;
}

} // namespace PlaylistEdits
