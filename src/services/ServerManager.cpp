#include "services/ServerManager.h"

#include "models/TextLines.h"
#include "services/LaunchRestore.h"
#include "services/PidFile.h"
#include "services/ServerEnvironment.h"
#include "services/StartPreflight.h"
#include "services/StartupDiagnosis.h"

using namespace std::chrono_literals;

// Every coroutine is made into a named task before it is awaited: GCC 12
// destroys the temporaries of a co_await full-expression twice.

namespace {

// Launches a coroutine and lets it run to completion on its own.
template <typename T> void launch(QCoro::Task<T>&& task) {
    Q_UNUSED(task);
}

QString portText(int port) {
    return QString::number(port);
}

} // namespace

template <typename T, typename V> void ServerManager::publish(T& field, V&& value) {
    T next(std::forward<V>(value));
    if (field == next)
        return;
    field = std::move(next);
    notify();
}

ServerManager::ServerManager(ProjectPaths paths, QString nodePath, int port, QObject* parent)
    : ServerManager(std::move(paths), std::move(nodePath), port, Platform{}, parent) {}

ServerManager::ServerManager(ProjectPaths paths, QString nodePath, int port, Platform platform,
                             QObject* parent)
    : QObject(parent), port_(port), paths_(std::move(paths)), nodePath_(std::move(nodePath)),
      platform_(std::move(platform)), monitor_(log_, port),
      operation_(CancellationToken::create()) {
    connect(&log_, &ServerLog::changed, this, &ServerManager::changed);
    connect(&monitor_, &HealthMonitor::polled, this, &ServerManager::handlePoll);
}

ServerManager::~ServerManager() {
    operation_->cancel();
    log_.closeFile();
}

void ServerManager::setPort(int port) {
    if (port_ == port)
        return;
    port_ = port;
    monitor_.setPort(port);
    notify();
}

std::optional<qint64> ServerManager::childProcessId() const {
    if (!process_)
        return std::nullopt;
    return process_->processId();
}

// ---------------------------------------------------------------- derived state

bool ServerManager::isRunning() const {
    return status_ == ServerStatus::running || status_ == ServerStatus::starting;
}

bool ServerManager::hasRunningErrors() const {
    return status_ == ServerStatus::running && (!health_ || !health_->ok);
}

bool ServerManager::isPortOccupied() const {
    return PortOwner::isLocalTCPPortOpen(port_);
}

bool ServerManager::canForceStop() const {
    return isPortOccupied() || status_ == ServerStatus::crashed ||
           status_ == ServerStatus::starting ||
           (status_ == ServerStatus::running && !spawnedByApp_) || hasRunningErrors();
}

void ServerManager::forgetHealth() {
    monitor_.stopPolling();
    publish(health_, std::nullopt);
}

bool ServerManager::ownChildRunning() const {
    return process_ && process_->isRunning();
}

// ---------------------------------------------------------------- operations

ServerManager::Operation ServerManager::beginOperation() {
    operation_->cancel();
    operation_ = CancellationToken::create();
    return operation_;
}

bool ServerManager::isCurrent(const Operation& operation) const {
    return operation == operation_;
}

bool ServerManager::operationUnderWay() const {
    return status_ == ServerStatus::starting || status_ == ServerStatus::stopping;
}

void ServerManager::settle(ServerStatus status, std::optional<StartupPhase> phase) {
    beginOperation();
    publish(startupPhase_, phase);
    publish(status_, status);
}

// ---------------------------------------------------------------- start

void ServerManager::start() {
    if (status_ == ServerStatus::running) {
        appendLog(QStringLiteral("Start clicked (server already running)"));
        publish(lastError_, std::nullopt);
        publish(startupPhase_, StartupPhase::running);
        launch(refreshHealth());
        return;
    }
    if (status_ != ServerStatus::stopped && status_ != ServerStatus::crashed)
        return;
    // A child of the crashed session that still runs (it stopped answering)
    // is ended, so that its exit is never taken for the new child's.
    if (process_)
        platform_.ports->terminateTreeNow(releaseServer());
    const Operation operation = beginOperation();
    log_.openFile();
    appendLog(QStringLiteral("Start clicked"));
    publish(lastError_, std::nullopt);
    publish(status_, ServerStatus::starting);
    publish(startupPhase_, StartupPhase::probing);
    launch(performStart(operation));
}

