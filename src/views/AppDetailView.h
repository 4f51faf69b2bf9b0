#pragma once

#include "app/AppTab.h"

#include <QMap>
#include <QWidget>

class AppViewModel;
class QStackedLayout;

// The main window's detail area: the screen of the selected tab. A tab's
// screen is built the first time the tab is shown and kept afterwards, so
// that start-up pays only for the first screen and a screen keeps where the
// operator left it (scroll position, selection). Screens render from the
// model and keep no copy of its data.
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

private:
    AppViewModel& app;
    AppTab tab_ = AppTab::dashboard;
    QStackedLayout* stack = nullptr;
    QMap<AppTab, QWidget*> screens_;
};
