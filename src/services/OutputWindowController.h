#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <chrono>
#include <functional>

class OutputWebSurface;
class QScreen;

// The frameless, black, always-on-top top-level window that covers one
// monitor. Its only addition to QWidget is that it reports its own closing
// (a window-manager close, or close() from anywhere) to the controller.
class OutputWindow : public QWidget {
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Vesperline — Display Output");

    OutputWindow();

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Opens, reloads and closes the display output: the server's output page,
// full screen on a chosen monitor. Esc in the window closes it. Lines beginning
// "[Vesperline] Display output" go to the "vesperline.displayoutput" logging
// category. Everything lives on the main thread.
//
// The web view comes from WebViewPlugin, loaded on the first open. Without the
// plugin the window still opens, black and without a web view, and the log
// says why the page cannot be shown.
class OutputWindowController : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultLoadTimeout{60'000};

    explicit OutputWindowController(QObject* parent = nullptr);
    // Tears the window down without calling onClosed: the owner is going away.
    ~OutputWindowController() override;

    // Closes any earlier window first (its onClosed fires), then shows a new
    // one on the screen (the default screen when null) and loads the URL on the
    // next turn of the event loop, once the window is on screen.
    void open(const QUrl& url, QScreen* screen);
    // Loads a new URL into the open window; ignored while closed.
    void reload(const QUrl& url);
    // Closes the window; onClosed fires once if it was open.
    void close();

    bool isOpen() const { return open_; }
    QWidget* window() const { return window_; }
    // The web view inside the window; null when closed or without the plugin.
    QWidget* webView() const { return webView_; }
    QUrl pendingURL() const { return pendingURL_; }
    // Why the last window opened without a web view, as a sentence; empty
    // when it has one.
    QString problem() const { return problem_; }

    // A load that has not finished after this long is stopped and logged as
    // failed: a server that accepts but never answers would otherwise leave
    // the output black with nothing in the log.
    void setLoadTimeout(std::chrono::milliseconds timeout) { loadTimeout_ = timeout; }

    // Called after the window closed by any path, once per opened window.
    std::function<void()> onClosed;

Q_SIGNALS:
    void changed();

private:
    class EscapeFilter;

    void handleClosed();
    void tearDown(bool closeWindow);
    OutputWebSurface* createSurface(OutputWindow* window);
    void logFinished(const QUrl& shown) const;
    void load(const QUrl& url);

    QPointer<OutputWindow> window_;
    // The surface is the web view's own; valid while webView_ is.
    QPointer<QWidget> webView_;
    OutputWebSurface* surface_ = nullptr;
    QMetaObject::Connection closeObserver_;
    EscapeFilter* keyMonitor_ = nullptr;
    QUrl pendingURL_;
    QString problem_;
    bool open_ = false;

    std::chrono::milliseconds loadTimeout_ = defaultLoadTimeout;
    // Closed windows wait for deleteLater; the destructor deletes any still
    // pending so that no page outlives the web profile, a child of this object.
    QList<QPointer<OutputWindow>> retired_;
};
