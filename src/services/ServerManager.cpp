#include "services/ServerManager.h"

#include "models/AtomicFileWriter.h"
#include "services/APIClient.h"
#include "services/ApplicationSupport.h"
#include "services/BundleRepair.h"
#include "services/BundleRuntime.h"
#include "services/ProcessRunner.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString lsofPath = QStringLiteral("/usr/bin/lsof");
const QString pgrepPath = QStringLiteral("/usr/bin/pgrep");
const QString esmFlag = QStringLiteral("--experimental-default-type=module");
const QString serverEntry = QStringLiteral("apps/server/dist/index.js");
constexpr int toolTimeoutSeconds = 3;

std::optional<QString> decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Every character that counts as a line break: LF, VT, FF, CR, NEL, LS, PS.
QStringList splitLines(const QString& text) {
    static const QRegularExpression breaks(
        QStringLiteral("[\\n\\x0B\\x0C\\r\\x{85}\\x{2028}\\x{2029}]"));
    return text.split(breaks, Qt::SkipEmptyParts);
}

std::optional<qint32> parsePid(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool processExists(qint64 pid) {
    return pid >= 1 && ::kill(pid_t(pid), 0) == 0;
}

void sendSignal(qint64 pid, int signal) {
    // Never signal this program itself, whatever a tool reported.
    if (pid >= 1 && pid != ::getpid())
        ::kill(pid_t(pid), signal);
}

// Whether a process runs a server build (its command line names the entry script).
bool isServerProcess(qint32 pid) {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> arguments = cmdline.readAll().split('\0');
    return std::any_of(arguments.begin(), arguments.end(), [](const QByteArray& argument) {
        return argument.endsWith(serverEntry.toUtf8());
    });
}

// Children the manager lets go of while they may still run. QProcess's
// destructor would SIGKILL the child and block until it exits, which the quit
// path and a replaced manager must never do; a parked process is deleted once
// it has exited by itself, and one that outlives the program is simply left.
QList<QProcess*>& parkedProcesses() {
    static QList<QProcess*> parked;
    return parked;
}

void park(QProcess* process) {
    process->disconnect();
    process->setParent(nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    parkedProcesses().append(process);
    QObject::connect(process, &QProcess::finished, process, [process] {
        parkedProcesses().removeAll(process);
        process->deleteLater();
    });
}

// Launches a coroutine and lets it run to completion on its own.
void launch(QCoro::Task<>&& task) {
    Q_UNUSED(task);
}
void launch(QCoro::Task<bool>&& task) {
    Q_UNUSED(task);
}

QString portText(int port) {
    return QString::number(port);
}

} // namespace

ServerManager::ServerManager(ProjectPaths paths, QString nodePath, int port, QObject* parent)
    : QObject(parent), port_(port), paths_(std::move(paths)), nodePath_(std::move(nodePath)) {}

ServerManager::~ServerManager() {
    cancelTask(healthTask);
    cancelTask(startupWatchTask);
    cancelTask(startTask);
    releaseProcess();
    closeLogFile();
}

void ServerManager::setPort(int port) {
    if (port_ == port)
        return;
    port_ = port;
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
    return isLocalTCPPortOpen(port_);
}

bool ServerManager::canForceStop() const {
    return isLocalTCPPortOpen(port_) || status_ == ServerStatus::crashed ||
           status_ == ServerStatus::starting ||
           (status_ == ServerStatus::running && !spawnedByApp_) || hasRunningErrors();
}

// ---------------------------------------------------------------- publishing

void ServerManager::setStatus(ServerStatus status) {
    if (status_ == status)
        return;
    status_ = status;
    notify();
}

void ServerManager::setStartupPhase(std::optional<StartupPhase> phase) {
    if (startupPhase_ == phase)
        return;
    startupPhase_ = phase;
    notify();
}

void ServerManager::setLastError(std::optional<QString> error) {
    if (lastError_ == error)
        return;
    lastError_ = std::move(error);
    notify();
}

void ServerManager::setHealth(std::optional<HealthResponse> health) {
    if (health_ == health)
        return;
    health_ = std::move(health);
    notify();
}

// ---------------------------------------------------------------- start

void ServerManager::start() {
    if (status_ == ServerStatus::running) {
        appendLog(QStringLiteral("Start clicked (server already running)"));
        setLastError(std::nullopt);
        setStartupPhase(StartupPhase::running);
        launch(refreshHealth());
        return;
    }
    if (status_ != ServerStatus::stopped && status_ != ServerStatus::crashed)
        return;
    ++lifecycleSequence;
    openLogFile();
    appendLog(QStringLiteral("Start clicked"));
    setLastError(std::nullopt);
    setStatus(ServerStatus::starting);
    setStartupPhase(StartupPhase::probing);
    cancelTask(startTask);
    startTask = CancellationToken::create();
    launch(performStart(startTask));
}

QCoro::Task<> ServerManager::performStart(CancellationHandle token) {
    QPointer<ServerManager> self(this);
    // However the sequence ends, this start no longer runs.
    struct Finish {
        QPointer<ServerManager> manager;
        CancellationHandle token;
        ~Finish() {
            if (manager && manager->startTask == token)
                manager->startTask.reset();
        }
    } finish{self, token};

    const auto stillStarting = [&] {
        return self && !token->isCancelled() && status_ == ServerStatus::starting;
    };
    if (status_ != ServerStatus::starting)
        co_return;
    setLastError(std::nullopt);
    setStartupPhase(StartupPhase::probing);
    if (token->isCancelled())
        co_return;

    const auto repair =
        BundleRepair::ensureBundleReady(paths_.runtimeRoot, [self](const QString& line) {
            if (self)
                self->appendLog(line);
        });
    appendLog(QStringLiteral("Server cwd: ") + paths_.runtimeRoot);
    appendLog(QStringLiteral("package.json type=module: ") +
              (repair.hasTypeModule ? QStringLiteral("true") : QStringLiteral("false")) +
              QStringLiteral(" (") + paths_.runtimeRoot + QStringLiteral("/package.json)"));
    if (!repair.hasTypeModule) {
        failStart(repair.message);
        co_return;
    }
    const bool selfContained = BundleRuntime::isSelfContained();
    if (!QFileInfo::exists(paths_.serverEntryScript())) {
        failStart(selfContained
                      ? QStringLiteral("Bundled server files are missing. Reinstall the app or run "
                                       "./scripts/build-release.sh to rebuild.")
                      : QStringLiteral("Server build not found. Run `pnpm build` in the project "
                                       "folder, or use a release build of the app."));
        co_return;
    }
    if (!paths_.hasBibleDatabase()) {
        failStart(QStringLiteral("Bible database not found. Run Import Bible in Settings (dev) or "
                                 "reinstall the release app."));
        co_return;
    }
    if (selfContained &&
        !QFileInfo::exists(paths_.runtimeRoot + "/node_modules/fastify/package.json")) {
        failStart(QStringLiteral("Server dependencies are missing (node_modules). Rebuild with "
                                 "./scripts/build-release.sh and reinstall."));
        co_return;
    }
    if (!stillStarting())
        co_return;
    setStartupPhase(StartupPhase::probing);

    const QString alreadyRunning =
        QStringLiteral("Server already running on port ") + portText(port_);
    auto health = co_await probeHealth(QStringLiteral("Pre-start health"), false);
    if (!stillStarting())
        co_return;
    if (health) {
        attachToRunningServer(*health, alreadyRunning);
        co_return;
    }

    if (isLocalTCPPortOpen(port_)) {
        appendLog(QStringLiteral("Killing stale server on port ") + portText(port_));
        killListenersOnPortSync(port_);
        co_await CancellationToken::sleep(500ms, token);
        if (!stillStarting())
            co_return;
        health = co_await probeHealth(QStringLiteral("Post-cleanup health"), false);
        if (!stillStarting())
            co_return;
        if (health) {
            attachToRunningServer(*health, alreadyRunning);
            co_return;
        }
    }
    if (!token->isCancelled())
        co_await spawnServer(token);
}

void ServerManager::failStart(const QString& message) {
    setLastError(message);
    setStartupPhase(StartupPhase::failed);
    setStatus(ServerStatus::crashed);
    clearPidFile();
    appendLog(message);
}

QProcessEnvironment ServerManager::childEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto inherited = [&](const QString& name) -> std::optional<QString> {
        if (!environment.contains(name))
            return std::nullopt;
        return environment.value(name);
    };
    const QString support = ApplicationSupport::supportURL();
    environment.insert(QStringLiteral("PORT"), portText(port_));
    environment.insert(QStringLiteral("HOST"), QStringLiteral("0.0.0.0"));
    environment.insert(QStringLiteral("VESPERLINE_ROOT"), paths_.runtimeRoot);
    environment.insert(QStringLiteral("VESPERLINE_CONFIG_DIR"), support);
    environment.insert(QStringLiteral("VESPERLINE_DB_PATH"), support + "/data/bible.sqlite");
    environment.insert(QStringLiteral("VESPERLINE_BOOKMARKS_PATH"), support + "/bookmarks.json");
    environment.insert(QStringLiteral("VESPERLINE_THEMES_PATH"), support + "/themes.json");
    environment.insert(QStringLiteral("VESPERLINE_WEB_DIST"),
                       paths_.runtimeRoot + "/apps/web/dist");
    environment.insert(QStringLiteral("VESPERLINE_LOG_PATH"), logFilePath());
    environment.insert(QStringLiteral("VESPERLINE_TRANSLATION_ID"),
                       ApplicationSupport::loadTranslation().id);
    environment.insert(QStringLiteral("VESPERLINE_SERVER_NAME"), computerName());
    environment.insert(QStringLiteral("PATH"),
                       enhancedPath(inherited(QStringLiteral("PATH")), nodePath_));
    environment.insert(QStringLiteral("NODE_PATH"), paths_.runtimeRoot + "/node_modules");
    environment.insert(QStringLiteral("NODE_OPTIONS"),
                       esmNodeOptions(inherited(QStringLiteral("NODE_OPTIONS"))));
    return environment;
}

