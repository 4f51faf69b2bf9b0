#pragma once

#include "app/AppDelegate.h"
#include "app/AppViewModel.h"

#include <QObject>
#include <memory>
#include <optional>

class MainWindow;

// The application: the delegate that runs the termination steps, the one
// AppViewModel (built on first access, which performs the whole start-up
// bootstrap) and the main window showing it. Quitting is explicit: closing
// the window leaves the program, and the server it supervises, running.
class VesperlineApp : public QObject {
    Q_OBJECT

public:
    explicit VesperlineApp(QObject* parent = nullptr);
    // Tests give the model another environment.
    explicit VesperlineApp(AppViewModel::Environment environment, QObject* parent = nullptr);
    ~VesperlineApp() override;

    AppDelegate& appDelegate() { return delegate_; }
    AppViewModel& appModel();
    MainWindow& mainWindow();

    // Shows the main window, or brings it back after it was closed.
    void showMainWindow();

private:
    AppDelegate delegate_;
    std::optional<AppViewModel::Environment> environment_;
    std::unique_ptr<AppViewModel> model_;
    // Declared after the model: the window goes first, it renders from the model.
    std::unique_ptr<MainWindow> window_;
};
