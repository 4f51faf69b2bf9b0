#pragma once

#include <QGroupBox>
#include <QHash>
#include <QString>
#include <optional>

class AppViewModel;
class QGridLayout;
class QLabel;
class QPushButton;
class StatusDot;

// The Dashboard's "Server" box: the status badge, Refresh, exactly one of the
// stopping spinner, Stop or Start, Force Stop and Restart with their enabling
// rules, the captions that explain the state, why Start is blocked, the
// port, runtime and health rows, the last error and the status message.
// Start is the screen's to carry out (it may open the progress sheet).
class ServerPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit ServerPanel(AppViewModel& app, QWidget* parent = nullptr);

    // Nothing runs or stops, and Node.js, the server build, the Bible
    // database and (self-contained) its packages are all there.
    static bool startAllowed(const AppViewModel& app);

    void render();

Q_SIGNALS:
    void startRequested();

private:
    struct ValueRow {
        QLabel* label;
        QLabel* value;
    };

    QWidget* buildControls();
    void buildCaptions();
    void buildValueRows();
    void addValueRow(QGridLayout* grid, const QString& key, const QString& title);
    void setValueRow(const QString& key, const std::optional<QString>& value);
    void renderControls(bool canForceStop);
    void renderCaptions(bool canForceStop);
    void renderValueRows();

    AppViewModel& app;
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
};
