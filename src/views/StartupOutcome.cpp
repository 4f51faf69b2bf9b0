#include "views/StartupOutcome.h"

#include "services/ServerManager.h"

using namespace std::chrono_literals;

namespace {

const QStringList readyMarkers{QStringLiteral("Server started"), QStringLiteral("Listening on"),
                               QStringLiteral("Server already running")};

// Whether the error is already in the log: as one whole line, or, for a
// message that spans lines (a diagnostic with its log tail), as the same
// non-empty lines one after another, which is how the log file holds it.
bool logHoldsError(const QStringList& lines, const QString& error) {
    if (lines.contains(error))
        return true;
    QStringList parts;
    for (const QString& part : error.split(QLatin1Char('\n'))) {
        if (const QString trimmed = part.trimmed(); !trimmed.isEmpty())
            parts.append(trimmed);
    }
    if (parts.isEmpty())
        return true;
    for (qsizetype start = 0; start + parts.size() <= lines.size(); ++start) {
        qsizetype matched = 0;
        while (matched < parts.size() && lines[start + matched] == parts[matched])
            ++matched;
        if (matched == parts.size())
            return true;
    }
    return false;
}

} // namespace

StartupOutcome::StartupOutcome(ServerManager* server, QString logFile, QObject* parent)
    : QObject(parent), server_(server), tailer(std::move(logFile)) {
    if (server_) {
        seenStatus = server_->status();
        seenPhase = server_->startupPhase();
        connect(server_, &ServerManager::changed, this, &StartupOutcome::serverChanged);
        // A replaced manager takes its start with it; there is nothing left to follow.
        connect(server_, &QObject::destroyed, this, &StartupOutcome::closeRequested);
    }
    connect(&tailer, &LogTailer::changed, this, [this] {
        if (presented)
            evaluateReadyForSuccess();
        Q_EMIT changed();
    });
}

StartupOutcome::~StartupOutcome() {
    cancelTask(autoDismissTask);
}

ServerManager* StartupOutcome::server() const {
    return server_;
}

QString StartupOutcome::title() const {
    switch (outcome_) {
    case Outcome::success:
        return QStringLiteral("Server started");
    case Outcome::failed:
        return QStringLiteral("Server failed to start");
    case Outcome::inProgress:
        break;
    }
    return QStringLiteral("Starting server\u2026");
}

QString StartupOutcome::statusLine() const {
    switch (outcome_) {
    case Outcome::success:
        return QStringLiteral("Running");
    case Outcome::failed:
        return QStringLiteral("Failed");
    case Outcome::inProgress:
        break;
    }
    if (server_ && server_->startupPhase())
        return displayText(*server_->startupPhase());
    return QStringLiteral("Starting\u2026");
}

StartupOutcome::Tone StartupOutcome::statusTone() const {
    switch (outcome_) {
    case Outcome::success:
        return Tone::success;
    case Outcome::failed:
        return Tone::failure;
    case Outcome::inProgress:
        break;
    }
    const auto phase = server_ ? server_->startupPhase() : std::nullopt;
    if (phase == StartupPhase::running)
        return Tone::success;
    if (phase == StartupPhase::failed)
        return Tone::failure;
    return Tone::progress;
}

QStringList StartupOutcome::combinedLogLines() const {
    if (!tailer.lines().isEmpty() || !server_)
        return tailer.lines();
    return server_->logLines();
}

QString StartupOutcome::fullLogText() const {
    QStringList lines = combinedLogLines();
    if (outcome_ == Outcome::failed && server_ && server_->lastError() &&
        !logHoldsError(lines, *server_->lastError()))
        lines.append(*server_->lastError());
    return lines.join(QLatin1Char('\n'));
}

bool StartupOutcome::logShowsServerReady() const {
    const QString text = fullLogText();
    return std::any_of(readyMarkers.begin(), readyMarkers.end(), [&](const QString& marker) {
        return text.contains(marker, Qt::CaseInsensitive);
    });
}

