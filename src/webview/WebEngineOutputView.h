#pragma once

#include "services/OutputWebSurface.h"

#include <QTimer>
#include <QWebEngineView>

class QWebEngineLoadingInfo;
class QWebEngineProfile;

// A web view of the server's pages: Qt WebEngine's load states turned into
// the three outcomes of OutputWebSurface, and the load time-out. The display
// output's view is a bare picture; a page view behaves as a browser does.
class WebEngineOutputView : public QWebEngineView, public OutputWebSurface {
    Q_OBJECT

public:
    enum class Kind { output, page };

    WebEngineOutputView(QWebEngineProfile* profile, Handlers handlers, QWidget* window, Kind kind);

    QWidget* widget() override { return this; }
    void load(const QUrl& url, std::chrono::milliseconds timeout) override;

private:
    void handleLoadingChanged(const QWebEngineLoadingInfo& info);
    void handleLoadTimeout();

    Handlers handlers;
    QTimer loadTimer;
    // Loads the time-out has stopped and reported, whose stop Qt has yet to
    // announce; the announcement may come after the next load has begun.
    int timedOutStops = 0;
};