QCoro::Task<> ServerManager::spawnServer(CancellationHandle token) {
    Q_UNUSED(token);
    QPointer<ServerManager> self(this);
    if (status_ != ServerStatus::starting)
        co_return;
    spawnedByApp_ = false;
    setStartupPhase(StartupPhase::launching);
    openLogFile();
    appendLog(QStringLiteral("Starting server on port ") + portText(port_) + QChar(0x2026));

    auto* child = new QProcess(this);
    child->setProgram(nodePath_);
    child->setArguments({paths_.serverEntryScript()});
    child->setWorkingDirectory(paths_.runtimeRoot);
    child->setProcessEnvironment(childEnvironment());
    child->setStandardInputFile(QProcess::nullDevice());
    connect(child, &QProcess::readyReadStandardOutput, this, [this, child] {
        if (child == process_)
            readStandardOutput();
    });
    connect(child, &QProcess::readyReadStandardError, this, [this, child] {
        if (child == process_)
            readStandardError();
    });
    connect(
        child, &QProcess::finished, this, [this, child] { handleTermination(child); },
        Qt::QueuedConnection);
    stderrBuffer_.clear();

    child->start();
    if (!child->waitForStarted()) {
        const QString launchError = child->errorString();
        child->disconnect();
        child->deleteLater();
        spawnedByApp_ = false;
        const bool attached = co_await tryAttachAfterPortConflict();
        if (!self || attached)
            co_return;
        setLastError(portConflictMessage(launchError));
        setStartupPhase(StartupPhase::failed);
        setStatus(ServerStatus::crashed);
        appendLog(lastError_.value_or(QStringLiteral("Failed to launch Node")));
        co_return;
    }

    process_ = child;
    spawnedByApp_ = true;
    const qint64 pid = child->processId();
    writePidFile(pid);
    setStartupPhase(StartupPhase::waiting);
    startHealthPolling();
    startStartupWatch(child);
    appendLog(QStringLiteral("Log file: ") + logFilePath());
    appendLog(QStringLiteral("Server PID: ") + QString::number(pid));
}

