#include "views/UpdatesView.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/ProjectPaths.h"
#include "services/RuntimeRollback.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/UpdateStatusBlock.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

// The restart action handed to the service: a plain function, so that
// nothing it needs lives in a lambda that is gone before it resumes.
QCoro::Task<std::optional<QString>> restartOn(QPointer<AppViewModel> app) {
    if (!app)
        co_return std::nullopt;
    auto applied = app->applyHotPatchedRuntime();
    co_return co_await applied;
}

QCoro::Task<> rollBackThenCheck(QPointer<AppViewModel> app,
                                QPointer<RuntimeUpdateService> updates) {
    if (!app)
        co_return;
    auto rollBack = app->rollBackRuntime();
    co_await rollBack;
    if (!updates)
        co_return;
    auto check = updates->checkForUpdates();
    co_await check;
}

QLabel* value(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

UpdatesView::UpdatesView(AppViewModel& app, QWidget* parent)
    : UpdatesView(app, RuntimeUpdateService::Options{}, parent) {}

UpdatesView::UpdatesView(AppViewModel& app, RuntimeUpdateService::Options options, QWidget* parent)
    : QWidget(parent), app(app), updates_(new RuntimeUpdateService(std::move(options), this)) {
    setObjectName(QStringLiteral("updates"));
    QVBoxLayout* column = scrollingColumn(this);
    QWidget* content = column->parentWidget();
    auto* title = new QLabel(QStringLiteral("Updates"), content);
    title->setFont(scaled(title->font(), 1.9, QFont::Bold));
    column->addWidget(title);
    column->addWidget(caption(QStringLiteral("Ship server/UI fixes in minutes without a new "
                                             "release package. Full app updates (a new package) "
                                             "stay for shell/Node changes."),
                              content));
    column->addWidget(buildInstalled());
    column->addWidget(buildFeed());
    column->addWidget(buildHotPatch());
    auto* later = new QGroupBox(QStringLiteral("Full app (later)"), content);
    auto* laterColumn = new QVBoxLayout(later);
    laterColumn->addWidget(
        caption(QStringLiteral("A full update (a new release package that replaces the whole "
                               "program) is needed when the desktop shell or the bundled Node.js "
                               "changes. Church data is never wiped."),
                later));
    column->addWidget(later);
    column->addStretch(1);

    connect(updates_, &RuntimeUpdateService::changed, this, &UpdatesView::render);
    connect(&app, &AppViewModel::changed, this, &UpdatesView::render);
}

QWidget* UpdatesView::buildInstalled() {
    auto* box = new QGroupBox(QStringLiteral("Installed"), this);
    auto* rows = new QFormLayout(box);
    rows->addRow(QStringLiteral("Desktop app"),
                 desktopAppVersion = value("desktopAppVersion", box));
    rows->addRow(QStringLiteral("Server runtime"), runtimeVersion = value("runtimeVersion", box));
    rows->addRow(QStringLiteral("Source"), runtimeSource = value("runtimeSource", box));
    setTextTone(runtimeSource, SemanticColors::Tone::secondary);
    return box;
}

QWidget* UpdatesView::buildFeed() {
    auto* box = new QGroupBox(QStringLiteral("Runtime feed"), this);
    auto* row = new QHBoxLayout(box);
    feedURL = new QLineEdit(box);
    feedURL->setObjectName(QStringLiteral("feedURL"));
    feedURL->setPlaceholderText(QStringLiteral("Feed URL"));
    feedURL->setAccessibleName(QStringLiteral("Feed URL"));
    row->addWidget(feedURL, 1);
    auto* save = namedButton(QStringLiteral("Save feed URL"), "saveFeedURL", box);
    row->addWidget(save);
    connect(feedURL, &QLineEdit::textEdited, updates_, &RuntimeUpdateService::setFeedURLString);
    // Nothing is shown either way: the next check saves the address again.
    connect(save, &QPushButton::clicked, this,
            [this] { (void)ApplicationSupport::saveUpdateFeedURL(updates_->feedURLString()); });
    return box;
}

QWidget* UpdatesView::buildHotPatch() {
    auto* box = new QGroupBox(QStringLiteral("Hot-patch"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(12);
    column->addWidget(statusBlock = new UpdateStatusBlock(box));
    auto* row = new QHBoxLayout;
    checkButton = namedButton(QStringLiteral("Check for updates"), "checkForUpdates", box);
    // "&&": a single "&" would make the next letter a shortcut.
    installButton = namedButton(QStringLiteral("Download && install"), "downloadAndInstall", box);
    makeProminent(installButton);
    rollBackButton = namedButton(QString(), "rollBackRuntime", box);
    row->addWidget(checkButton);
    row->addWidget(installButton);
    row->addStretch(1);
    row->addWidget(rollBackButton);
    column->addLayout(row);
    connect(checkButton, &QPushButton::clicked, this, [this] { updates_->checkForUpdates(); });
    connect(installButton, &QPushButton::clicked, this, &UpdatesView::installLatest);
    connect(rollBackButton, &QPushButton::clicked, this, &UpdatesView::rollBack);
    return box;
}

void UpdatesView::installLatest() {
    updates_->installLatest([app = QPointer<AppViewModel>(&app)] { return restartOn(app); });
}

void UpdatesView::rollBack() {
    rollBackThenCheck(&app, updates_);
}

void UpdatesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window coming back from minimised is no new showing of the tab:
    // it is drawn again, the edit and the status stay.
    if (!event->spontaneous()) {
        updates_->setFeedURLString(ApplicationSupport::loadUpdateFeedURL().toString());
        updates_->checkForUpdates();
    }
    render();
}

void UpdatesView::render() {
    // Hidden behind another tab: drawn again when shown.
    if (!isVisible())
        return;
    const QString version = QCoreApplication::applicationVersion();
    setIfChanged(desktopAppVersion, version.isEmpty() ? QStringLiteral("—") : version);
    setIfChanged(runtimeVersion, ProjectPaths{app.projectRoot()}.runtimeVersionLabel());
    setIfChanged(runtimeSource, ApplicationSupport::hasHotPatchedRuntime()
                                    ? QStringLiteral("Hot-patch (data folder)")
                                    : QStringLiteral("Bundled in app"));
    if (feedURL->text() != updates_->feedURLString())
        feedURL->setText(updates_->feedURLString());

    const RuntimeUpdateService::Status& status = updates_->status();
    statusBlock->render(status);
    const bool busy = status.isBusy();
    checkButton->setEnabled(!busy);
    installButton->setVisible(status.is<RuntimeUpdateService::Status::Available>());
    installButton->setEnabled(!busy);
    const auto previous = RuntimeRollback::previousVersion();
    rollBackButton->setVisible(previous.has_value());
    rollBackButton->setEnabled(!busy);
    if (previous)
        rollBackButton->setText(QStringLiteral("Roll back to runtime ") + *previous);
}
