#include "views/DashboardView.h"

#include "app/AppViewModel.h"
#include "services/CancellationToken.h"
#include "services/ServerManager.h"
#include "views/AppLogoView.h"
#include "views/OutputPanel.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/ServerLogPanel.h"
#include "views/ServerPanel.h"
#include "views/SetupWarningsPanel.h"
#include "views/StartupProgressView.h"
#include "views/UrlsPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace std::chrono_literals;
using namespace ScreenStyle;

namespace {

const QString serverAlreadyRunning = QStringLiteral("Server already running");

} // namespace

DashboardView::DashboardView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    setObjectName(QStringLiteral("dashboard"));
    QVBoxLayout* column = scrollingColumn(this);
    QWidget* content = column->parentWidget();
    column->addWidget(buildHeader());
    column->addWidget(warnings = new SetupWarningsPanel(app, content));
    column->addWidget(serverPanel = new ServerPanel(app, content));
    column->addWidget(outputPanel = new OutputPanel(app, content));
    column->addWidget(urlsPanel = new UrlsPanel(app, content));
    column->addWidget(logPanel = new ServerLogPanel(app, content));
    column->addStretch(1);
    connect(serverPanel, &ServerPanel::startRequested, this, &DashboardView::beginStart);

    wasServerRunning = app.mirroredServerRunning();
    connect(&app, &AppViewModel::changed, this, &DashboardView::render);
}

void DashboardView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    render();
}

DashboardView::~DashboardView() {
    // A sheet outlives no screen: it follows a start this screen began.
    if (startupSheet_)
        startupSheet_->close();
}

QWidget* DashboardView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(new AppLogoView(48, header));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Dashboard"), header);
    title->setFont(scaled(title->font(), 1.9, QFont::Bold));
    titles->addWidget(title);
    subtitle = caption(QString(), header);
    subtitle->setFont(font());
    titles->addWidget(subtitle);
    row->addLayout(titles, 1);
    readinessBadge = new QLabel(header);
    readinessBadge->setObjectName(QStringLiteral("readiness"));
    row->addWidget(readinessBadge, 0, Qt::AlignTop);
    return header;
}

bool DashboardView::showStartProgress() const {
    return !startupSheet_.isNull();
}

StartupProgressView* DashboardView::startupSheet() const {
    return startupSheet_;
}

void DashboardView::beginStart() {
    if (app.mirroredServerStatus() == ServerStatus::running) {
        showServerAlreadyRunning();
        return;
    }
    ServerManager& server = app.server();
    server.prepareStartupLog();
    if (app.showStartupLog() && !startupSheet_) {
        startupSheet_ = new StartupProgressView(
            &server, ServerLog::filePath(),
            [app = QPointer<AppViewModel>(&app)](const QString& path) {
                if (app)
                    app->openURL(path, false);
            },
            window());
        connect(startupSheet_, &StartupProgressView::closed, this, [this, sheet = startupSheet_] {
            if (startupSheet_ == sheet)
                startupSheet_.clear();
            sheet->deleteLater();
        });
        startupSheet_->open();
    }
    server.start();
}

void DashboardView::showServerAlreadyRunning() {
    app.setStatusMessage(serverAlreadyRunning);
    [](QPointer<AppViewModel> model) -> QCoro::Task<> {
        auto pause = CancellationToken::sleep(1s, nullptr);
        co_await pause;
        // A newer message stays.
        if (model && model->statusMessage() == serverAlreadyRunning)
            model->setStatusMessage(std::nullopt);
    }(QPointer<AppViewModel>(&app));
}

void DashboardView::closeOutputWhenServerStops() {
    const bool running = app.mirroredServerRunning();
    if (wasServerRunning && !running && app.isDisplayOutputOpen())
        app.closeDisplayOutput();
    wasServerRunning = running;
}

void DashboardView::render() {
    closeOutputWhenServerStops();
    // Hidden behind another tab: drawn again when shown.
    if (!isVisible())
        return;
    renderHeader();
    warnings->render();
    serverPanel->render();
    outputPanel->render();
    urlsPanel->render();
    logPanel->render();
}

void DashboardView::renderHeader() {
    setIfChanged(subtitle, app.isSelfContained()
                               ? QStringLiteral("Install the package, open Vesperline, then Start "
                                                "— no terminal or project folder.")
                               : QStringLiteral("Start the server, then open Control on iPad or "
                                                "Output in OBS."));
    const bool ready = app.startBlockedReasons().isEmpty();
    const QColor tone = SemanticColors::tone(
        ready ? SemanticColors::Tone::green : SemanticColors::Tone::orange, palette());
    const QString symbol =
        ready ? QStringLiteral("checkmark.seal.fill") : QStringLiteral("exclamationmark.circle");
    const QString text = ready ? QStringLiteral("Ready") : QStringLiteral("Setup needed");
    setIfChanged(
        readinessBadge,
        QStringLiteral("<span style=\"color:%1;%2\"><img src=\":/icons/%3.svg\" width=\"16\" "
                       "height=\"16\" style=\"vertical-align:middle\">&nbsp;%4</span>")
            .arg(tone.name(), ready ? QStringLiteral("font-weight:600") : QString(), symbol, text));
    readinessBadge->setAccessibleName(text);
    readinessBadge->setToolTip(
        ready ? QStringLiteral("Bible database and server build are present. Press Start.")
              : QString());
}