QCoro::Task<> ServerManager::performStart(Operation operation) {
    QPointer<ServerManager> self(this);
    const auto current = [&] { return self && isCurrent(operation); };
    const auto problem = StartPreflight::problem(paths_, [self](const QString& line) {
        if (self)
            self->appendLog(line);
    });
    if (problem) {
        failStart(*problem);
        co_return;
    }

    const QString alreadyRunning =
        QStringLiteral("Server already running on port ") + portText(port_);
    auto preStart = monitor_.probe(QStringLiteral("Pre-start health"), false);
    auto health = co_await preStart;
    if (!current())
        co_return;
    if (health) {
        attachToRunningServer(*health, alreadyRunning);
        co_return;
    }
    if (PortOwner::isLocalTCPPortOpen(port_)) {
        appendLog(QStringLiteral("Killing stale server on port ") + portText(port_));
        const auto ports = platform_.ports;
        co_await ports->killListenersOnPort(port_);
        if (!current())
            co_return;
        auto settleDown = CancellationToken::sleep(500ms, operation);
        co_await settleDown;
        if (!current())
            co_return;
        auto postCleanup = monitor_.probe(QStringLiteral("Post-cleanup health"), false);
        health = co_await postCleanup;
        if (!current())
            co_return;
        if (health) {
            attachToRunningServer(*health, alreadyRunning);
            co_return;
        }
    }
    spawnServer(operation);
}

void ServerManager::failStart(const QString& message) {
    publish(lastError_, message);
    settle(ServerStatus::crashed, StartupPhase::failed);
    PidFile::clear();
    appendLog(message);
}

void ServerManager::spawnServer(const Operation& operation) {
    publish(startupPhase_, StartupPhase::launching);
    log_.openFile();
    appendLog(QStringLiteral("Starting server on port ") + portText(port_) + QChar(0x2026));

    ServerProcess* child = platform_.makeProcess(this);
    connect(child, &ServerProcess::standardOutput, this, &ServerManager::readStandardOutput);
    connect(child, &ServerProcess::standardError, this, &ServerManager::readStandardError);
    connect(child, &ServerProcess::exited, this, [this, child](int exitCode, bool normalExit) {
        handleTermination(child, exitCode, normalExit);
    });
    process_ = child;
    stderrBuffer_.clear();
    launchMark_ = log_.mark();

    if (!child->start({nodePath_,
                       {paths_.serverEntryScript()},
                       paths_.runtimeRoot,
                       ServerEnvironment::forChild(paths_, nodePath_, port_)})) {
        const QString error = child->errorString();
        resetProcessState();
        publish(lastError_, StartupDiagnosis::launchFailureMessage(nodePath_, error));
        settle(ServerStatus::crashed, StartupPhase::failed);
        appendLog(*lastError_);
        return;
    }

    spawnedByApp_ = true;
    const qint64 pid = child->processId();
    PidFile::write(pid);
    publish(startupPhase_, StartupPhase::waiting);
    monitor_.startPolling();
    launch(startupWatch(operation, child));
    appendLog(QStringLiteral("Log file: ") + ServerLog::filePath());
    appendLog(QStringLiteral("Server PID: ") + QString::number(pid));
}

void ServerManager::readStandardOutput(const QString& text) {
    for (const QString& line : TextLines::split(text))
        appendLog(line);
    // The server says it accepts requests: ask at once rather than at the
    // next 2-second poll, so the operator sees it running without delay.
    if (status_ == ServerStatus::starting && text.contains(QLatin1String("Listening on")))
        monitor_.startPolling();
}

void ServerManager::readStandardError(const QString& text) {
    stderrBuffer_ = (stderrBuffer_ + text).right(stderrBufferLimit);
    if (status_ == ServerStatus::starting && StartupDiagnosis::mentionsPortInUse(text))
        launch(tryAttachAfterPortConflict(operation_));
    for (const QString& line : TextLines::split(text))
        appendLog(QStringLiteral("\u26A0\uFE0F ") + line);
}

QString ServerManager::launchOutput() const {
    return stderrBuffer_ + "\n" + log_.linesSince(launchMark_).join('\n');
}

QString ServerManager::startupFailureMessage(int exitCode) const {
    const auto diagnosis = StartupDiagnosis::forExit(launchOutput(), exitCode, port_);
    return diagnosis.withLogTail ? ServerLog::withTail(diagnosis.message) : diagnosis.message;
}

QCoro::Task<bool> ServerManager::tryAttachAfterPortConflict(Operation operation) {
    QPointer<ServerManager> self(this);
    auto probe = monitor_.probe(QStringLiteral("Port conflict attach probe"), false);
    const auto health = co_await probe;
    if (!self || !health || !isCurrent(operation))
        co_return false;
    if (process_)
        process_->terminate();
    resetProcessState();
    attachToRunningServer(
        *health, QStringLiteral("Port ") + portText(port_) +
                     QStringLiteral(" was in use; connected to existing Vesperline server"));
    co_return true;
}

