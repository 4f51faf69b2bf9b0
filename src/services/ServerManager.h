#pragma once

#include "models/HealthResponse.h"
#include "models/ServerStatus.h"
#include "models/StartupPhase.h"
#include "services/CancellationToken.h"
#include "services/HealthMonitor.h"
#include "services/PortOwner.h"
#include "services/ProjectPaths.h"
#include "services/ServerLog.h"
#include "services/ServerProcess.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

// Supervises the Node.js server: starts it, watches its health, adopts a
// server that already answers on the port, notices crashes and orphans and
// stops it. The child, the port, the log and the diagnosis of a failed start
// are its collaborators; what remains here is the state machine. Lives on the
// main thread; every published field change emits changed().
//
// One operation at a time owns the outcome: a start, a stop, a forced stop, a
// launch restore or a cancel begins one, and so does every settled change of
// state (running, crashed, stopped). A step that resumes late (after a wait, a
// probe, a clean-up) acts only while the operation that began it is current.
class ServerManager : public QObject {
    Q_OBJECT

public:
    static constexpr quint64 startupHealthTimeoutSeconds = 8;
    static constexpr int healthFailureThreshold = 3;
    static constexpr int stderrBufferLimit = 16000;

    // What the manager needs from the operating system. The program uses the
    // real ones; tests of the state machine put stand-ins here.
    struct Platform {
        std::shared_ptr<const PortOwner> ports = std::make_shared<PortOwner>();
        std::function<ServerProcess*(QObject* parent)> makeProcess = [](QObject* parent) {
            return new ServerProcess(parent);
        };
    };

    ServerManager(ProjectPaths paths, QString nodePath, int port, QObject* parent = nullptr);
    ServerManager(ProjectPaths paths, QString nodePath, int port, Platform platform,
                  QObject* parent = nullptr);
    ~ServerManager() override;

    // Published state.
    ServerStatus status() const { return status_; }
    std::optional<StartupPhase> startupPhase() const { return startupPhase_; }
    const QStringList& logLines() const { return log_.lines(); }
    const ServerLog& log() const { return log_; }
    const std::optional<QString>& lastError() const { return lastError_; }
    const std::optional<HealthResponse>& health() const { return health_; }
    int port() const { return port_; }
    // Applies from the next start or probe.
    void setPort(int port);

    // Stored state the screens read.
    const ProjectPaths& paths() const { return paths_; }
    const QString& nodePath() const { return nodePath_; }
    bool spawnedByApp() const { return spawnedByApp_; }
    std::optional<qint64> childProcessId() const;

    // Derived.
    bool isRunning() const;
    bool hasRunningErrors() const;
    bool isPortOccupied() const;
    bool canForceStop() const;

    // Commands.
    void start();
    void cancelStart();
    void restart();
    void stop();
    void forceStopOnPort();
    // Quit path: synchronous, SIGTERM only, never touches a server this
    // manager merely adopted.
    void shutdownOnTerminate();

    QCoro::Task<> stopAsync();
    QCoro::Task<> forceStopOnPortAsync();
    QCoro::Task<> refreshHealth();
    QCoro::Task<> syncStatusFromHealth();
    QCoro::Task<> restoreStateOnLaunch();

    // Log.
    void appendLog(const QString& line) { log_.append(line); }
    void prepareStartupLog() { log_.prepareForStart(); }
    void clearLogs() { log_.clear(); }
    // The message for a child that exited before answering, from what this
    // start's child printed.
    QString startupFailureMessage(int exitCode) const;

Q_SIGNALS:
    void changed();

private:
    using Operation = CancellationHandle;

    // Operations.
    Operation beginOperation();
    bool isCurrent(const Operation& operation) const;
    bool operationUnderWay() const;
    void settle(ServerStatus status, std::optional<StartupPhase> phase);
    template <typename T, typename V> void publish(T& field, V&& value);
    void notify() { Q_EMIT changed(); }

    // Start sequence.
    QCoro::Task<> performStart(Operation operation);
    void spawnServer(const Operation& operation);
    void failStart(const QString& message);
    void readStandardOutput(const QString& text);
    void readStandardError(const QString& text);
    QString launchOutput() const;
    QCoro::Task<> startupWatch(Operation operation, QPointer<ServerProcess> child);
    QCoro::Task<bool> tryAttachAfterPortConflict(Operation operation);
    QCoro::Task<> attachOrFailAfterPortConflict(Operation operation);
    QCoro::Task<> restartTask();

    // Health.
    void attachToRunningServer(const HealthResponse& health, const QString& note);
    void handlePoll(const std::optional<HealthResponse>& answer);
    // No more polls, and no answer to show.
    void forgetHealth();
    void markServerRunning();
    QCoro::Task<> confirmRunningServerLost(Operation operation);

    // The child and stopping.
    bool ownChildRunning() const;
    void resetProcessState();
    // The held child, else the server named by the PID file (only while it
    // is still a server this program launched; a stale file is removed).
    std::optional<qint64> stopTarget() const;
    // Lets go of the server for good; the process the signals are for.
    std::optional<qint64> releaseServer();
    Operation beginStopping(const QString& line);
    void handleTermination(ServerProcess* child, int exitCode, bool normalExit);

    ServerStatus status_ = ServerStatus::stopped;
    std::optional<StartupPhase> startupPhase_;
    std::optional<QString> lastError_;
    std::optional<HealthResponse> health_;
    int port_;

    const ProjectPaths paths_;
    const QString nodePath_;
    const Platform platform_;
    ServerLog log_;
    HealthMonitor monitor_;
    ServerProcess* process_ = nullptr;
    Operation operation_;
    QString stderrBuffer_;
    // Where this start's child began to print, so its failure is diagnosed
    // from its own output and not from an earlier start's.
    quint64 launchMark_ = 0;
    int healthFailureStreak = 0;
    bool spawnedByApp_ = false;
};