void ServerManager::readStandardOutput() {
    const auto text = decodeUtf8(process_->readAllStandardOutput());
    if (!text)
        return;
    for (const QString& line : splitLines(*text))
        appendLog(line);
    // The server says it accepts requests: ask at once rather than at the
    // next 2-second poll, so the operator sees it running without delay.
    if (status_ == ServerStatus::starting && text->contains(QLatin1String("Listening on")))
        startHealthPolling();
}

void ServerManager::readStandardError() {
    const QByteArray bytes = process_->readAllStandardError();
    const auto text = decodeUtf8(bytes);
    if (bytes.isEmpty() || !text)
        return;
    recordStderr(*text);
    if (text->contains(QLatin1String("EADDRINUSE"), Qt::CaseInsensitive))
        handlePortInUseDuringStart();
    for (const QString& line : splitLines(*text))
        appendLog(QStringLiteral("\u26A0\uFE0F ") + line);
}

void ServerManager::recordStderr(const QString& text) {
    stderrBuffer_ += text;
    if (stderrBuffer_.size() > stderrBufferLimit)
        stderrBuffer_ = stderrBuffer_.right(stderrBufferLimit);
}

void ServerManager::handlePortInUseDuringStart() {
    if (status_ == ServerStatus::starting)
        launch(tryAttachAfterPortConflict());
}

QCoro::Task<bool> ServerManager::tryAttachAfterPortConflict() {
    QPointer<ServerManager> self(this);
    const auto health = co_await probeHealth(QStringLiteral("Port conflict attach probe"), false);
    // A start that was cancelled or settled meanwhile is not overridden.
    if (!self || !health || status_ != ServerStatus::starting)
        co_return false;
    cancelTask(startupWatchTask);
    if (process_ && process_->state() != QProcess::NotRunning)
        process_->terminate();
    resetProcessState();
    attachToRunningServer(
        *health, QStringLiteral("Port ") + portText(port_) +
                     QStringLiteral(" was in use; connected to existing Vesperline server"));
    co_return true;
}

QString ServerManager::portConflictMessage(const QString& fallback) const {
    QString message =
        QStringLiteral("Port ") + portText(port_) +
        QStringLiteral(" is in use by another app. Change the port in Settings or quit "
                       "the other process, then Start again.");
    if (!fallback.isEmpty())
        message += QStringLiteral(" (") + fallback + QStringLiteral(")");
    return message;
}

void ServerManager::releaseProcess() {
    if (!process_)
        return;
    QProcess* child = process_;
    process_ = nullptr;
    park(child);
}

void ServerManager::resetProcessState() {
    // The released child's readers and termination hook go with it: its exit,
    // whenever it comes, belongs to the operation that let it go.
    releaseProcess();
    spawnedByApp_ = false;
}

void ServerManager::cancelStart() {
    if (status_ == ServerStatus::running) {
        appendLog(QStringLiteral("Start cancel ignored \u2014 server is running"));
        return;
    }
    if (status_ != ServerStatus::starting)
        return;
    cancelTask(startTask);
    cancelTask(startupWatchTask);
    cancelTask(healthTask);
    terminateServerTree();
    resetProcessState();
    setStatus(ServerStatus::stopped);
    setStartupPhase(std::nullopt);
    setHealth(std::nullopt);
    healthFailureStreak = 0;
    clearPidFile();
    closeLogFile();
    appendLog(QStringLiteral("Start cancelled"));
}

void ServerManager::restart() {
    launch(restartTask());
}

