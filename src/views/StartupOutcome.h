#pragma once

#include "models/ServerStatus.h"
#include "models/StartupPhase.h"
#include "services/CancellationToken.h"
#include "services/LogTailer.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>
#include <qcoro/qcorotask.h>

class ServerManager;

// What the startup progress sheet decides about one start, without any
// widget: success once the manager says running and the log shows the
// server ready, failure when the start ends badly, three quiet seconds and a
// countdown from 5 after success, and Retry. It follows the log file through
// its own tailer and reacts to the manager only while the sheet is shown.
class StartupOutcome : public QObject {
    Q_OBJECT

public:
    enum class Outcome { inProgress, success, failed };
    enum class Tone { progress, success, failure };

    static constexpr int quietSecondsBeforeCountdown = 3;
    static constexpr int countdownFrom = 5;

    StartupOutcome(ServerManager* server, QString logFile, QObject* parent = nullptr);
    ~StartupOutcome() override;

    Outcome outcome() const { return outcome_; }
    std::optional<int> autoCloseSeconds() const { return autoCloseSeconds_; }
    ServerManager* server() const;
    const LogTailer& logTailer() const { return tailer; }

    // Derived from the manager, the tailer and the outcome on every call.
    QString title() const;
    QString statusLine() const;
    Tone statusTone() const;
    // The log file's lines, or the manager's own while the file is empty.
    QStringList combinedLogLines() const;
    // The lines, and on failure the error when the log does not hold it yet.
    QString fullLogText() const;
    bool logShowsServerReady() const;

    // The sheet came on screen.
    void appear();
    // The sheet went away, whatever closed it: a start still under way is
    // cancelled, a success is noted in the log.
    void disappear();
    void retry();
    // The sheet is closing: no countdown any more.
    void stopCountdown();

Q_SIGNALS:
    // Anything the sheet draws: the outcome, the countdown, the status, the log.
    void changed();
    // The countdown ran out, or the manager went away with its start.
    void closeRequested();

private:
    void serverChanged();
    void handleStatusChange(ServerStatus status);
    void handlePhaseChange(std::optional<StartupPhase> phase);
    void evaluateReadyForSuccess();
    void markSuccess();
    void markFailed();
    QCoro::Task<> autoDismiss(CancellationHandle token);
    void setAutoCloseSeconds(std::optional<int> seconds);

    QPointer<ServerManager> server_;
    LogTailer tailer;
    Outcome outcome_ = Outcome::inProgress;
    CancellationHandle autoDismissTask;
    std::optional<int> autoCloseSeconds_;
    // Between appear and disappear; the outcome follows the start only then.
    bool presented = false;
    // The manager's last seen status and phase: its one change signal does
    // not say what changed, and the reactions run on changes only.
    ServerStatus seenStatus = ServerStatus::stopped;
    std::optional<StartupPhase> seenPhase;
};
