#include "app/VesperlineApp.h"

#include "app/MainWindow.h"
#include "views/ContentView.h"

#include <QApplication>

VesperlineApp::VesperlineApp(QObject* parent) : QObject(parent) {
    QApplication::setQuitOnLastWindowClosed(false);
}

VesperlineApp::VesperlineApp(AppViewModel::Environment environment, QObject* parent)
    : VesperlineApp(parent) {
    environment_ = std::move(environment);
}

VesperlineApp::~VesperlineApp() = default;

AppViewModel& VesperlineApp::appModel() {
    if (!model_) {
        model_ = environment_ ? std::make_unique<AppViewModel>(*environment_)
                              : std::make_unique<AppViewModel>();
    }
    return *model_;
}

MainWindow& VesperlineApp::mainWindow() {
    if (!window_) {
        window_ = std::make_unique<MainWindow>(appModel());
        connect(&window_->content(), &ContentView::firstShown, this,
                [this] { delegate_.appViewModel = &appModel(); });
    }
    return *window_;
}

void VesperlineApp::showMainWindow() {
    MainWindow& window = mainWindow();
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}
