#include "views/AppDetailView.h"

#include "app/AppViewModel.h"
#include "views/AdminView.h"
#include "views/BookmarksView.h"
#include "views/DashboardView.h"
#include "views/PlaylistsView.h"
#include "views/SettingsView.h"
#include "views/ThemesView.h"
#include "views/UpdatesView.h"
#include "views/iPadSetupView.h"

#include <QLabel>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// What a tab shows until its screen exists: its title, set like a screen's
// heading, so the window already has its final shape.
QWidget* titleOnly(AppTab tab, QWidget* parent) {
    auto* screen = new QWidget(parent);
    auto* column = new QVBoxLayout(screen);
    column->setContentsMargins(24, 24, 24, 24);
    auto* title = new QLabel(AppTabs::title(tab), screen);
    title->setObjectName(QStringLiteral("screenTitle"));
    QFont heading = title->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.9);
    heading.setWeight(QFont::Bold);
    title->setFont(heading);
    title->setTextInteractionFlags(Qt::NoTextInteraction);
    column->addWidget(title, 0, Qt::AlignLeft | Qt::AlignTop);
    column->addStretch(1);
    return screen;
}

// Whatever the screen, the detail area announces which one it is.
QWidget* named(QWidget* screen, AppTab tab) {
    screen->setAccessibleName(AppTabs::title(tab));
    return screen;
}

} // namespace

AppDetailView::AppDetailView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    stack = new QStackedLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    tab_ = app.selectedTab();
    placeholder_ = named(titleOnly(tab_, this), tab_);
    stack->addWidget(placeholder_);
}

bool AppDetailView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Paint && placeholder_)
        QTimer::singleShot(0, this, [this] {
            if (placeholder_)
                showScreen(tab_);
        });
    return handled;
}

void AppDetailView::setTab(AppTab tab) {
    // The first tab's screen comes once the window has painted.
    if (placeholder_ && tab == tab_)
        return;
    showScreen(tab);
}

QWidget* AppDetailView::screen() const {
    return placeholder_ ? placeholder_ : screens_.value(tab_);
}

void AppDetailView::showScreen(AppTab tab) {
    tab_ = tab;
    QWidget* shown = screens_.value(tab);
    const bool build = !shown;
    if (build) {
        shown = named(makeScreen(tab, app, this), tab);
        screens_.insert(tab, shown);
        stack->addWidget(shown);
    }
    stack->setCurrentWidget(shown);
    if (placeholder_) {
        placeholder_->deleteLater();
        placeholder_ = nullptr;
    }
    if (build)
        Q_EMIT screenBuilt(tab);
}

QWidget* AppDetailView::makeScreen(AppTab tab, AppViewModel& app, QWidget* parent) {
    switch (tab) {
    case AppTab::dashboard:
        return new DashboardView(app, parent);
    case AppTab::ipad:
        return new iPadSetupView(app, parent);
    case AppTab::bookmarks:
        return new BookmarksView(app, parent);
    case AppTab::playlists:
        return new PlaylistsView(app, parent);
    case AppTab::themes:
        return new ThemesView(app, parent);
    case AppTab::admin:
        return new AdminView(app, parent);
    case AppTab::updates:
        return new UpdatesView(app, parent);
    case AppTab::settings:
        return new SettingsView(app, parent);
    }
    Q_UNREACHABLE();
    return nullptr;
}