QCoro::Task<> ServerManager::restartTask() {
    QPointer<ServerManager> self(this);
    const auto startIfIdle = [this] {
        if (status_ == ServerStatus::stopped || status_ == ServerStatus::crashed)
            start();
    };
    if (!isRunning() && !isLocalTCPPortOpen(port_)) {
        startIfIdle();
        co_return;
    }
    if (status_ == ServerStatus::running && !spawnedByApp_) {
        co_await forceStopOnPortAsync();
    } else if (!isLocalTCPPortOpen(port_)) {
        stop();
        co_await CancellationToken::sleep(800ms, nullptr);
    } else {
        co_await forceStopOnPortAsync();
    }
    if (self)
        startIfIdle();
}

// ---------------------------------------------------------------- health

QCoro::Task<std::optional<HealthResponse>> ServerManager::probeHealth(QString note, bool quiet) {
    QPointer<ServerManager> self(this);
    const auto result =
        co_await APIClient(port_).get<HealthResponse>(QStringLiteral("/api/health"));
    if (!self)
        co_return std::nullopt;
    if (!result.ok()) {
        if (!quiet)
            appendLog(note + QStringLiteral(": health failed (") + result.error().description() +
                      QStringLiteral(")"));
        co_return std::nullopt;
    }
    if (!result.value().ok) {
        if (!quiet)
            appendLog(note + QStringLiteral(": health not OK"));
        co_return std::nullopt;
    }
    if (!quiet)
        appendLog(note + QStringLiteral(": health OK"));
    co_return result.value();
}

void ServerManager::attachToRunningServer(const HealthResponse& health, const QString& note) {
    cancelTask(startTask);
    cancelTask(startupWatchTask);
    resetProcessState();
    spawnedByApp_ = false;
    setLastError(std::nullopt);
    setHealth(health);
    healthFailureStreak = 0;
    setStartupPhase(StartupPhase::running);
    setStatus(ServerStatus::running);
    appendLog(note);
    startHealthPolling();
    notify();
}

void ServerManager::startHealthPolling() {
    cancelTask(healthTask);
    healthFailureStreak = 0;
    healthTask = CancellationToken::create();
    launch(healthPollLoop(healthTask));
}

QCoro::Task<> ServerManager::healthPollLoop(CancellationHandle token) {
    QPointer<ServerManager> self(this);
    const APIClient client(port_);
    while (self && !token->isCancelled() &&
           (status_ == ServerStatus::running || status_ == ServerStatus::starting)) {
        const auto result = co_await client.get<HealthResponse>(QStringLiteral("/api/health"));
        if (!self || token->isCancelled())
            co_return;
        if (result.ok() && result.value().ok) {
            setHealth(result.value());
            healthFailureStreak = 0;
            if (status_ == ServerStatus::starting)
                markServerRunning();
        } else {
            setHealth(std::nullopt);
            handleHealthPollFailure();
        }
        co_await CancellationToken::sleep(2000ms, token);
    }
}

void ServerManager::markServerRunning() {
    if (status_ != ServerStatus::starting)
        return;
    cancelTask(startupWatchTask);
    setStartupPhase(StartupPhase::running);
    setStatus(ServerStatus::running);
    healthFailureStreak = 0;
    appendLog(QStringLiteral("Server started on port ") + portText(port_));
    notify();
}

void ServerManager::handleHealthPollFailure() {
    if (status_ != ServerStatus::running && status_ != ServerStatus::starting)
        return;
    ++healthFailureStreak;
    if (healthFailureStreak >= healthFailureThreshold)
        launch(confirmRunningServerLost());
}

QCoro::Task<> ServerManager::confirmRunningServerLost() {
    QPointer<ServerManager> self(this);
    if (status_ != ServerStatus::running)
        co_return;
    const auto health = co_await probeHealth(QStringLiteral("Health recovery probe"), false);
    if (!self)
        co_return;
    if (health) {
        setHealth(health);
        healthFailureStreak = 0;
        co_return;
    }
    if (status_ != ServerStatus::running)
        co_return;
    appendLog(QStringLiteral("Server stopped responding on /api/health"));
    cancelTask(healthTask);
    setStartupPhase(std::nullopt);
    setStatus(ServerStatus::crashed);
    setHealth(std::nullopt);
    healthFailureStreak = 0;
    setLastError(QStringLiteral("Server stopped responding on port ") + portText(port_) +
                 QStringLiteral("."));
    clearPidFile();
}

void ServerManager::startStartupWatch(QProcess* process) {
    cancelTask(startupWatchTask);
    startupWatchTask = CancellationToken::create();
    launch(startupWatch(startupWatchTask, QPointer<QProcess>(process)));
}

