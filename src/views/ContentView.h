#pragma once

#include "app/AppTab.h"
#include "models/ServerStatus.h"
#include "services/CancellationToken.h"

#include <QMap>
#include <QWidget>
#include <qcoro/qcorotask.h>

class AppDetailView;
class AppViewModel;
class ServerStatusFooter;
class SidebarTabButton;

// The main window's content: the sidebar (logo, the eight tabs, the server
// status footer) beside the selected tab's screen. While shown it keeps the
// server status fresh (a sync at once, then every 3 seconds and on every tab
// change) and reloads the church data when the server comes up.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 232;
    static constexpr std::chrono::milliseconds statusPollInterval{3000};
    static constexpr int currentLayoutVersion = 3;

    explicit ContentView(AppViewModel& app, QWidget* parent = nullptr);
    ~ContentView() override;

    // Qt keeps no window layout state in the preferences, so there is nothing
    // stale to remove: this only records the layout version.
    static void clearLegacySplitViewDefaultsIfNeeded();

    AppDetailView& detail() const { return *detail_; }
    ServerStatusFooter& footer() const { return *footer_; }
    SidebarTabButton* tabButton(AppTab tab) const { return tabButtons_.value(tab); }
    // Whether the status poll runs (between show and hide).
    bool isPolling() const { return bool(poll_); }

Q_SIGNALS:
    // The first time the content is on screen.
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildSidebar();
    void render();
    QCoro::Task<> pollStatus(CancellationHandle token);
    QCoro::Task<> reloadData();
    QCoro::Task<> syncStatus();

    AppViewModel& app;
    QWidget* sidebar_ = nullptr;
    AppDetailView* detail_ = nullptr;
    ServerStatusFooter* footer_ = nullptr;
    QMap<AppTab, SidebarTabButton*> tabButtons_;
    CancellationHandle poll_;
    bool everShown_ = false;
    ServerStatus lastStatus_;
    AppTab lastTab_;
};
