#pragma once

#include "models/PlaylistsConfig.h"

#include <QObject>
#include <optional>
#include <qcoro/qcorotask.h>

class AppViewModel;

// The Playlists screen's saves, one at a time. While the server runs a save
// is a request, and the model keeps the last document the server confirmed
// until it answers; an edit made meanwhile (the next keystroke of a name, an
// item added) must build on the edit before it, not on that older document,
// or its save would undo the first one. So the newest document handed in is
// what the next edit starts from, and of the edits made while a save is under
// way only the newest is sent when it finishes: typing a name sends at most
// one request at a time.
class PlaylistsSaveQueue : public QObject {
    Q_OBJECT

public:
    explicit PlaylistsSaveQueue(AppViewModel& app, QObject* parent = nullptr);

    // What the screen shows and edits: the newest document not yet saved,
    // else the model's.
    const PlaylistsConfig& document() const;
    bool isSaving() const { return saving_.has_value(); }
    void persist(PlaylistsConfig config);

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<> save(PlaylistsConfig config);

    AppViewModel& app;
    std::optional<PlaylistsConfig> saving_;
    std::optional<PlaylistsConfig> next_;
};