QCoro::Task<> ServerManager::startupWatch(CancellationHandle token, QPointer<QProcess> child) {
    QPointer<ServerManager> self(this);
    const auto childRunning = [&] { return child && child->state() != QProcess::NotRunning; };

    co_await CancellationToken::sleep(400ms, token);
    if (!self || token->isCancelled())
        co_return;
    if (status_ != ServerStatus::starting || !childRunning()) {
        if (status_ == ServerStatus::starting) {
            const bool attached = co_await tryAttachAfterPortConflict();
            if (self && !attached)
                resolveStartupFailure();
        }
        co_return;
    }

    co_await CancellationToken::sleep(std::chrono::seconds(startupHealthTimeoutSeconds), token);
    if (!self || token->isCancelled() || status_ != ServerStatus::starting || !childRunning())
        co_return;

    setLastError(QStringLiteral("Server did not respond on port ") + portText(port_) +
                 QStringLiteral(". Check the log for errors."));
    signalFanOut(child->processId());
    clearPidFile();
    // The abandoned child's own exit must not replace the time-out with a
    // generic exit message, and a late health answer must not revive it.
    cancelTask(healthTask);
    if (child == process_)
        resetProcessState();

    const int port = port_;
    QThread* cleanup = QThread::create([port] { killListenersOnPortSync(port); });
    connect(cleanup, &QThread::finished, this, [this, cleanup] {
        cleanup->deleteLater();
        resolveStartupFailure();
    });
    connect(cleanup, &QThread::finished, cleanup, &QObject::deleteLater);
    cleanup->start();
}

void ServerManager::resolveStartupFailure() {
    if (status_ != ServerStatus::starting)
        return;
    cancelTask(startupWatchTask);
    cancelTask(healthTask);
    setHealth(std::nullopt);
    closeLogFile();
    clearPidFile();
    setStartupPhase(StartupPhase::failed);
    setStatus(ServerStatus::crashed);
    if (!lastError_)
        setLastError(QStringLiteral("Server process exited before responding on port ") +
                     portText(port_) + QStringLiteral("."));
    appendLog(lastError_.value_or(QStringLiteral("Server failed to start")));
}

QCoro::Task<> ServerManager::refreshHealth() {
    QPointer<ServerManager> self(this);
    const auto result =
        co_await APIClient(port_).get<HealthResponse>(QStringLiteral("/api/health"));
    if (!self)
        co_return;
    setHealth(result.ok() ? std::optional<HealthResponse>(result.value()) : std::nullopt);
    notify();
}

QCoro::Task<> ServerManager::syncStatusFromHealth() {
    QPointer<ServerManager> self(this);
    if (status_ == ServerStatus::stopping)
        co_return;
    const APIClient client(port_);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            co_await CancellationToken::sleep(250ms, nullptr);
            if (!self)
                co_return;
        }
        const auto result = co_await client.get<HealthResponse>(QStringLiteral("/api/health"));
        if (!self)
            co_return;
        if (!result.ok() || !result.value().ok)
            continue;
        setLastError(std::nullopt);
        healthFailureStreak = 0;
        if (status_ != ServerStatus::running) {
            attachToRunningServer(result.value(),
                                  QStringLiteral("Detected server on port ") + portText(port_));
        } else {
            setHealth(result.value());
            setStartupPhase(StartupPhase::running);
            if (!healthTask)
                startHealthPolling();
        }
        notify();
        co_return;
    }

    if (status_ == ServerStatus::running || status_ == ServerStatus::starting) {
        const auto health = co_await probeHealth(QStringLiteral("Status sync confirm"), false);
        if (!self)
            co_return;
        if (health) {
            setHealth(health);
            setStatus(ServerStatus::running);
            setStartupPhase(StartupPhase::running);
            healthFailureStreak = 0;
            if (!healthTask)
                startHealthPolling();
        } else {
            cancelTask(healthTask);
            setStartupPhase(std::nullopt);
            setStatus(ServerStatus::stopped);
            setHealth(std::nullopt);
            healthFailureStreak = 0;
            spawnedByApp_ = false;
            appendLog(QStringLiteral("Status sync: no response on port ") + portText(port_) +
                      QStringLiteral(" \u2014 marked stopped"));
        }
        notify();
        co_return;
    }

    if (!isLocalTCPPortOpen(port_))
        co_return;
    co_await adoptFirstAnswer(3, 500, QStringLiteral("Port attach probe"),
                              QStringLiteral("Server already running on port ") + portText(port_));
}

// Probes up to `attempts` times (the first one logged, unless logNote is
// absent, which keeps them all quiet) and adopts the first answer.
QCoro::Task<bool> ServerManager::adoptFirstAnswer(int attempts, int intervalMs,
                                                  std::optional<QString> logNote,
                                                  QString adoptNote) {
    QPointer<ServerManager> self(this);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            co_await CancellationToken::sleep(std::chrono::milliseconds(intervalMs), nullptr);
            if (!self)
                co_return false;
        }
        const auto health =
            co_await probeHealth(logNote.value_or(QString()), !logNote || attempt > 0);
        if (!self)
            co_return false;
        if (health) {
            attachToRunningServer(*health, adoptNote);
            co_return true;
        }
    }
    co_return false;
}

