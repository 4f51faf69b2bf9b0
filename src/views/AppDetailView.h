#pragma once

#include "app/AppTab.h"

#include <QPointer>
#include <QWidget>

class AppViewModel;

// The main window's detail area: the screen of the selected tab. A tab's
// screen is created when the tab is shown and goes away when another tab is
// chosen; screens keep no state of their own worth preserving, since they
// render from the model.
class AppDetailView : public QWidget {
    Q_OBJECT

public:
    explicit AppDetailView(AppViewModel& app, QWidget* parent = nullptr);

    // Shows the tab's screen; the same tab again keeps the screen as it is.
    void setTab(AppTab tab);
    AppTab tab() const { return tab_; }
    QWidget* screen() const { return screen_; }

    // The one place that knows which screen belongs to which tab.
    static QWidget* makeScreen(AppTab tab, AppViewModel& app, QWidget* parent);

private:
    AppViewModel& app;
    AppTab tab_ = AppTab::dashboard;
    QPointer<QWidget> screen_;
};
