#include "app/AppTab.h"

namespace AppTabs {

const QList<AppTab>& all() {
    static const QList<AppTab> tabs{AppTab::dashboard, AppTab::ipad,    AppTab::bookmarks,
                                    AppTab::playlists, AppTab::themes,  AppTab::admin,
                                    AppTab::updates,   AppTab::settings};
    return tabs;
}

QString title(AppTab tab) {
    switch (tab) {
    case AppTab::dashboard:
        return QStringLiteral("Dashboard");
    case AppTab::ipad:
        return QStringLiteral("iPad Setup");
    case AppTab::bookmarks:
        return QStringLiteral("Bookmarks");
    case AppTab::playlists:
        return QStringLiteral("Playlists");
    case AppTab::themes:
        return QStringLiteral("Themes");
    case AppTab::admin:
        return QStringLiteral("Admin");
    case AppTab::updates:
        return QStringLiteral("Updates");
    case AppTab::settings:
        return QStringLiteral("Settings");
    }
    return {};
}

QString symbol(AppTab tab) {
    switch (tab) {
    case AppTab::dashboard:
        return QStringLiteral("gauge.with.dots.needle.67percent");
    case AppTab::ipad:
        return QStringLiteral("ipad.and.iphone");
    case AppTab::bookmarks:
        return QStringLiteral("bookmark.fill");
    case AppTab::playlists:
        return QStringLiteral("list.bullet.rectangle.portrait.fill");
    case AppTab::themes:
        return QStringLiteral("paintpalette.fill");
    case AppTab::admin:
        return QStringLiteral("slider.horizontal.3");
    case AppTab::updates:
        return QStringLiteral("arrow.triangle.2.circlepath");
    case AppTab::settings:
        return QStringLiteral("gearshape.fill");
    }
    return {};
}

} // namespace AppTabs
