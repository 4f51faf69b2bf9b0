#include "webview/WebEngineOutputView.h"

#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>

WebEngineOutputView::WebEngineOutputView(QWebEngineProfile* profile, Handlers handlers,
                                         QWidget* window, Kind kind)
    : QWebEngineView(window), handlers(std::move(handlers)) {
    auto* page = new QWebEnginePage(profile, this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    if (kind == Kind::output) {
        page->setBackgroundColor(Qt::transparent);
        // Chromium's "site can't be reached" page would replace the black
        // screen on a projector; a failure is for the log only.
        settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    }
    setPage(page);
    // Any call into the page starts its renderer and so puts the view's GL
    // render widget in place now. Arriving after the window is shown, that
    // widget would make Qt recreate the native window, and the new one would
    // have lost both the focus (Esc would never arrive) and, without a window
    // manager, full screen.
    page->runJavaScript(QStringLiteral("void 0"));
    connect(page, &QWebEnginePage::loadingChanged, this,
            &WebEngineOutputView::handleLoadingChanged);

    loadTimer.setSingleShot(true);
    connect(&loadTimer, &QTimer::timeout, this, &WebEngineOutputView::handleLoadTimeout);
}

void WebEngineOutputView::load(const QUrl& url, std::chrono::milliseconds timeout) {
    QWebEngineView::load(url);
    loadTimer.start(timeout);
}

// How Qt's load states map onto the three outcomes:
// - succeeded: finished, with the view's URL (the one after any redirect).
// - failed in the HTTP status domain: the server answered and the document was
//   committed, then judged failed (404, 500): navigation failed.
// - failed in any other domain (connection refused, DNS, TLS, an unsafe
//   port): nothing was ever committed, the failure came before the first
//   response: provisional load failed.
// - stopped (a newer load replaced it, or the time-out below): navigation
//   failed, since Qt does not say whether anything had been committed.
void WebEngineOutputView::handleLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus && timedOutStops > 0) {
        // Reported by the time-out already; a newer load's timer keeps running.
        --timedOutStops;
        return;
    }
    loadTimer.stop();

    const auto call = [](const auto& handler, const auto& argument) {
        if (handler)
            handler(argument);
    };
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        call(handlers.finished, url());
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // Qt's text for a status code is an unfilled error-page template.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            call(handlers.navigationFailed,
                 QStringLiteral("The server answered with HTTP status %1.").arg(info.errorCode()));
        else
            call(handlers.provisionalLoadFailed, info.errorString());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        call(handlers.navigationFailed, info.errorString().isEmpty()
                                            ? QStringLiteral("The load was stopped.")
                                            : info.errorString());
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    }
}

// A server that accepts but never answers would otherwise leave the output
// black with nothing in the log.
void WebEngineOutputView::handleLoadTimeout() {
    ++timedOutStops;
    if (handlers.provisionalLoadFailed)
        handlers.provisionalLoadFailed(QStringLiteral("The request timed out."));
    stop();
}
