#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <qcoro/qcorotask.h>

// Cooperative cancellation for coroutine tasks on the main thread. A task keeps
// the token it was started with; cancelling it wakes the task's current wait
// at once, and the task sees isCancelled() at its next check and ends.
class CancellationToken : public QObject {
    Q_OBJECT

public:
    static std::shared_ptr<CancellationToken> create();

    bool isCancelled() const { return cancelled; }
    void cancel();

    // Waits for the duration, or less when the token is cancelled meanwhile.
    static QCoro::Task<> sleep(std::chrono::milliseconds duration,
                               std::shared_ptr<CancellationToken> token);

Q_SIGNALS:
    void cancellationRequested();

private:
    bool cancelled = false;
};

using CancellationHandle = std::shared_ptr<CancellationToken>;

// Cancels the task a handle refers to and forgets it.
inline void cancelTask(CancellationHandle& handle) {
    if (handle)
        handle->cancel();
    handle.reset();
}
