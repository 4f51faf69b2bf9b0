#include "services/OutputWindowController.h"

#include "services/DisplayScreen.h"
#include "services/OutputWebSurfaceFactory.h"
#include "services/WebViewPlugin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
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

OutputWindowController::OutputWindowController(QObject* parent) : QObject(parent) {}

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

OutputWebSurface* OutputWindowController::createSurface(OutputWindow* window) {
    QString problem;
    problem_.clear();
    QObject* plugin = WebViewPlugin::instance(&problem);
    auto* factory = qobject_cast<OutputWebSurfaceFactory*>(plugin);
    if (plugin && !factory)
        problem = WebViewPlugin::path() + QStringLiteral(" is not the web view plugin");
    if (!factory) {
        const QString reason =
            QStringLiteral("Display output cannot show the page: ") + problem + '.';
        qCWarning(lcDisplayOutput).noquote() << "[Vesperline]" << reason;
        problem_ = reason + QStringLiteral(" Reinstall Vesperline.");
        return nullptr;
    }

    // Reports of a window that has since closed are dropped.
    const QPointer<OutputWindow> owner = window;
    const auto current = [this, owner] { return owner && window_ == owner; };
    OutputWebSurface::Handlers handlers;
    handlers.finished = [this, current](const QUrl& shown) {
        if (current())
            logFinished(shown);
    };
    handlers.navigationFailed = [this, current](const QString& description) {
        if (current())
            qCInfo(lcDisplayOutput).noquote().nospace()
                << "[Vesperline] Display output navigation failed: " << description;
    };
    handlers.provisionalLoadFailed = [this, current](const QString& description) {
        if (current())
            qCInfo(lcDisplayOutput).noquote().nospace()
                << "[Vesperline] Display output provisional load failed: " << description;
    };
    return factory->createSurface(window, this, std::move(handlers));
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
    OutputWebSurface* surface = createSurface(window);
    QWidget* view = surface ? surface->widget() : nullptr;
    if (view) {
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(view);
    }

    window->setScreen(screen);
    window->setGeometry(frame);
    window->showFullScreen();
    window->raise();
    window->activateWindow();
    if (view)
        view->setFocus(Qt::ActiveWindowFocusReason);

    closeObserver_ =
        connect(window, &OutputWindow::closing, this, &OutputWindowController::handleClosed);
    if (!keyMonitor_)
        keyMonitor_ = new EscapeFilter(this);
    keyMonitor_->arm(window);

    window_ = window;
    webView_ = view;
    surface_ = surface;
    open_ = true;
    if (view)
        qCInfo(lcDisplayOutput).noquote()
            << "[Vesperline] Display output loading" << absoluteString(url);
    Q_EMIT changed();

    // After the window is on screen; dropped with the view if it closes first.
    if (view)
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
    surface_ = nullptr;
    pendingURL_ = QUrl();
    if (open_) {
        open_ = false;
        Q_EMIT changed();
        if (const std::function<void()> callback = onClosed)
            callback();
    }
}

void OutputWindowController::load(const QUrl& url) {
    if (webView_)
        surface_->load(url, loadTimeout_);
}

void OutputWindowController::logFinished(const QUrl& shown) const {
    qCInfo(lcDisplayOutput).noquote() << "[Vesperline] Display output loaded"
                                      << absoluteString(shown.isEmpty() ? pendingURL_ : shown);
}