void StartupOutcome::appear() {
    presented = true;
    if (server_) {
        seenStatus = server_->status();
        seenPhase = server_->startupPhase();
    }
    tailer.beginSession();
    tailer.startPolling();
    evaluateReadyForSuccess();
    Q_EMIT changed();
}

void StartupOutcome::disappear() {
    if (!presented)
        return;
    presented = false;
    stopCountdown();
    tailer.stopPolling();
    if (!server_)
        return;
    if (outcome_ == Outcome::success)
        server_->appendLog(QStringLiteral("Sheet dismissed (success)"));
    // Once the server runs, closing only hides the sheet.
    else if (outcome_ == Outcome::inProgress && server_->status() == ServerStatus::starting)
        server_->cancelStart();
}

void StartupOutcome::stopCountdown() {
    cancelTask(autoDismissTask);
    setAutoCloseSeconds(std::nullopt);
}

void StartupOutcome::serverChanged() {
    const ServerStatus status = server_->status();
    const std::optional<StartupPhase> phase = server_->startupPhase();
    const bool statusChanged = status != seenStatus;
    const bool phaseChanged = phase != seenPhase;
    seenStatus = status;
    seenPhase = phase;
    if (presented) {
        if (statusChanged)
            handleStatusChange(status);
        if (phaseChanged)
            handlePhaseChange(phase);
        // Any change may be the ready line: the in-memory log can gain it
        // without growing once it holds its 500 lines.
        evaluateReadyForSuccess();
    }
    Q_EMIT changed();
}

void StartupOutcome::handleStatusChange(ServerStatus status) {
    switch (status) {
    case ServerStatus::stopped:
        if (outcome_ == Outcome::inProgress &&
            (server_->startupPhase() == StartupPhase::failed || server_->lastError()))
            markFailed();
        break;
    case ServerStatus::running:
        evaluateReadyForSuccess();
        break;
    case ServerStatus::crashed:
        markFailed();
        break;
    case ServerStatus::starting:
    case ServerStatus::stopping:
        break;
    }
}

void StartupOutcome::handlePhaseChange(std::optional<StartupPhase> phase) {
    if (phase == StartupPhase::failed)
        markFailed();
    else if (phase == StartupPhase::running)
        evaluateReadyForSuccess();
}

void StartupOutcome::evaluateReadyForSuccess() {
    if (outcome_ == Outcome::inProgress && server_ && server_->status() == ServerStatus::running &&
        logShowsServerReady())
        markSuccess();
}

void StartupOutcome::markSuccess() {
    if (outcome_ == Outcome::success)
        return;
    outcome_ = Outcome::success;
    stopCountdown();
    autoDismissTask = CancellationToken::create();
    [[maybe_unused]] auto task = autoDismiss(autoDismissTask);
    Q_EMIT changed();
}

void StartupOutcome::markFailed() {
    if (outcome_ == Outcome::failed)
        return;
    outcome_ = Outcome::failed;
    stopCountdown();
    Q_EMIT changed();
}

QCoro::Task<> StartupOutcome::autoDismiss(CancellationHandle token) {
    QPointer<StartupOutcome> self(this);
    auto quiet = CancellationToken::sleep(std::chrono::seconds(quietSecondsBeforeCountdown), token);
    co_await quiet;
    for (int seconds = countdownFrom; seconds >= 1; --seconds) {
        if (!self || token->isCancelled())
            co_return;
        setAutoCloseSeconds(seconds);
        auto second = CancellationToken::sleep(1s, token);
        co_await second;
    }
    if (!self || token->isCancelled())
        co_return;
    setAutoCloseSeconds(std::nullopt);
    Q_EMIT closeRequested();
}

void StartupOutcome::setAutoCloseSeconds(std::optional<int> seconds) {
    if (autoCloseSeconds_ == seconds)
        return;
    autoCloseSeconds_ = seconds;
    Q_EMIT changed();
}

void StartupOutcome::retry() {
    if (outcome_ != Outcome::failed || !presented || !server_)
        return;
    outcome_ = Outcome::inProgress;
    stopCountdown();
    Q_EMIT changed();
    server_->prepareStartupLog();
    tailer.beginSession();
    tailer.startPolling();
    server_->start();
}
