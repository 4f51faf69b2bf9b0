#include "views/AdminWebView.h"

#include "services/OutputWebSurface.h"
#include "services/WebSurfaceFactory.h"
#include "services/WebViewPlugin.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

AdminWebView::AdminWebView(const QUrl& url, QWidget* parent) : QWidget(parent), url_(url) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("webAdminProblem"));
    problem_->setWordWrap(true);
    problem_->setContentsMargins(12, 8, 12, 8);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ScreenStyle::setTextTone(problem_, SemanticColors::Tone::red);
    problem_->hide();
    column->addWidget(problem_);

    QString reason;
    QObject* plugin = WebViewPlugin::instance(&reason);
    auto* factory = qobject_cast<WebSurfaceFactory*>(plugin);
    if (plugin && !factory)
        reason = WebViewPlugin::path() + QStringLiteral(" is not the web view plugin");
    if (!factory) {
        // The address stays selectable, so the page can still be opened in a browser.
        showProblem(QStringLiteral("The web admin cannot be shown here: ") + reason +
                    QStringLiteral(". Open ") + url.toString() +
                    QStringLiteral(" in a browser, or reinstall Vesperline."));
        column->addStretch(1);
        return;
    }

    const QPointer<AdminWebView> self(this);
    OutputWebSurface::Handlers handlers;
    handlers.finished = [self](const QUrl&) {
        if (!self)
            return;
        self->shownPage_ = true;
        self->problem_->hide();
        Q_EMIT self->pageShown();
    };
    // The browser's own error page says more where the server never
    // answered; this line also covers a page that stopped loading.
    const auto failed = [self](const QString& description) {
        if (self)
            self->showProblem(QStringLiteral("The web admin did not load: ") + description);
    };
    handlers.navigationFailed = failed;
    handlers.provisionalLoadFailed = failed;
    surface_ = factory->createPageSurface(this, std::move(handlers));
    column->addWidget(surface_->widget(), 1);
    surface_->load(url, loadTimeout);
}

void AdminWebView::showProblem(const QString& text) {
    problem_->setText(text);
    problem_->show();
}
