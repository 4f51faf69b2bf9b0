#pragma once

#include <QPointer>
#include <QWidget>

class AppViewModel;
class OutputPanel;
class QLabel;
class ServerLogPanel;
class ServerPanel;
class SetupWarningsPanel;
class StartupProgressView;
class UrlsPanel;

// The operator's control desk: the header with the readiness badge, then a
// panel per box (setup warnings, server, presentation output, URLs, server
// log), which render from the model on every change and keep no copy of its
// data. Its own state is whether the startup progress sheet is up.
class DashboardView : public QWidget {
    Q_OBJECT

public:
    explicit DashboardView(AppViewModel& app, QWidget* parent = nullptr);
    ~DashboardView() override;

    // The Start action: a running server only gets a brief message, otherwise
    // the log is prepared, the progress sheet opens (when wanted) and the
    // server starts.
    void beginStart();

    bool showStartProgress() const;
    StartupProgressView* startupSheet() const;

    void render();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    void renderHeader();
    void closeOutputWhenServerStops();
    void showServerAlreadyRunning();

    AppViewModel& app;
    QPointer<StartupProgressView> startupSheet_;
    bool wasServerRunning = false;
    QLabel* subtitle = nullptr;
    QLabel* readinessBadge = nullptr;
    SetupWarningsPanel* warnings = nullptr;
    ServerPanel* serverPanel = nullptr;
    OutputPanel* outputPanel = nullptr;
    UrlsPanel* urlsPanel = nullptr;
    ServerLogPanel* logPanel = nullptr;
};
