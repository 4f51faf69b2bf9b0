#pragma once

#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

class QWidget;

// A web view showing one of the server's pages: the display output window's,
// or the web admin's. Qt WebEngine lives in a plugin that is loaded when the
// first such view is made, so this side knows the view only through this
// interface (and OutputWebSurfaceFactory, WebSurfaceFactory).
//
// Header only and without a QObject: the plugin is built against these
// headers, and anything that needs a definition (a meta-object) would have to
// exist once in both the program and the plugin.
class OutputWebSurface {
public:
    // How a load ended: one call per load. A load that a newer one replaced,
    // or that was stopped, ends as a failed navigation. Any may be left empty.
    struct Handlers {
        // With the URL shown, the one after any redirect.
        std::function<void(const QUrl& shown)> finished;
        // The server answered, but the navigation failed afterwards.
        std::function<void(const QString& description)> navigationFailed;
        // Nothing was ever shown: no connection, no answer in time, and the like.
        std::function<void(const QString& description)> provisionalLoadFailed;
    };

    virtual ~OutputWebSurface() = default;

    // The view itself. It belongs to the window it was created in: deleting
    // the window deletes the surface too.
    virtual QWidget* widget() = 0;

    // Loads the page, through the HTTP cache of the surface's profile (the
    // display output's has none). A load that has not finished after
    // `timeout` is stopped and reported as a provisional failure.
    virtual void load(const QUrl& url, std::chrono::milliseconds timeout) = 0;
};