QCoro::Task<> ServerManager::attachOrFailAfterPortConflict(Operation operation) {
    QPointer<ServerManager> self(this);
    auto attach = tryAttachAfterPortConflict(operation);
    const bool attached = co_await attach;
    if (!self || attached || !isCurrent(operation))
        co_return;
    forgetHealth();
    log_.closeFile();
    publish(lastError_, StartupDiagnosis::portConflictMessage(port_));
    settle(ServerStatus::crashed, StartupPhase::failed);
}

void ServerManager::resetProcessState() {
    // The released child's output and exit go with it: whenever it exits, that
    // belongs to the operation that let it go.
    if (process_) {
        process_->disconnect(this);
        process_->deleteLater();
        process_ = nullptr;
    }
    spawnedByApp_ = false;
}

void ServerManager::cancelStart() {
    if (status_ == ServerStatus::running) {
        appendLog(QStringLiteral("Start cancel ignored \u2014 server is running"));
        return;
    }
    if (status_ != ServerStatus::starting)
        return;
    forgetHealth();
    platform_.ports->terminateTreeNow(releaseServer());
    healthFailureStreak = 0;
    settle(ServerStatus::stopped, std::nullopt);
    appendLog(QStringLiteral("Start cancelled"));
}

void ServerManager::restart() {
    launch(restartTask());
}

QCoro::Task<> ServerManager::restartTask() {
    QPointer<ServerManager> self(this);
    if (isRunning() || PortOwner::isLocalTCPPortOpen(port_)) {
        // Waits for the stop itself rather than a fixed time: on a slow
        // machine the port may take longer to be freed.
        if ((status_ == ServerStatus::running && !spawnedByApp_) ||
            PortOwner::isLocalTCPPortOpen(port_))
            co_await forceStopOnPortAsync();
        else
            co_await stopAsync();
    }
    if (self && (status_ == ServerStatus::stopped || status_ == ServerStatus::crashed))
        start();
}

// ---------------------------------------------------------------- stopping

std::optional<qint64> ServerManager::stopTarget() const {
    if (process_)
        return process_->isRunning() ? std::optional<qint64>(process_->processId()) : std::nullopt;
    const auto pid = PidFile::read();
    if (!pid)
        return std::nullopt;
    if (!platform_.ports->processExists(*pid) || !platform_.ports->isServerProcess(*pid)) {
        PidFile::clear();
        return std::nullopt;
    }
    return *pid;
}

void ServerManager::stop() {
    launch(stopAsync());
}

ServerManager::Operation ServerManager::beginStopping(const QString& line) {
    const Operation operation = beginOperation();
    monitor_.stopPolling();
    publish(status_, ServerStatus::stopping);
    publish(startupPhase_, std::nullopt);
    appendLog(line);
    return operation;
}

std::optional<qint64> ServerManager::releaseServer() {
    const auto target = stopTarget();
    resetProcessState();
    log_.closeFile();
    PidFile::clear();
    return target;
}

QCoro::Task<> ServerManager::stopAsync() {
    QPointer<ServerManager> self(this);
    if (status_ == ServerStatus::stopping)
        co_return;
    const bool tracking = isRunning();
    if (!tracking && !PortOwner::isLocalTCPPortOpen(port_))
        co_return;
    const auto ports = platform_.ports;
    const bool adopted = status_ == ServerStatus::running && !spawnedByApp_;
    const Operation operation =
        beginStopping(tracking ? QStringLiteral("Stopping server") + QChar(0x2026)
                               : QStringLiteral("Stopping leftover process on port ") +
                                     portText(port_) + QChar(0x2026));
    if (tracking) {
        co_await ports->terminateTree(releaseServer());
        auto pause = CancellationToken::sleep(400ms, operation);
        co_await pause;
    }
    // A forced stop or a new start meanwhile owns the port now: this stop
    // must neither kill its server nor mark it stopped.
    if (!self || !isCurrent(operation))
        co_return;
    co_await ports->killListenersOnPort(port_);
    if (!self || !isCurrent(operation))
        co_return;
    publish(health_, std::nullopt);
    settle(ServerStatus::stopped, std::nullopt);
    if (!tracking)
        appendLog(QStringLiteral("Port ") + portText(port_) + QStringLiteral(" cleared"));
    else if (adopted)
        appendLog(QStringLiteral("Stopped tracking server on port ") + portText(port_) +
                  QStringLiteral(". Port should now be free."));
    else
        appendLog(QStringLiteral("Server stopped"));
}

