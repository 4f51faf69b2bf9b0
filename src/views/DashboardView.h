#pragma once

#include "models/ServerStatus.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class AppViewModel;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QScreen;
class StartupProgressView;
class StatusDot;

// The operator's control desk: readiness, setup warnings, the server's state
// and controls, the presentation output, the addresses to copy or open, and
// the server log. It renders everything from the AppViewModel and its server
// manager on every change and keeps no copy of their data; its only own state
// is whether the startup progress sheet is up.
class DashboardView : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumStepperSize = 640;
    static constexpr int maximumStepperSize = 7680;
    static constexpr int stepperStep = 10;

    explicit DashboardView(AppViewModel& app, QWidget* parent = nullptr);
    ~DashboardView() override;

    // One address of the URLs box.
    struct UrlRow {
        QString title;
        QString path;  // what "Open" opens
        QString shown; // what is shown and copied
        bool operator==(const UrlRow&) const = default;
    };
    static QList<UrlRow> urlRows(const AppViewModel& app);

    // Whether Start may be pressed: nothing runs or stops, and Node.js, the
    // server build, the Bible database and (self-contained) its dependencies
    // are all there.
    static bool startAllowed(const AppViewModel& app);

    // The Start action: a running server only gets a brief message, otherwise
    // the log is prepared, the progress sheet opens (when wanted) and the
    // server starts.
    void beginStart();

    bool showStartProgress() const;
    StartupProgressView* startupSheet() const;

    void render();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct ValueRow {
        QLabel* label;
        QLabel* value;
    };

    QWidget* buildHeader();
    QWidget* buildWarnings();
    QWidget* buildServerBox();
    QWidget* buildOutputBox();
    QWidget* buildUrlsBox();
    QWidget* buildLogBox();
    void addValueRow(QGridLayout* grid, const QString& key, const QString& title);
    void setValueRow(const QString& key, const std::optional<QString>& value);

    void renderHeader();
    void renderWarnings();
    void renderServerBox();
    void renderOutputBox();
    void renderUrls();
    void renderLog();

    void watchScreens(bool watch);
    void closeOutputWhenServerStops();
    void showServerAlreadyRunning();

    AppViewModel& app;
    QPointer<StartupProgressView> startupSheet_;
    bool wasServerRunning = false;
    QList<QMetaObject::Connection> screenWatch;

    // Header.
    QLabel* subtitle = nullptr;
    QLabel* readinessBadge = nullptr;

    // Setup warnings.
    QWidget* warnings = nullptr;
    QFrame* bootstrapWarning = nullptr;
    QLabel* bootstrapText = nullptr;
    QFrame* nodeWarning = nullptr;
    QLabel* nodeHeadline = nullptr;
    QLabel* nodeDetail = nullptr;
    QLabel* nodeDownload = nullptr;
    QFrame* databaseWarning = nullptr;
    QLabel* databasePath = nullptr;
    QFrame* buildWarning = nullptr;
    QLabel* buildHeadline = nullptr;

    // Server box.
    StatusDot* statusDot = nullptr;
    QLabel* statusText = nullptr;
    QWidget* stoppingIndicator = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* forceStopButton = nullptr;
    QPushButton* restartButton = nullptr;
    QLabel* stoppingCaption = nullptr;
    QLabel* externalCaption = nullptr;
    QLabel* recoveryCaption = nullptr;
    QWidget* blockedBox = nullptr;
    QLabel* blockedList = nullptr;
    QHash<QString, ValueRow> valueRows;
    QLabel* runtimeNotes = nullptr;
    QLabel* lastError = nullptr;
    QLabel* statusMessage = nullptr;

    // Presentation output box.
    QComboBox* displayPicker = nullptr;
    QSpinBox* widthStepper = nullptr;
    QSpinBox* heightStepper = nullptr;
    QPushButton* openOutputButton = nullptr;
    QPushButton* closeOutputButton = nullptr;
    QLabel* outputOpenLabel = nullptr;
    QCheckBox* webOutputToggle = nullptr;

    // URLs box.
    struct UrlWidgets {
        QWidget* row;
        QLabel* title;
        QLabel* url;
        QPushButton* copy;
        QPushButton* open;
    };
    QList<UrlWidgets> urlWidgets;

    // Server log box.
    QLabel* logPath = nullptr;
    QPlainTextEdit* logView = nullptr;
};