QCoro::Task<> ServerManager::restoreStateOnLaunch() {
    QPointer<ServerManager> self(this);
    if (status_ != ServerStatus::stopped && status_ != ServerStatus::crashed)
        co_return;
    setStatus(ServerStatus::starting);
    setStartupPhase(StartupPhase::probing);
    struct Settle {
        QPointer<ServerManager> manager;
        ~Settle() {
            if (manager && manager->status_ == ServerStatus::starting)
                manager->resetAfterRestore();
        }
    } settle{self};

    const QString alreadyRunning =
        QStringLiteral("Server already running on port ") + portText(port_);
    if (const auto pid = readPidFile(); pid && processExists(*pid) && isServerProcess(*pid)) {
        const QString note = QStringLiteral("Launch health (PID ") + QString::number(*pid) + ")";
        const bool adopted = co_await adoptFirstAnswer(4, 400, note, alreadyRunning);
        if (!self || adopted)
            co_return;
        appendLog(QStringLiteral("Orphan server PID ") + QString::number(*pid) +
                  QStringLiteral(" failed health \u2014 terminating"));
        signalFanOut(*pid);
        co_await CancellationToken::sleep(400ms, nullptr);
        if (!self)
            co_return;
        killListenersOnPortSync(port_);
        clearPidFile();
    } else if (pid) {
        // Gone, or a reused id that now belongs to some other program.
        clearPidFile();
    }

    const bool answered = co_await adoptFirstAnswer(4, 400, std::nullopt, alreadyRunning);
    if (!self || answered)
        co_return;
    if (!isLocalTCPPortOpen(port_))
        co_return;
    const bool adopted =
        co_await adoptFirstAnswer(5, 600, QStringLiteral("Launch port attach"), alreadyRunning);
    if (!self || adopted)
        co_return;
    appendLog(QStringLiteral("Port ") + portText(port_) +
              QStringLiteral(" is in use but health is not ready \u2014 use Refresh on Dashboard"));
}

void ServerManager::resetAfterRestore() {
    resetProcessState();
    status_ = ServerStatus::stopped;
    health_.reset();
    spawnedByApp_ = false;
    startupPhase_.reset();
    notify();
}

// ---------------------------------------------------------------- stopping

void ServerManager::terminateServerTree() {
    if (process_)
        signalFanOut(process_->state() != QProcess::NotRunning
                         ? std::optional<qint64>(process_->processId())
                         : std::nullopt);
    else
        signalFanOut(verifiedPidFromFile());
}

void ServerManager::signalFanOut(std::optional<qint64> target) {
    if (!target || *target < 1)
        return;
    // Children are listed while the target still runs: once it has exited
    // they belong to init and could no longer be found.
    for (const qint32 child : findChildPIDs(qint32(*target)))
        sendSignal(child, SIGTERM);
    sendSignal(*target, SIGTERM);
}

void ServerManager::stop() {
    launch(stopAsync());
}

QCoro::Task<> ServerManager::stopAsync() {
    QPointer<ServerManager> self(this);
    if (status_ == ServerStatus::stopping)
        co_return;
    if (status_ == ServerStatus::starting || status_ == ServerStatus::running) {
        cancelTask(healthTask);
        cancelTask(startupWatchTask);
        cancelTask(startTask);
        const bool adopted = status_ == ServerStatus::running && !spawnedByApp_;
        setStatus(ServerStatus::stopping);
        setStartupPhase(std::nullopt);
        notify();
        appendLog(QStringLiteral("Stopping server") + QChar(0x2026));
        terminateServerTree();
        resetProcessState();
        spawnedByApp_ = false;
        closeLogFile();
        clearPidFile();
        const quint64 sequence = ++lifecycleSequence;
        co_await CancellationToken::sleep(400ms, nullptr);
        // A forced stop or a new start meanwhile owns the port now: this stop
        // must neither kill its server nor mark it stopped.
        if (!self || lifecycleSequence != sequence || status_ != ServerStatus::stopping)
            co_return;
        killListenersOnPortSync(port_);
        setHealth(std::nullopt);
        setStatus(ServerStatus::stopped);
        notify();
        appendLog(adopted ? QStringLiteral("Stopped tracking server on port ") + portText(port_) +
                                QStringLiteral(". Port should now be free.")
                          : QStringLiteral("Server stopped"));
        co_return;
    }
    if (!isLocalTCPPortOpen(port_))
        co_return;
    setStatus(ServerStatus::stopping);
    setStartupPhase(std::nullopt);
    notify();
    appendLog(QStringLiteral("Stopping leftover process on port ") + portText(port_) +
              QChar(0x2026));
    killListenersOnPortSync(port_);
    setStatus(ServerStatus::stopped);
    setHealth(std::nullopt);
    notify();
    appendLog(QStringLiteral("Port ") + portText(port_) + QStringLiteral(" cleared"));
}

void ServerManager::forceStopOnPort() {
    launch(forceStopOnPortAsync());
}

QCoro::Task<> ServerManager::forceStopOnPortAsync() {
    ++lifecycleSequence;
    cancelTask(healthTask);
    cancelTask(startupWatchTask);
    cancelTask(startTask);
    setStatus(ServerStatus::stopping);
    setStartupPhase(std::nullopt);
    notify();
    appendLog(QStringLiteral("Force stopping process(es) on port ") + portText(port_) +
              QChar(0x2026));
    terminateServerTree();
    killListenersOnPortSync(port_);
    resetProcessState();
    setStatus(ServerStatus::stopped);
    setHealth(std::nullopt);
    spawnedByApp_ = false;
    setStartupPhase(std::nullopt);
    closeLogFile();
    clearPidFile();
    notify();
    appendLog(QStringLiteral("Port ") + portText(port_) +
              QStringLiteral(" should now be free \u2014 you can Start without rebooting"));
    co_return;
}

void ServerManager::shutdownOnTerminate() {
    cancelTask(healthTask);
    cancelTask(startupWatchTask);
    cancelTask(startTask);
    if (spawnedByApp_)
        terminateServerTree();
    clearPidFile();
    resetProcessState();
}

