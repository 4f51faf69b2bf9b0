#include "services/LaunchRestore.h"

#include "services/HealthMonitor.h"
#include "services/PidFile.h"
#include "services/PortOwner.h"
#include "services/ServerLog.h"

using namespace std::chrono_literals;

// Every coroutine is made into a named task before it is awaited: GCC 12
// destroys the temporaries of a co_await full-expression twice.

namespace LaunchRestore {

namespace {

// Ends an earlier run's server that no longer answers, with its children and
// whatever still listens on the port.
QCoro::Task<> endOrphan(Context context, qint32 pid) {
    context.log.append(QStringLiteral("Orphan server PID ") + QString::number(pid) +
                       QStringLiteral(" failed health \u2014 terminating"));
    co_await context.ports.terminateTree(pid);
    auto pause = CancellationToken::sleep(400ms, context.token);
    co_await pause;
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
        auto launchHealth = context.health.firstAnswer(4, 400ms, note, context.token);
        answer = co_await launchHealth;
        if (answer || cancelled())
            co_return answer;
        auto end = endOrphan(context, *pid);
        co_await end;
        if (cancelled())
            co_return std::nullopt;
    } else if (pid) {
        // Gone, or a reused id that now belongs to some other program.
        PidFile::clear();
    }

    auto direct = context.health.firstAnswer(4, 400ms, std::nullopt, context.token);
    answer = co_await direct;
    if (answer || cancelled() || !PortOwner::isLocalTCPPortOpen(context.port))
        co_return answer;
    auto portAttach =
        context.health.firstAnswer(5, 600ms, QStringLiteral("Launch port attach"), context.token);
    answer = co_await portAttach;
    if (!answer && !cancelled())
        context.log.append(QStringLiteral("Port ") + QString::number(context.port) +
                           QStringLiteral(" is in use but health is not ready \u2014 use Refresh "
                                          "on Dashboard"));
    co_return answer;
}

} // namespace LaunchRestore
