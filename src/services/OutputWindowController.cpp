#include "services/OutputWindowController.h"

#include "services/DisplayScreen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWindow>

namespace {
Q_LOGGING_CATEGORY(lcDisplayOutput, "vesperline.displayoutput")

QString absoluteString(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}
} // namespace

OutputWindow::OutputWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(title);
    // The output is never what keeps the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Black shows through the transparent page until it paints, and stays
    // when the page cannot be loaded at all.
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

void OutputWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closing();
}

// Esc closes the output window. The filter sits on the application because
// the key arrives at the window's QWindow first and at the web view's render
// widget next, and the page must see neither. It only takes Escape aimed at
// the output window: Esc in the main window or a dialog keeps its own meaning
// there, rather than tearing down what the projector shows.
//
// The key's release comes after the window is gone and would land in whatever
// window gets the focus next, so after an Esc press the filter stays installed
// until that release (and any auto-repeat) has been swallowed too.
class OutputWindowController::EscapeFilter : public QObject {
public:
    explicit EscapeFilter(OutputWindowController* controller)
        : QObject(controller), controller(controller) {}
    ~EscapeFilter() override { uninstall(); }

    void arm(OutputWindow* window) {
        target = window;
        releasePending = false;
        install();
    }

    void disarm() {
        target = nullptr;
        if (!releasePending)
            uninstall();
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::ShortcutOverride)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape)
            return false;

        if (target && aimedAtOutput(receiver)) {
            if (type == QEvent::ShortcutOverride) {
                // Claim the key so that no application-wide Esc shortcut fires.
                event->accept();
            } else if (type == QEvent::KeyPress) {
                releasePending = true;
                const QPointer<OutputWindow> window = target;
                QMetaObject::invokeMethod(
                    controller,
                    [controller = controller, window] {
                        if (window && controller->window_ == window)
                            controller->close();
                    },
                    Qt::QueuedConnection);
            }
            return true;
        }

        if (!target && releasePending) {
            if (type == QEvent::KeyRelease) {
                if (!key->isAutoRepeat()) {
                    releasePending = false;
                    uninstall();
                }
                return true;
            }
            if (key->isAutoRepeat())
                return true;
            // A fresh press: the release went missing; stop waiting for it.
            releasePending = false;
            uninstall();
        }
        return false;
    }

private:
    bool aimedAtOutput(QObject* receiver) const {
        if (auto* widget = qobject_cast<QWidget*>(receiver))
            return widget->window() == target;
        if (auto* window = qobject_cast<QWindow*>(receiver))
            return window == target->windowHandle();
        return false;
    }

    void install() {
        if (!installed && qApp) {
            qApp->installEventFilter(this);
            installed = true;
        }
    }

    void uninstall() {
        if (installed && qApp)
            qApp->removeEventFilter(this);
        installed = false;
    }

    OutputWindowController* controller;
    QPointer<OutputWindow> target;
    bool releasePending = false;
    bool installed = false;
};

OutputWindowController::OutputWindowController(QObject* parent) : QObject(parent) {
    loadTimer_.setSingleShot(true);
    connect(&loadTimer_, &QTimer::timeout, this, &OutputWindowController::handleLoadTimeout);
}

OutputWindowController::~OutputWindowController() {
    onClosed = nullptr;
    tearDown(true);
    delete keyMonitor_;
    keyMonitor_ = nullptr;
    // deleteLater would never run once the event loop has ended, and a page
    // must go before its profile (a child of this object, deleted after us).
    for (const QPointer<OutputWindow>& window : std::as_const(retired_))
        delete window.data();
}

QWebEngineProfile* OutputWindowController::profile() {
    // Created on the first open, so that a program that never shows the output
    // never starts the web engine. Off the record: the output page needs no
    // cookies or storage on disk. Without an HTTP cache every load and reload
    // asks the server for the page, so a restarted or updated server is seen.
    if (!profile_) {
        profile_ = new QWebEngineProfile(this);
        profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    }
    return profile_;
}

