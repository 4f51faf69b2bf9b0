#pragma once

#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

class QWidget;

// The web view of the display output window. Qt WebEngine lives in a plugin
// that is loaded when the first output window opens, so this side knows the
// view only through this interface (and OutputWebSurfaceFactory).
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

    // Asks the server for the page, never a cached copy. A load that has not
    // finished after `timeout` is stopped and reported as a provisional
    // failure.
    virtual void load(const QUrl& url, std::chrono::milliseconds timeout) = 0;
};
