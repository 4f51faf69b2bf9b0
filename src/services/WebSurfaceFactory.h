#pragma once

#include "services/OutputWebSurface.h"

#include <QtPlugin>

class QWidget;

// What the web view plugin's root object offers to screens that show one of
// the server's pages as an ordinary browser would (the web admin), beside the
// display output's views (OutputWebSurfaceFactory).
class WebSurfaceFactory {
public:
    virtual ~WebSurfaceFactory() = default;

    // A view inside `parent` with the web engine's default profile and
    // settings: JavaScript on, the standard HTTP cache, scroll bars, and the
    // browser's own page when a load fails, so that the person in front of it
    // sees why. Deleting `parent` deletes the surface too.
    virtual OutputWebSurface* createPageSurface(QWidget* parent,
                                                OutputWebSurface::Handlers handlers) = 0;
};

#define WebSurfaceFactory_iid "org.vesperline.WebSurfaceFactory/1"
Q_DECLARE_INTERFACE(WebSurfaceFactory, WebSurfaceFactory_iid)