void ServerManager::handleTermination(QProcess* child) {
    // Only the child this manager still holds; one it let go of was settled
    // by whoever released it.
    if (child != process_)
        return;
    readStandardOutput();
    readStandardError();
    cancelTask(startupWatchTask);
    const bool normalExit = child->exitStatus() == QProcess::NormalExit;
    const int exitCode = child->exitCode();
    releaseProcess();

    if (status_ == ServerStatus::running) {
        cancelTask(healthTask);
        spawnedByApp_ = false;
        resetProcessState();
        setStartupPhase(std::nullopt);
        setHealth(std::nullopt);
        setStatus(ServerStatus::crashed);
        setLastError(QStringLiteral("Server process exited unexpectedly"));
        appendLog(lastError_.value_or(QStringLiteral("Server process exited")));
        notify();
        return;
    }
    spawnedByApp_ = false;
    if (status_ == ServerStatus::stopping) {
        cancelTask(healthTask);
        setStartupPhase(std::nullopt);
        setStatus(ServerStatus::stopped);
        setHealth(std::nullopt);
        closeLogFile();
        clearPidFile();
        appendLog(QStringLiteral("Server stopped"));
        return;
    }
    const QString output = stderrBuffer_ + "\n" + logLines_.join("\n");
    if (output.contains(QLatin1String("EADDRINUSE"), Qt::CaseInsensitive) &&
        status_ == ServerStatus::starting) {
        launch(handlePortConflictExit());
        return;
    }
    cancelTask(healthTask);
    setHealth(std::nullopt);
    closeLogFile();
    if (!normalExit || exitCode != 0) {
        // A child killed by a signal reports the signal number as its code.
        setStartupPhase(StartupPhase::failed);
        setStatus(ServerStatus::crashed);
        clearPidFile();
        setLastError(startupFailureMessage(exitCode));
        appendLog(lastError_.value_or(QStringLiteral("Server failed")));
    } else {
        setStartupPhase(std::nullopt);
        setStatus(ServerStatus::stopped);
        clearPidFile();
        appendLog(QStringLiteral("Server exited"));
    }
}

QCoro::Task<> ServerManager::handlePortConflictExit() {
    QPointer<ServerManager> self(this);
    const bool attached = co_await tryAttachAfterPortConflict();
    if (!self || attached)
        co_return;
    cancelTask(healthTask);
    setHealth(std::nullopt);
    closeLogFile();
    setStartupPhase(StartupPhase::failed);
    setStatus(ServerStatus::crashed);
    setLastError(portConflictMessage(QString()));
}

// ---------------------------------------------------------------- processes and ports

