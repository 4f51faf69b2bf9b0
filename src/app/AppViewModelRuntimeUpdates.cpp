// AppViewModel's runtime-update operations: switching to the runtime just
// activated, and going back from one that cannot start. They use only the
// server manager's replacement of the rest, so they have a file of their own.
#include "app/AppViewModel.h"
#include "services/BundleRepair.h"
#include "services/FirstStart.h"
#include "services/PidFile.h"
#include "services/ProjectPaths.h"
#include "services/RuntimeRollback.h"
#include "services/ServerManager.h"

QCoro::Task<bool> AppViewModel::switchRuntime(bool forceStart) {
    QPointer<AppViewModel> self(this);
    const bool wasRunning = server_->isRunning();
    // Waited for: the new manager shares the port, and an old server still
    // answering there would be adopted in place of the new runtime's.
    if (wasRunning) {
        auto stopping = server_->stopAsync();
        co_await stopping;
        if (!self)
            co_return false;
    }
    projectRoot_ = ProjectPaths::resolvedReleaseRuntimeRoot(environment_.layout);
    BundleRepair::ensureBundleReady(projectRoot_, {}, environment_.layout);
    // One search: its result is both the fallback path and the new NodeInfo.
    const auto found = environment_.findNode ? environment_.findNode() : std::nullopt;
    const QString nodePath = nodeInfo_ ? nodeInfo_->path : found ? found->path : fallbackNodePath;
    nodeInfo_ = found;
    const bool start = forceStart || wasRunning || startBlockedReasons().isEmpty();
    // With the port free and no server on record, the launch-time restore
    // could only wait out its probes (over a second) before the start.
    const bool nothingToAdopt = !PortOwner::isLocalTCPPortOpen(server_->port()) && !PidFile::read();
    auto restored = replaceServer(server_->port(), nodePath, start, !nothingToAdopt);
    setStatusMessage(QStringLiteral("Runtime ") + ProjectPaths{projectRoot_}.runtimeVersionLabel() +
                     QStringLiteral(" active"));
    notify();
    co_await restored;
    if (!self || !start)
        co_return false;
    auto firstStart = FirstStart::succeeded(server_);
    const bool succeeded = co_await firstStart;
    co_return !succeeded;
}

QCoro::Task<std::optional<QString>> AppViewModel::applyHotPatchedRuntime() {
    QPointer<AppViewModel> self(this);
    const Operation operation(this);
    auto switched = switchRuntime(false);
    const bool crashed = co_await switched;
    if (!self || !crashed)
        co_return std::nullopt;
    const QString failed = ProjectPaths{projectRoot_}.runtimeVersionLabel();
    if (const auto rolledBack = RuntimeRollback::rollBack(); !rolledBack)
        co_return QStringLiteral("Runtime ") + failed +
            QStringLiteral(" failed to start; going back failed: ") + rolledBack.error();
    auto back = switchRuntime(true);
    co_await back;
    if (!self)
        co_return std::nullopt;
    const QString message = QStringLiteral("Runtime ") + failed +
                            QStringLiteral(" failed to start; went back to runtime ") +
                            ProjectPaths{projectRoot_}.runtimeVersionLabel() + QStringLiteral(".");
    setStatusMessage(message);
    co_return message;
}

QCoro::Task<> AppViewModel::rollBackRuntime() {
    const Operation operation(this);
    if (const auto rolledBack = RuntimeRollback::rollBack(); !rolledBack) {
        setStatusMessage(rolledBack.error());
        co_return;
    }
    auto switched = switchRuntime(false);
    co_await switched;
}
