#pragma once

#include <QList>
#include <QString>

// The screens of the main window, in sidebar order.
enum class AppTab { dashboard, ipad, bookmarks, playlists, themes, admin, updates, settings };

namespace AppTabs {

// Every tab in sidebar order.
const QList<AppTab>& all();

// The title shown in the sidebar and as the screen's heading: "Dashboard", "iPad Setup"...
QString title(AppTab tab);

// The symbol name the icon is looked up by (Symbols::icon).
QString symbol(AppTab tab);

} // namespace AppTabs
