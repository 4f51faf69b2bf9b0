#pragma once

#include <QMainWindow>

class AppViewModel;
class ContentView;
class QAction;

// The program's one main window: the content view and the menus. Closing it
// only hides it; Quit ends the program.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int minimumContentWidth = 720;
    static constexpr int minimumContentHeight = 520;

    explicit MainWindow(AppViewModel& app, QWidget* parent = nullptr);

    ContentView& content() const { return *content_; }
    QAction* quitAction() const { return quit_; }
    QAction* openDisplayOutputAction() const { return openOutput_; }
    QAction* closeDisplayOutputAction() const { return closeOutput_; }

Q_SIGNALS:
    // After the window's first paint: it is on screen.
    void firstPainted();

protected:
    bool event(QEvent* event) override;

private:
    void render();

    AppViewModel& app;
    ContentView* content_;
    QAction* quit_;
    QAction* openOutput_;
    QAction* closeOutput_;
    bool painted_ = false;
};
