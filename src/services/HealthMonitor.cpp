#include "services/HealthMonitor.h"

#include "services/APIClient.h"
#include "services/ServerLog.h"

#include <QPointer>

// Every coroutine is made into a named task before it is awaited: GCC 12
// destroys the temporaries of a co_await full-expression twice.

namespace {

const QString healthPath = QStringLiteral("/api/health");

// Launches a coroutine and lets it run to completion on its own.
void launch(QCoro::Task<>&& task) {
    Q_UNUSED(task);
}

} // namespace

HealthMonitor::HealthMonitor(ServerLog& log, int port, QObject* parent)
    : QObject(parent), log_(log), port_(port) {}

HealthMonitor::~HealthMonitor() {
    stopPolling();
}

QCoro::Task<std::optional<HealthResponse>> HealthMonitor::probe(QString note, bool quiet) {
    QPointer<HealthMonitor> self(this);
    auto request = APIClient(port_).get<HealthResponse>(healthPath);
    const auto result = co_await request;
    if (!self)
        co_return std::nullopt;
    std::optional<HealthResponse> answer;
    QString outcome = QStringLiteral(": health OK");
    if (!result.ok())
        outcome = QStringLiteral(": health failed (") + result.error().description() + ")";
    else if (!result.value().ok)
        outcome = QStringLiteral(": health not OK");
    else
        answer = result.value();
    if (!quiet)
        log_.append(note + outcome);
    co_return answer;
}

QCoro::Task<std::optional<HealthResponse>>
HealthMonitor::firstAnswer(int attempts, std::chrono::milliseconds interval,
                           std::optional<QString> note, CancellationHandle token) {
    QPointer<HealthMonitor> self(this);
    for (int attempt = 0; attempt < attempts && self && !token->isCancelled(); ++attempt) {
        if (attempt > 0) {
            auto pause = CancellationToken::sleep(interval, token);
            co_await pause;
            if (!self || token->isCancelled())
                break;
        }
        auto request = probe(note.value_or(QString()), !note || attempt > 0);
        auto answer = co_await request;
        if (answer)
            co_return answer;
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<HealthResponse>> HealthMonitor::read() {
    auto request = APIClient(port_).get<HealthResponse>(healthPath);
    const auto result = co_await request;
    co_return result.ok() ? std::optional<HealthResponse>(result.value()) : std::nullopt;
}

void HealthMonitor::startPolling() {
    cancelTask(pollTask_);
    pollTask_ = CancellationToken::create();
    launch(pollLoop(pollTask_));
}

void HealthMonitor::stopPolling() {
    cancelTask(pollTask_);
}

QCoro::Task<> HealthMonitor::pollLoop(CancellationHandle token) {
    QPointer<HealthMonitor> self(this);
    const APIClient client(port_);
    while (self && !token->isCancelled()) {
        auto request = client.get<HealthResponse>(healthPath);
        const auto result = co_await request;
        if (!self || token->isCancelled())
            co_return;
        const bool answered = result.ok() && result.value().ok;
        Q_EMIT polled(answered ? std::optional<HealthResponse>(result.value()) : std::nullopt);
        auto pause = CancellationToken::sleep(pollInterval, token);
        co_await pause;
    }
}
