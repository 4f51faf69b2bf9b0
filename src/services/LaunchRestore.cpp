#include "services/LaunchRestore.h"

#include "services/HealthMonitor.h"
#include "services/PidFile.h"
#include "services/PortOwner.h"
#include "services/ServerLog.h"

using namespace std::chrono_literals;

namespace LaunchRestore {

namespace {

// Ends an earlier run's server that no longer answers, with its children and
// whatever still listens on the port.
QCoro::Task<> endOrphan(Context context, qint32 pid) {
    context.log.append(QStringLiteral("Orphan server PID ") + QString::number(pid) +
                       QStringLiteral(" failed health \u2014 terminating"));
    co_await context.ports.terminateTree(pid);
    co_await CancellationToken::sleep(400ms, context.token);
    if (context.token->isCancelled())
        co_return;
    co_await context.ports.killListenersOnPort(context.port);
    if (!context.token->isCancelled())
        PidFile::clear();
}

} // namespace

QCoro::Task<std::optional<HealthResponse>> findServer(Context context) {
    const auto cancelled = [&] { return context.token->isCancelled(); };
    std::optional<HealthResponse> answer;
    if (const auto pid = PidFile::read();
        pid && context.ports.processExists(*pid) && context.ports.isServerProcess(*pid)) {
        const QString note = QStringLiteral("Launch health (PID ") + QString::number(*pid) + ")";
        answer = co_await context.health.firstAnswer(4, 400ms, note, context.token);
        if (answer || cancelled())
            co_return answer;
        co_await endOrphan(context, *pid);
        if (cancelled())
            co_return std::nullopt;
    } else if (pid) {
        // Gone, or a reused id that now belongs to some other program.
        PidFile::clear();
    }

    answer = co_await context.health.firstAnswer(4, 400ms, std::nullopt, context.token);
    if (answer || cancelled() || !PortOwner::isLocalTCPPortOpen(context.port))
        co_return answer;
    answer = co_await context.health.firstAnswer(5, 600ms, QStringLiteral("Launch port attach"),
                                                 context.token);
    if (!answer && !cancelled())
        context.log.append(QStringLiteral("Port ") + QString::number(context.port) +
                           QStringLiteral(" is in use but health is not ready \u2014 use Refresh "
                                          "on Dashboard"));
    co_return answer;
}

} // namespace LaunchRestore
