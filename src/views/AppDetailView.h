#pragma once

#include "app/AppTab.h"

#include <QMap>
#include <QWidget>

class AppViewModel;
class QStackedLayout;

// The main window's detail area: the screen of the selected tab. A tab's
// screen is built the first time the tab is shown and kept afterwards, so
// that start-up pays for no screen but the first and a screen keeps where
// the operator left it (scroll position, selection). The very first screen
// waits until the window has painted once: the window appears at once with
// the tab's title, and the screen follows in the next turn of the event
// loop. Screens render from the model and keep no copy of its data.
class AppDetailView : public QWidget {
    Q_OBJECT

public:
    explicit AppDetailView(AppViewModel& app, QWidget* parent = nullptr);

    // Shows the tab's screen, building it if it was never shown.
    void setTab(AppTab tab);
    AppTab tab() const { return tab_; }
    QWidget* screen() const;
    bool isBuilt(AppTab tab) const { return screens_.contains(tab); }

    // The one place that knows which screen belongs to which tab.
    static QWidget* makeScreen(AppTab tab, AppViewModel& app, QWidget* parent);

Q_SIGNALS:
    // A screen was built and is showing.
    void screenBuilt(AppTab tab);

protected:
    bool event(QEvent* event) override;

private:
    void showScreen(AppTab tab);

    AppViewModel& app;
    AppTab tab_ = AppTab::dashboard;
    QStackedLayout* stack = nullptr;
    QMap<AppTab, QWidget*> screens_;
    // The first tab's title, until the window has painted.
    QWidget* placeholder_ = nullptr;
};
