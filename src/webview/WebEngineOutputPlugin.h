#pragma once

#include "services/OutputWebSurfaceFactory.h"

#include <QObject>

// The root object of the web view plugin: the only code of the program that
// links Qt WebEngine.
class WebEngineOutputPlugin : public QObject, public OutputWebSurfaceFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OutputWebSurfaceFactory_iid)
    Q_INTERFACES(OutputWebSurfaceFactory)

public:
    OutputWebSurface* createSurface(QWidget* window, QObject* session,
                                    OutputWebSurface::Handlers handlers) override;
};
