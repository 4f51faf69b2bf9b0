#pragma once

#include "models/HealthResponse.h"
#include "services/CancellationToken.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

class ServerLog;

// Asks the server on 127.0.0.1:port whether it is healthy: single probes that
// log what they found, a few probes in a row for the first answer, and the
// poll every two seconds that reports each outcome. It knows nothing of the
// manager's state: what an answer or a silence means is the manager's call.
// An answer is a decoded body whose "ok" is true.
class HealthMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds pollInterval{2000};

    HealthMonitor(ServerLog& log, int port, QObject* parent = nullptr);
    ~HealthMonitor() override;

    // Applies from the next request (a running poll keeps its port).
    void setPort(int port) { port_ = port; }

    QCoro::Task<std::optional<HealthResponse>> probe(QString note, bool quiet);
    // Up to `attempts` probes `interval` apart, the first logged under `note`
    // (all quiet without one); ends early once `token` is cancelled.
    QCoro::Task<std::optional<HealthResponse>> firstAnswer(int attempts,
                                                           std::chrono::milliseconds interval,
                                                           std::optional<QString> note,
                                                           CancellationHandle token);
    // The decoded body whatever its "ok" says; absent on any failure.
    QCoro::Task<std::optional<HealthResponse>> read();

    // The first request goes out at once, so a server already listening is
    // recognised without delay. Starting again restarts the poll.
    void startPolling();
    void stopPolling();
    bool isPolling() const { return bool(pollTask_); }

Q_SIGNALS:
    void polled(const std::optional<HealthResponse>& answer);

private:
    QCoro::Task<> pollLoop(CancellationHandle token);

    ServerLog& log_;
    int port_;
    CancellationHandle pollTask_;
};
