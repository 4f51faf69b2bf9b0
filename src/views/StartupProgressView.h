#pragma once

#include "models/ServerStatus.h"
#include "models/StartupPhase.h"
#include "services/CancellationToken.h"
#include "services/LogTailer.h"
#include "services/ServerManager.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QVariantAnimation;
class StatusDot;

// The sheet that follows one start of the server: the current phase, the log
// file live, and the outcome. It decides by itself when the start succeeded
// (the manager says running and the log shows the server ready) or failed,
// then closes itself after a visible countdown or offers "Retry". Closing it
// while the start is still under way cancels the start; closing it later only
// hides it.
//
// Shown window-modal over its parent with open(). It goes away through
// closeSheet() (Esc, the buttons, the countdown, the manager disappearing) and
// emits closed() once it has; the presenter should deleteLater() it then, and
// make a new sheet for the next start.
class StartupProgressView : public QDialog {
    Q_OBJECT

public:
    enum class Outcome { inProgress, success, failed };

    static constexpr int sheetWidth = 520;
    static constexpr int logAreaHeight = 300;
    static constexpr int quietSecondsBeforeCountdown = 3;
    static constexpr int countdownFrom = 5;

    // `openPresenter` receives the path of the page "Open Control" opens.
    StartupProgressView(ServerManager* server, QString logFile,
                        std::function<void(const QString& path)> openPresenter,
                        QWidget* parent = nullptr);
    ~StartupProgressView() override;

    Outcome outcome() const { return outcome_; }
    std::optional<int> autoCloseSeconds() const { return autoCloseSeconds_; }
    bool isPresented() const { return presented; }

    // Derived from the manager, the tailer and the outcome on every call.
    QString title() const;
    QString statusLine() const;
    QColor statusColor() const;
    QStringList combinedLogLines() const;
    QString fullLogText() const;
    bool logShowsServerReady() const;

    const LogTailer& logTailer() const { return tailer; }
    ServerManager* server() const { return server_; }

    static QColor successColor();
    static QColor failureColor();
    static QColor progressColor();

public Q_SLOTS:
    void closeSheet();
    void retry();
    // Esc, in every state.
    void reject() override;

Q_SIGNALS:
    // The outcome or the countdown changed.
    void changed();
    // The sheet went away, whatever closed it.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void appear();
    void disappear();
    void handleSheetDisappeared();

    void serverChanged();
    void tailerChanged();
    void handleStatusChange(ServerStatus status);
    void handlePhaseChange(std::optional<StartupPhase> phase);
    void evaluateReadyForSuccess();
    void markSuccess();
    void markFailed();
    QCoro::Task<> autoDismiss(CancellationHandle token);
    void setAutoCloseSeconds(std::optional<int> seconds);
    void openControl();
    void copyLog() const;
    void selectAll();

    void render();
    void renderLog();
    void scrollToBottom();
    void fitHeight();

    QPointer<ServerManager> server_;
    std::function<void(const QString&)> openPresenter;
    LogTailer tailer;
    Outcome outcome_ = Outcome::inProgress;
    CancellationHandle autoDismissTask;
    std::optional<int> autoCloseSeconds_;

    // Between appear and disappear; the sheet reacts to the start only then.
    bool presented = false;
    // The manager's last seen status and phase: its one change signal does
    // not say what changed, and the reactions run on changes only.
    ServerStatus seenStatus = ServerStatus::stopped;
    std::optional<StartupPhase> seenPhase;

    QLabel* titleLabel = nullptr;
    QWidget* spinner = nullptr;
    QLabel* outcomeSymbol = nullptr;
    StatusDot* statusDot = nullptr;
    QLabel* statusLabel = nullptr;
    QScrollArea* errorArea = nullptr;
    QLabel* errorLabel = nullptr;
    QPlainTextEdit* logView = nullptr;
    QVariantAnimation* scrollAnimation = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* countdownLabel = nullptr;
    QPushButton* openControlButton = nullptr;
    QPushButton* retryButton = nullptr;
    QPushButton* closeButton = nullptr;
};
