#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class AdminWebView;

// The server's web admin in a sheet over the main window: the title and
// "Done" (also the Return key) above the page. However the sheet goes,
// "Done", Esc or its window closed, `onDismiss` runs once afterwards, so that
// what the page changed is read back. It deletes itself when closed.
class AdminWebSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize minimumContentSize{900, 640};

    AdminWebSheet(const QString& title, const QUrl& url, std::function<void()> onDismiss,
                  QWidget* parent);

    AdminWebView& webView() const { return *webView_; }

private:
    AdminWebView* webView_ = nullptr;
};
