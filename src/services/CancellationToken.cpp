#include "services/CancellationToken.h"

#include <qcoro/qcorotimer.h>

std::shared_ptr<CancellationToken> CancellationToken::create() {
    return std::make_shared<CancellationToken>();
}

void CancellationToken::cancel() {
    if (cancelled)
        return;
    cancelled = true;
    Q_EMIT cancellationRequested();
}

QCoro::Task<> CancellationToken::sleep(std::chrono::milliseconds duration,
                                       std::shared_ptr<CancellationToken> token) {
    if (token && token->isCancelled())
        co_return;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    if (token) {
        // Firing the timer early is how a cancelled wait returns.
        QObject::connect(token.get(), &CancellationToken::cancellationRequested, &timer,
                         [&timer] { timer.start(0); });
    }
    timer.start(duration);
    co_await qCoro(&timer).waitForTimeout();
}
