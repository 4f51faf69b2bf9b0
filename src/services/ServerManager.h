#pragma once

#include "models/HealthResponse.h"
#include "models/ServerStatus.h"
#include "models/StartupPhase.h"
#include "services/CancellationToken.h"
#include "services/ProjectPaths.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

// Owns the Node.js server child process: starts it, watches its health, adopts
// a server that already answers on the port, notices crashes and orphans,
// stops it and keeps its log. Lives on the main thread; every published field
// change emits changed().
class ServerManager : public QObject {
    Q_OBJECT

public:
    static constexpr int maxLogLines = 500;
    static constexpr quint64 startupHealthTimeoutSeconds = 8;
    static constexpr int healthFailureThreshold = 3;
    static constexpr int stderrBufferLimit = 16000;

    ServerManager(ProjectPaths paths, QString nodePath, int port, QObject* parent = nullptr);
    ~ServerManager() override;

    // Published state.
    ServerStatus status() const { return status_; }
    std::optional<StartupPhase> startupPhase() const { return startupPhase_; }
    const QStringList& logLines() const { return logLines_; }
    const std::optional<QString>& lastError() const { return lastError_; }
    const std::optional<HealthResponse>& health() const { return health_; }
    int port() const { return port_; }
    // Applies from the next start or probe.
    void setPort(int port);

    // Stored state the screens read.
    const ProjectPaths& paths() const { return paths_; }
    const QString& nodePath() const { return nodePath_; }
    bool spawnedByApp() const { return spawnedByApp_; }
    const QString& stderrBuffer() const { return stderrBuffer_; }
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
    void appendLog(const QString& line);
    void prepareStartupLog();
    void clearLogs();
    QString startupFailureMessage(int exitCode) const;
    QString appendLogTail(const QString& message) const;
    static std::optional<QString> tailServerLog(int lineCount);
    static QString logFilePath();
    static QString pidFilePath();

    // Processes and ports.
    static bool isLocalTCPPortOpen(int port);
    static QList<qint32> findListeningPIDs(int port);
    static QList<qint32> findChildPIDs(qint32 parent);
    static void killListenersOnPortSync(int port);
    static QString runCapturingStdout(const QString& executable, const QStringList& arguments,
                                      int timeoutSeconds);

    // Child environment.
    static QString enhancedPath(const std::optional<QString>& existing, const QString& nodeBinary);
    static QString esmNodeOptions(const std::optional<QString>& existing);
    static QString computerName();
    QProcessEnvironment childEnvironment() const;

    // PID file.
    static void writePidFile(qint64 pid);
    static std::optional<qint32> readPidFile();
    static void clearPidFile();

Q_SIGNALS:
    void changed();

private:
    // Start sequence.
    QCoro::Task<> performStart(CancellationHandle token);
    QCoro::Task<> spawnServer(CancellationHandle token);
    void failStart(const QString& message);
    void resetProcessState();
    QCoro::Task<bool> tryAttachAfterPortConflict();
    void handlePortInUseDuringStart();
    QString portConflictMessage(const QString& fallback) const;
    void recordStderr(const QString& text);
    void readStandardOutput();
    void readStandardError();
    QCoro::Task<> restartTask();

    // Health.
    QCoro::Task<std::optional<HealthResponse>> probeHealth(QString note, bool quiet);
    void attachToRunningServer(const HealthResponse& health, const QString& note);
    void startHealthPolling();
    QCoro::Task<> healthPollLoop(CancellationHandle token);
    void markServerRunning();
    void handleHealthPollFailure();
    QCoro::Task<> confirmRunningServerLost();
    void startStartupWatch(QProcess* process);
    QCoro::Task<> startupWatch(CancellationHandle token, QPointer<QProcess> process);
    void resolveStartupFailure();
    QCoro::Task<bool> adoptFirstAnswer(int attempts, int intervalMs, std::optional<QString> logNote,
                                       QString adoptNote);
    void resetAfterRestore();

    // Stopping.
    void handleTermination(QProcess* process);
    QCoro::Task<> handlePortConflictExit();
    static void signalFanOut(std::optional<qint64> target);
    // SIGTERM to the children of the stop target, then to the target: the
    // held child, else the server named by the PID file.
    void terminateServerTree();
    // The PID file's process, only while it is still a server this program
    // launched; otherwise the stale file is removed.
    static std::optional<qint32> verifiedPidFromFile();

    // Log file.
    void openLogFile();
    void closeLogFile();
    static bool ensureLogFile();
    void writeLineToLogFile(const QString& line);

    // Publishing.
    void setStatus(ServerStatus status);
    void setStartupPhase(std::optional<StartupPhase> phase);
    void setLastError(std::optional<QString> error);
    void setHealth(std::optional<HealthResponse> health);
    void notify() { Q_EMIT changed(); }

    void releaseProcess();

    ServerStatus status_ = ServerStatus::stopped;
    std::optional<StartupPhase> startupPhase_;
    QStringList logLines_;
    std::optional<QString> lastError_;
    std::optional<HealthResponse> health_;
    int port_;

    const ProjectPaths paths_;
    const QString nodePath_;
    QProcess* process_ = nullptr;
    CancellationHandle healthTask;
    CancellationHandle startupWatchTask;
    CancellationHandle startTask;
    std::unique_ptr<QFile> logFileHandle;
    QString stderrBuffer_;
    int healthFailureStreak = 0;
    bool spawnedByApp_ = false;
    // Counts starts and stops, so a stop that resumes after its wait can tell
    // that a later start or forced stop has taken over.
    quint64 lifecycleSequence = 0;
};