void ServerManager::forceStopOnPort() {
    launch(forceStopOnPortAsync());
}

// Returns at its first wait: the clean-up goes on without holding up the
// window, and the status says stopping until it is done.
QCoro::Task<> ServerManager::forceStopOnPortAsync() {
    QPointer<ServerManager> self(this);
    const auto ports = platform_.ports;
    const Operation operation = beginStopping(
        QStringLiteral("Force stopping process(es) on port ") + portText(port_) + QChar(0x2026));
    co_await ports->terminateTree(releaseServer());
    co_await ports->killListenersOnPort(port_);
    if (!self || !isCurrent(operation))
        co_return;
    publish(health_, std::nullopt);
    settle(ServerStatus::stopped, std::nullopt);
    appendLog(QStringLiteral("Port ") + portText(port_) +
              QStringLiteral(" should now be free \u2014 you can Start without rebooting"));
}

void ServerManager::shutdownOnTerminate() {
    beginOperation();
    monitor_.stopPolling();
    const bool ours = spawnedByApp_;
    const auto target = releaseServer();
    if (ours)
        platform_.ports->terminateTreeNow(target);
}

void ServerManager::handleTermination(ServerProcess* child, int exitCode, bool normalExit) {
    // Only the child this manager still holds; one it let go of was settled
    // by whoever released it.
    if (child != process_)
        return;
    child->drain();
    const QString output = launchOutput();
    resetProcessState();

    if (status_ == ServerStatus::running) {
        forgetHealth();
        publish(lastError_, QStringLiteral("Server process exited unexpectedly"));
        settle(ServerStatus::crashed, std::nullopt);
        appendLog(*lastError_);
        return;
    }
    if (status_ == ServerStatus::starting && StartupDiagnosis::mentionsPortInUse(output)) {
        launch(attachOrFailAfterPortConflict(operation_));
        return;
    }
    forgetHealth();
    log_.closeFile();
    PidFile::clear();
    if (!normalExit || exitCode != 0) {
        // A child killed by a signal reports the signal number as its code.
        publish(lastError_, startupFailureMessage(exitCode));
        settle(ServerStatus::crashed, StartupPhase::failed);
        appendLog(*lastError_);
    } else {
        settle(ServerStatus::stopped, std::nullopt);
        appendLog(QStringLiteral("Server exited"));
    }
}

// ---------------------------------------------------------------- health

void ServerManager::attachToRunningServer(const HealthResponse& health, const QString& note) {
    // What answers while our own child runs is our child: it stays ours, and
    // quitting ends it.
    if (!ownChildRunning())
        resetProcessState();
    publish(lastError_, std::nullopt);
    publish(health_, health);
    healthFailureStreak = 0;
    settle(ServerStatus::running, StartupPhase::running);
    appendLog(note);
    monitor_.startPolling();
}

void ServerManager::handlePoll(const std::optional<HealthResponse>& answer) {
    if (!isRunning()) {
        monitor_.stopPolling();
        return;
    }
    publish(health_, answer);
    if (answer) {
        healthFailureStreak = 0;
        markServerRunning();
    } else if (++healthFailureStreak >= healthFailureThreshold) {
        // The streak is not reset here: each further failed poll asks again.
        launch(confirmRunningServerLost(operation_));
    }
}

void ServerManager::markServerRunning() {
    if (status_ != ServerStatus::starting)
        return;
    healthFailureStreak = 0;
    settle(ServerStatus::running, StartupPhase::running);
    appendLog(QStringLiteral("Server started on port ") + portText(port_));
}

QCoro::Task<> ServerManager::confirmRunningServerLost(Operation operation) {
    QPointer<ServerManager> self(this);
    if (status_ != ServerStatus::running)
        co_return;
    auto probe = monitor_.probe(QStringLiteral("Health recovery probe"), false);
    const auto health = co_await probe;
    // A server stopped, started or adopted since is not this check's to judge.
    if (!self || !isCurrent(operation) || status_ != ServerStatus::running)
        co_return;
    healthFailureStreak = 0;
    if (health) {
        publish(health_, health);
        co_return;
    }
    appendLog(QStringLiteral("Server stopped responding on /api/health"));
    forgetHealth();
    publish(lastError_, QStringLiteral("Server stopped responding on port ") + portText(port_) +
                            QStringLiteral("."));
    settle(ServerStatus::crashed, std::nullopt);
    PidFile::clear();
}

