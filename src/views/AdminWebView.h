#pragma once

#include <QUrl>
#include <QWidget>
#include <chrono>

class OutputWebSurface;
class QLabel;

// The server's web admin page in a web view made by the web view plugin (so
// that Qt WebEngine loads only when the first one is made). The page is
// asked for once, when the view is made; nothing reloads it afterwards.
class AdminWebView : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds loadTimeout{60};

    AdminWebView(const QUrl& url, QWidget* parent = nullptr);

    const QUrl& url() const { return url_; }
    // Whether the page has been shown.
    bool hasShownPage() const { return shownPage_; }

Q_SIGNALS:
    void pageShown();

private:
    void showProblem(const QString& text);

    QUrl url_;
    OutputWebSurface* surface_ = nullptr;
    QLabel* problem_ = nullptr;
    bool shownPage_ = false;
};