void OutputWindowController::open(const QUrl& url, QScreen* screen) {
    close();
    if (!screen)
        screen = DisplayScreen::defaultScreen();
    if (!screen) {
        qCWarning(lcDisplayOutput).noquote() << "[Vesperline] Display output not opened: no screen";
        return;
    }
    pendingURL_ = url;
    const QRect frame = screen->geometry();

    auto* window = new OutputWindow;
    auto* view = new QWebEngineView(window);
    auto* page = new QWebEnginePage(profile(), view);
    page->setBackgroundColor(Qt::transparent);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    // Chromium's "site can't be reached" page would replace the black screen
    // on a projector; a failure is for the log only.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    view->setPage(page);
    // Any call into the page starts its renderer and so puts the view's GL
    // render widget in place now. Arriving after show(), that widget would make
    // Qt recreate the native window, and the new one would have lost both the
    // focus (Esc would never arrive) and, without a window manager, full screen.
    page->runJavaScript(QStringLiteral("void 0"));
    connect(page, &QWebEnginePage::loadingChanged, this,
            [this, page](const QWebEngineLoadingInfo& info) {
                if (webView_ && webView_->page() == page)
                    handleLoadingChanged(info);
            });

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);

    window->setScreen(screen);
    window->setGeometry(frame);
    window->showFullScreen();
    window->raise();
    window->activateWindow();
    view->setFocus(Qt::ActiveWindowFocusReason);

    closeObserver_ =
        connect(window, &OutputWindow::closing, this, &OutputWindowController::handleClosed);
    if (!keyMonitor_)
        keyMonitor_ = new EscapeFilter(this);
    keyMonitor_->arm(window);

    window_ = window;
    webView_ = view;
    open_ = true;
    qCInfo(lcDisplayOutput).noquote()
        << "[Vesperline] Display output loading" << absoluteString(url);
    Q_EMIT changed();

    // After the window is on screen; dropped with the view if it closes first.
    QTimer::singleShot(0, view, [this, view, url] {
        if (webView_ == view)
            load(url);
    });
}

void OutputWindowController::reload(const QUrl& url) {
    if (!open_ || !webView_)
        return;
    pendingURL_ = url;
    qCInfo(lcDisplayOutput).noquote()
        << "[Vesperline] Display output reload" << absoluteString(url);
    load(url);
    Q_EMIT changed();
}

void OutputWindowController::close() {
    tearDown(true);
}

void OutputWindowController::handleClosed() {
    tearDown(false);
}

void OutputWindowController::tearDown(bool closeWindow) {
    if (keyMonitor_)
        keyMonitor_->disarm();
    if (closeObserver_) {
        disconnect(closeObserver_);
        closeObserver_ = {};
    }
    loadTimer_.stop();
    timedOut_ = false;
    if (OutputWindow* window = window_) {
        window_ = nullptr;
        if (closeWindow) {
            window->hide();
            window->close();
        }
        retired_.removeAll(nullptr);
        retired_.append(window);
        // Not deleted here: close() may run inside one of the view's own
        // signal handlers, and handleClosed() inside the window's closeEvent.
        window->deleteLater();
    }
    webView_ = nullptr;
    pendingURL_ = QUrl();
    if (open_) {
        open_ = false;
        Q_EMIT changed();
        if (const std::function<void()> callback = onClosed)
            callback();
    }
}

void OutputWindowController::load(const QUrl& url) {
    if (!webView_)
        return;
    timedOut_ = false;
    webView_->load(url);
    loadTimer_.start(loadTimeout_);
}

// How Qt's load states map onto the three diagnostic lines:
// - succeeded: "loaded", with the view's URL (the one after any redirect).
// - failed in the HTTP status domain: the server answered and the document was
//   committed, then judged failed (404, 500): "navigation failed".
// - failed in any other domain (connection refused, DNS, TLS, an unsafe
//   port): nothing was ever committed, the failure came before the first
//   response: "provisional load failed".
// - stopped (a newer load replaced it, or the time-out below): "navigation
//   failed", since Qt does not say whether anything had been committed.
void OutputWindowController::handleLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    loadTimer_.stop();

    if (timedOut_) {
        timedOut_ = false;
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
            return; // the time-out has logged this load already
    }

    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus: {
        QUrl shown = webView_ ? webView_->url() : QUrl();
        if (shown.isEmpty())
            shown = pendingURL_;
        qCInfo(lcDisplayOutput).noquote()
            << "[Vesperline] Display output loaded" << absoluteString(shown);
        break;
    }
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // Qt's text for a status code is an unfilled error-page template.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            qCInfo(lcDisplayOutput).noquote().nospace()
                << "[Vesperline] Display output navigation failed: The server answered with HTTP "
                   "status "
                << info.errorCode() << ".";
        else
            qCInfo(lcDisplayOutput).noquote().nospace()
                << "[Vesperline] Display output provisional load failed: " << info.errorString();
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        qCInfo(lcDisplayOutput).noquote().nospace()
            << "[Vesperline] Display output navigation failed: "
            << (info.errorString().isEmpty() ? QStringLiteral("The load was stopped.")
                                             : info.errorString());
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    }
}

void OutputWindowController::handleLoadTimeout() {
    if (!webView_)
        return;
    timedOut_ = true;
    qCInfo(lcDisplayOutput).noquote() << "[Vesperline] Display output provisional load failed: "
                                         "The request timed out.";
    webView_->stop();
}