QCoro::Task<> ServerManager::startupWatch(Operation operation, QPointer<ServerProcess> child) {
    QPointer<ServerManager> self(this);
    // A child that exits early is settled by its exit (diagnosis, or a look
    // for a server that holds the port); the watch only ends a silent one.
    const auto stillWaiting = [&] {
        return self && isCurrent(operation) && child && child->isRunning();
    };
    auto firstLook = CancellationToken::sleep(400ms, operation);
    co_await firstLook;
    if (!stillWaiting())
        co_return;
    auto deadline =
        CancellationToken::sleep(std::chrono::seconds(startupHealthTimeoutSeconds), operation);
    co_await deadline;
    if (!stillWaiting())
        co_return;

    publish(lastError_, QStringLiteral("Server did not respond on port ") + portText(port_) +
                            QStringLiteral(". Check the log for errors."));
    // The abandoned child's own exit must not replace the time-out message,
    // and a late health answer must not revive it.
    forgetHealth();
    PidFile::clear();
    const qint64 pid = child->processId();
    resetProcessState();
    const auto ports = platform_.ports;
    co_await ports->terminateTree(pid);
    co_await ports->killListenersOnPort(port_);
    // Cancelled or started again during the clean-up: that operation decides.
    if (!self || !isCurrent(operation))
        co_return;
    log_.closeFile();
    settle(ServerStatus::crashed, StartupPhase::failed);
    appendLog(*lastError_);
}

QCoro::Task<> ServerManager::refreshHealth() {
    QPointer<ServerManager> self(this);
    auto health = co_await monitor_.read();
    if (self)
        publish(health_, std::move(health));
}

QCoro::Task<> ServerManager::syncStatusFromHealth() {
    QPointer<ServerManager> self(this);
    // A start or stop under way decides its own outcome: an answer during our
    // start is our child's, and silence is a server still coming up.
    if (operationUnderWay())
        co_return;
    const Operation operation = operation_;
    const auto stale = [&] { return !self || !isCurrent(operation); };
    const QString n = portText(port_);
    auto direct = monitor_.firstAnswer(3, 250ms, std::nullopt, operation);
    auto health = co_await direct;
    if (stale())
        co_return;
    if (health) {
        healthFailureStreak = 0;
        if (status_ != ServerStatus::running) {
            attachToRunningServer(*health, QStringLiteral("Detected server on port ") + n);
            co_return;
        }
        publish(lastError_, std::nullopt);
        publish(health_, std::move(health));
        publish(startupPhase_, StartupPhase::running);
        if (!monitor_.isPolling())
            monitor_.startPolling();
        co_return;
    }
    if (status_ != ServerStatus::running) {
        if (!PortOwner::isLocalTCPPortOpen(port_))
            co_return;
        auto attachProbes =
            monitor_.firstAnswer(3, 500ms, QStringLiteral("Port attach probe"), operation);
        health = co_await attachProbes;
        if (!stale() && health)
            attachToRunningServer(*health, QStringLiteral("Server already running on port ") + n);
        co_return;
    }
    // Our own child is judged by the health poll, which ends it as crashed
    // when it stays silent; marking it stopped would lose track of it.
    if (ownChildRunning())
        co_return;
    auto confirm = monitor_.probe(QStringLiteral("Status sync confirm"), false);
    health = co_await confirm;
    if (stale())
        co_return;
    healthFailureStreak = 0;
    if (health) {
        publish(health_, std::move(health));
        publish(startupPhase_, StartupPhase::running);
        if (!monitor_.isPolling())
            monitor_.startPolling();
        co_return;
    }
    forgetHealth();
    resetProcessState();
    settle(ServerStatus::stopped, std::nullopt);
    appendLog(QStringLiteral("Status sync: no response on port ") + n +
              QStringLiteral(" \u2014 marked stopped"));
}

QCoro::Task<> ServerManager::restoreStateOnLaunch() {
    QPointer<ServerManager> self(this);
    if (status_ != ServerStatus::stopped && status_ != ServerStatus::crashed)
        co_return;
    const Operation operation = beginOperation();
    publish(status_, ServerStatus::starting);
    publish(startupPhase_, StartupPhase::probing);
    const auto ports = platform_.ports;
    auto search = LaunchRestore::findServer({*ports, monitor_, log_, port_, operation});
    const auto health = co_await search;
    if (!self || !isCurrent(operation))
        co_return;
    if (health) {
        attachToRunningServer(*health,
                              QStringLiteral("Server already running on port ") + portText(port_));
        co_return;
    }
    resetProcessState();
    publish(health_, std::nullopt);
    settle(ServerStatus::stopped, std::nullopt);
}
