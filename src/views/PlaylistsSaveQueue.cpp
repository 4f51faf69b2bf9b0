#include "views/PlaylistsSaveQueue.h"

#include "app/AppViewModel.h"

#include <QPointer>

PlaylistsSaveQueue::PlaylistsSaveQueue(AppViewModel& app, QObject* parent)
    : QObject(parent), app(app) {}

const PlaylistsConfig& PlaylistsSaveQueue::document() const {
    if (next_)
        return *next_;
    if (saving_)
        return *saving_;
    return app.playlistsConfig();
}

void PlaylistsSaveQueue::persist(PlaylistsConfig config) {
    if (saving_) {
        next_ = std::move(config);
        Q_EMIT changed();
        return;
    }
    save(std::move(config));
}

QCoro::Task<> PlaylistsSaveQueue::save(PlaylistsConfig config) {
    QPointer<PlaylistsSaveQueue> self(this);
    saving_ = config;
    Q_EMIT changed();
    auto task = app.savePlaylists(std::move(config));
    co_await task;
    if (!self)
        co_return;
    saving_.reset();
    if (next_) {
        PlaylistsConfig newest = std::move(*next_);
        next_.reset();
        save(std::move(newest));
        co_return;
    }
    Q_EMIT changed();
}
