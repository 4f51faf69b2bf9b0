#include "webview/WebEngineOutputPlugin.h"

#include "webview/WebEngineOutputView.h"

#include <QWebEngineProfile>

namespace {
const QString profileName = QStringLiteral("vesperline-output-profile");
}

OutputWebSurface* WebEngineOutputPlugin::createSurface(QWidget* window, QObject* session,
                                                       OutputWebSurface::Handlers handlers) {
    // Made on the first view, so that a program that never shows the output
    // never starts the web engine. Off the record: the output page needs no
    // cookies or storage on disk. Without an HTTP cache every load and reload
    // asks the server for the page, so a restarted or updated server is seen.
    auto* profile = session->findChild<QWebEngineProfile*>(profileName, Qt::FindDirectChildrenOnly);
    if (!profile) {
        profile = new QWebEngineProfile(session);
        profile->setObjectName(profileName);
        profile->setHttpCacheType(QWebEngineProfile::NoCache);
    }
    return new WebEngineOutputView(profile, std::move(handlers), window,
                                   WebEngineOutputView::Kind::output);
}

OutputWebSurface* WebEngineOutputPlugin::createPageSurface(QWidget* parent,
                                                           OutputWebSurface::Handlers handlers) {
    // The default profile lives as long as the web engine, so a page
    // surface needs no session to keep one.
    return new WebEngineOutputView(QWebEngineProfile::defaultProfile(), std::move(handlers), parent,
                                   WebEngineOutputView::Kind::page);
}
