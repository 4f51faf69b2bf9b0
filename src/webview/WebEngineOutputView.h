#pragma once

#include "services/OutputWebSurface.h"

#include <QTimer>
#include <QWebEngineView>

class QWebEngineLoadingInfo;
class QWebEngineProfile;

// The display output's web view: Qt WebEngine's load states turned into the
// three outcomes of OutputWebSurface, and the load time-out.
class WebEngineOutputView : public QWebEngineView, public OutputWebSurface {
    Q_OBJECT

public:
    WebEngineOutputView(QWebEngineProfile* profile, Handlers handlers, QWidget* window);

    QWidget* widget() override { return this; }
    void load(const QUrl& url, std::chrono::milliseconds timeout) override;

private:
    void handleLoadingChanged(const QWebEngineLoadingInfo& info);
    void handleLoadTimeout();

    Handlers handlers;
    QTimer loadTimer;
    bool timedOut = false;
};
