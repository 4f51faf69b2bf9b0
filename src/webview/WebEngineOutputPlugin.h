#pragma once

#include "services/OutputWebSurfaceFactory.h"
#include "services/WebSurfaceFactory.h"

#include <QObject>

// The root object of the web view plugin: the only code of the program that
// links Qt WebEngine.
class WebEngineOutputPlugin : public QObject,
                              public OutputWebSurfaceFactory,
                              public WebSurfaceFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OutputWebSurfaceFactory_iid)
    Q_INTERFACES(OutputWebSurfaceFactory WebSurfaceFactory)

public:
    OutputWebSurface* createSurface(QWidget* window, QObject* session,
                                    OutputWebSurface::Handlers handlers) override;
    OutputWebSurface* createPageSurface(QWidget* parent,
                                        OutputWebSurface::Handlers handlers) override;
};
