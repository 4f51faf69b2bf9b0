#pragma once

#include "services/OutputWebSurface.h"

#include <QtPlugin>

class QObject;
class QWidget;

// What the web view plugin's root object offers to the display output.
class OutputWebSurfaceFactory {
public:
    virtual ~OutputWebSurfaceFactory() = default;

    // A view inside `window`: transparent until the page paints, JavaScript
    // on, media that play without a gesture, no scroll bars, and no browser
    // error page (a failed load leaves the window black). Every view made for
    // one `session` shares one off-the-record web profile without an HTTP
    // cache, kept as the session's child: the session must delete its views
    // before it goes itself.
    virtual OutputWebSurface* createSurface(QWidget* window, QObject* session,
                                            OutputWebSurface::Handlers handlers) = 0;
};

#define OutputWebSurfaceFactory_iid "org.vesperline.OutputWebSurfaceFactory/1"
Q_DECLARE_INTERFACE(OutputWebSurfaceFactory, OutputWebSurfaceFactory_iid)
