#include "app/MainWindow.h"

#include "app/AppViewModel.h"
#include "services/ServerManager.h"
#include "views/ContentView.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

MainWindow::MainWindow(AppViewModel& app, QWidget* parent)
    : QMainWindow(parent), app(app), content_(new ContentView(app, this)) {
    setWindowTitle(QStringLiteral("Vesperline"));
    setCentralWidget(content_);
    content_->setMinimumSize(minimumContentWidth, minimumContentHeight);

    // File: Quit only; the program has no documents to make.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    quit_ = file->addAction(QStringLiteral("&Quit"));
    // Ctrl+Q whatever the platform theme's key scheme says (some have no
    // Quit binding at all), plus any binding of its own.
    QList<QKeySequence> quitKeys{QKeySequence(Qt::CTRL | Qt::Key_Q)};
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Quit))
        if (!quitKeys.contains(key))
            quitKeys << key;
    quit_->setShortcuts(quitKeys);
    quit_->setMenuRole(QAction::QuitRole);
    quit_->setShortcutContext(Qt::ApplicationShortcut);
    // Like the termination signals: no window may veto the operator's Quit.
    connect(
        quit_, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);

    QMenu* output = menuBar()->addMenu(QStringLiteral("Output"));
    openOutput_ = output->addAction(QStringLiteral("Open Display Output"));
    openOutput_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openOutput_, &QAction::triggered, &app, &AppViewModel::openDisplayOutput);
    closeOutput_ = output->addAction(QStringLiteral("Close Display Output"));
    connect(closeOutput_, &QAction::triggered, &app, &AppViewModel::closeDisplayOutput);

    // A comfortable first size that still fits a 1280 × 800 screen.
    resize(1100, 740);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(size().boundedTo(available.size() * 0.92));
    }

    connect(&app, &AppViewModel::changed, this, &MainWindow::render);
    render();
}

void MainWindow::render() {
    openOutput_->setEnabled(app.server().isRunning());
    closeOutput_->setEnabled(app.isDisplayOutputOpen());
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        QTimer::singleShot(0, this, &MainWindow::firstPainted);
    }
    return handled;
}
