#pragma once

#include "views/StartupOutcome.h"

#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QVariantAnimation;
class StatusDot;

// The sheet that follows one start of the server: the current phase, the log
// file live, and the outcome, which StartupOutcome decides; this class draws
// it and carries out the buttons. Closing it while the start is still under
// way cancels the start; closing it later only hides it.
//
// Shown window-modal over its parent with open(). It goes away through
// closeSheet() (Esc, the buttons, the countdown, the manager disappearing) and
// emits closed() once it has; the presenter should deleteLater() it then, and
// make a new sheet for the next start.
class StartupProgressView : public QDialog {
    Q_OBJECT

public:
    using Outcome = StartupOutcome::Outcome;

    static constexpr int sheetWidth = 520;
    static constexpr int logAreaHeight = 300;

    // `openPresenter` receives the path of the page "Open Control" opens.
    StartupProgressView(ServerManager* server, QString logFile,
                        std::function<void(const QString& path)> openPresenter,
                        QWidget* parent = nullptr);
    ~StartupProgressView() override;

    const StartupOutcome& state() const { return state_; }
    QColor statusColor() const;

    static QColor successColor();
    static QColor failureColor();
    static QColor progressColor();

public Q_SLOTS:
    void closeSheet();
    // Esc, in every state.
    void reject() override;

Q_SIGNALS:
    // The sheet went away, whatever closed it.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildLogPanel(QVBoxLayout* column);
    void buildActions(QVBoxLayout* column);
    void disappear();
    void openControl();
    void copyLog() const;
    void selectAll();

    void render();
    void renderHeader();
    void renderError();
    void renderActions();
    void renderLog();
    void scrollToBottom();
    void fitHeight();

    std::function<void(const QString&)> openPresenter;
    StartupOutcome state_;
    bool presented = false;

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