bool ServerManager::isLocalTCPPortOpen(int port) {
    if (port < 1 || port > 65535)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    timeval timeout{0, 150000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QString ServerManager::runCapturingStdout(const QString& executable, const QStringList& arguments,
                                          int timeoutSeconds) {
    const auto outcome = ProcessRunner::run(executable, arguments, timeoutSeconds * 1000);
    if (!outcome.launched)
        return QString();
    return decodeUtf8(outcome.standardOutput).value_or(QString());
}

namespace {

QList<qint32> pidsIn(const QString& output) {
    QList<qint32> pids;
    for (const QString& line : splitLines(output)) {
        if (const auto pid = parsePid(line))
            pids.append(*pid);
    }
    return pids;
}

} // namespace

QList<qint32> ServerManager::findListeningPIDs(int port) {
    return pidsIn(
        runCapturingStdout(lsofPath,
                           {QStringLiteral("-ti"), QStringLiteral("tcp:") + portText(port),
                            QStringLiteral("-sTCP:LISTEN")},
                           toolTimeoutSeconds));
}

QList<qint32> ServerManager::findChildPIDs(qint32 parent) {
    return pidsIn(runCapturingStdout(pgrepPath, {QStringLiteral("-P"), QString::number(parent)},
                                     toolTimeoutSeconds));
}

void ServerManager::killListenersOnPortSync(int port) {
    const QList<qint32> pids = findListeningPIDs(port);
    if (pids.isEmpty())
        return;
    for (const qint32 pid : pids)
        sendSignal(pid, SIGTERM);
    QThread::sleep(1);
    for (const qint32 pid : pids) {
        if (processExists(pid))
            sendSignal(pid, SIGKILL);
    }
}

// ---------------------------------------------------------------- child environment

QString ServerManager::enhancedPath(const std::optional<QString>& existing,
                                    const QString& nodeBinary) {
    QStringList entries{QFileInfo(nodeBinary).path(), QStringLiteral("/opt/homebrew/bin"),
                        QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"),
                        QStringLiteral("/bin")};
    if (existing)
        entries += existing->split(':', Qt::SkipEmptyParts);
    return entries.join(':');
}

QString ServerManager::esmNodeOptions(const std::optional<QString>& existing) {
    if (!existing || existing->isEmpty())
        return esmFlag;
    if (existing->contains(esmFlag))
        return *existing;
    return *existing + " " + esmFlag;
}

QString ServerManager::computerName() {
    QFile info(QStringLiteral("/etc/machine-info"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (!line.startsWith("PRETTY_HOSTNAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(16)).trimmed();
            if (value.size() >= 2 && (value.startsWith('"') || value.startsWith('\'')) &&
                value.endsWith(value.front()))
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                return value;
        }
    }
    return QSysInfo::machineHostName();
}

// ---------------------------------------------------------------- PID file

QString ServerManager::pidFilePath() {
    return ApplicationSupport::path(QStringLiteral("server.pid"));
}

void ServerManager::writePidFile(qint64 pid) {
    QDir().mkpath(QFileInfo(pidFilePath()).path());
    (void)AtomicFileWriter::write(pidFilePath(), QByteArray::number(pid) + "\n");
}

std::optional<qint32> ServerManager::readPidFile() {
    QFile file(pidFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto text = decodeUtf8(file.readAll());
    if (!text)
        return std::nullopt;
    const auto pid = parsePid(*text);
    if (!pid || *pid <= 0)
        return std::nullopt;
    return pid;
}

void ServerManager::clearPidFile() {
    QFile::remove(pidFilePath());
}

std::optional<qint32> ServerManager::verifiedPidFromFile() {
    const auto pid = readPidFile();
    if (!pid)
        return std::nullopt;
    if (!processExists(*pid) || !isServerProcess(*pid)) {
        clearPidFile();
        return std::nullopt;
    }
    return pid;
}

// ---------------------------------------------------------------- log

QString ServerManager::logFilePath() {
    return ApplicationSupport::path(QStringLiteral("server.log"));
}

void ServerManager::appendLog(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return;
    logLines_.append(trimmed);
    if (logLines_.size() > maxLogLines)
        logLines_.erase(logLines_.begin(), logLines_.begin() + (logLines_.size() - maxLogLines));
    writeLineToLogFile(trimmed);
    notify();
}

bool ServerManager::ensureLogFile() {
    const QString path = logFilePath();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

void ServerManager::openLogFile() {
    closeLogFile();
    if (!ensureLogFile())
        return;
    auto file = std::make_unique<QFile>(logFilePath());
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    logFileHandle = std::move(file);
}

void ServerManager::closeLogFile() {
    if (logFileHandle)
        logFileHandle->close();
    logFileHandle.reset();
}

void ServerManager::writeLineToLogFile(const QString& line) {
    if (!logFileHandle)
        openLogFile();
    if (!logFileHandle)
        return;
    logFileHandle->write((line + "\n").toUtf8());
    logFileHandle->flush();
}

void ServerManager::prepareStartupLog() {
    logLines_.clear();
    closeLogFile();
    if (ensureLogFile())
        (void)AtomicFileWriter::write(logFilePath(), QByteArray());
    openLogFile();
    appendLog(QStringLiteral("\u2014\u2014\u2014 Start ") +
              QDateTime::currentDateTimeUtc().toString(Qt::ISODate) +
              QStringLiteral(" \u2014\u2014\u2014"));
}

void ServerManager::clearLogs() {
    logLines_.clear();
    closeLogFile();
    if (ensureLogFile())
        (void)AtomicFileWriter::write(logFilePath(), QByteArray());
    notify();
}

std::optional<QString> ServerManager::tailServerLog(int lineCount) {
    QFile file(logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto text = decodeUtf8(file.readAll());
    if (!text)
        return std::nullopt;
    const QStringList lines = splitLines(*text);
    if (lines.isEmpty())
        return std::nullopt;
    return lines.mid(std::max<qsizetype>(0, lines.size() - lineCount)).join('\n');
}

QString ServerManager::appendLogTail(const QString& message) const {
    const auto tail = tailServerLog(20);
    if (!tail || tail->isEmpty())
        return message;
    return message + QStringLiteral("\n\nLast log lines:\n") + *tail;
}

QString ServerManager::startupFailureMessage(int exitCode) const {
    const QString output = stderrBuffer_ + "\n" + logLines_.join('\n');
    const auto has = [&](const char* pattern) {
        return output.contains(QLatin1String(pattern), Qt::CaseInsensitive);
    };
    if (has("Cannot use import statement outside a module") || has("SyntaxError"))
        return appendLogTail(
            QStringLiteral("Server bundle is missing ESM package.json (type: module). Run "
                           "./scripts/patch-macos-app.sh on the .app, or rebuild with "
                           "./scripts/bundle-for-macos.sh and Run (\u2318R) in Xcode."));
    if (has("ERR_MODULE_NOT_FOUND") && has("fastify"))
        return appendLogTail(QStringLiteral("Server dependencies are incomplete (fastify missing). "
                                            "Rebuild the app with ./scripts/build-release.sh and "
                                            "reinstall."));
    if (has("ERR_MODULE_NOT_FOUND"))
        return appendLogTail(QStringLiteral("Server dependencies are incomplete "
                                            "(ERR_MODULE_NOT_FOUND). Rebuild with "
                                            "./scripts/build-release.sh and reinstall."));
    if (has("EADDRINUSE"))
        return portConflictMessage(QString());
    if (has("NODE_MODULE_VERSION"))
        return appendLogTail(QStringLiteral("Native module mismatch (better-sqlite3). Rebuild with "
                                            "./scripts/build-release.sh and reinstall."));
    return appendLogTail(QStringLiteral("Server exited with code ") + QString::number(exitCode) +
                         QStringLiteral(". See log in Application Support."));
}
