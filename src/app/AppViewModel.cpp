#include "app/AppViewModel.h"

#include "services/APIClient.h"
#include "services/BundleRepair.h"
#include "services/BundleRuntime.h"
#include "services/CancellationToken.h"
#include "services/LANAddresses.h"
#include "services/NetworkUtils.h"
#include "services/OutputWindowController.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "services/Settings.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace {

using Key = Settings::Key;

// The stored monitor, else the main screen, else the first one there is.
quint32 initialDisplayID() {
    if (const auto stored = Settings::integer(Key::outputDisplayID))
        return quint32(*stored);
    if (const QScreen* primary = QGuiApplication::primaryScreen();
        primary && !primary->name().isEmpty())
        return DisplayScreen::from(primary).id;
    const QList<DisplayScreen> displays = DisplayScreen::enumerate();
    return displays.isEmpty() ? 0 : displays.first().id;
}

QString portText(int port) {
    return QString::number(port);
}

} // namespace

// ---------------------------------------------------------------- environment

AppViewModel::Environment AppViewModel::Environment::current() {
    return forLayout(BundleLayout::current());
}

AppViewModel::Environment AppViewModel::Environment::forLayout(const BundleLayout& layout) {
    Environment environment;
    environment.layout = layout;
    environment.findNode = [layout] {
        return NodeChecker::findNode(
            BundleRuntime::embeddedNodePath(layout), NodeChecker::candidatePaths(),
            [] { return NodeChecker::shellWhich(QStringLiteral("node")); });
    };
    environment.readLANAddresses = NetworkUtils::localIPv4Addresses;
    return environment;
}

// ---------------------------------------------------------------- construction

AppViewModel::AppViewModel(QObject* parent) : AppViewModel(Environment::current(), parent) {}

AppViewModel::AppViewModel(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {
    // 1. Read before seeding, so a first launch shows the fallback.
    translationInfo_ = ApplicationSupport::loadTranslation();

    // 2.
    displayOutput_ = new OutputWindowController(this);
    lanAddresses_ =
        new LANAddresses(environment_.readLANAddresses ? environment_.readLANAddresses
                                                       : NetworkUtils::localIPv4Addresses,
                         this);
    connect(lanAddresses_, &LANAddresses::changed, this, &AppViewModel::notify);

    // 3. Preferences.
    showStartupLog_ = Settings::flag(Key::showStartupLog);
    showWebOutputHint_ = Settings::flag(Key::showWebOutputHint);
    displayShowsStage_ = Settings::flag(Key::displayShowsStage);
    selectedDisplayID_ = initialDisplayID();
    outputWidth_ = int(*Settings::integer(Key::outputWidth));
    outputHeight_ = int(*Settings::integer(Key::outputHeight));
    const int port = int(*Settings::integer(Key::serverPort));

    // 4.
    const std::optional<QString> bundledProject =
        ProjectPaths::bundledProjectRoot(environment_.layout);

    // 5.
    projectRoot_ = ApplicationSupport::hasHotPatchedRuntime()
                       ? ApplicationSupport::path(QStringLiteral("runtime/current"))
                       : ProjectPaths::resolvedReleaseRuntimeRoot(environment_.layout);

    // 6.
    std::optional<QString> startupMessage = ApplicationSupport::bootstrap(bundledProject);

    // 7. Runtime repair, for a runtime that ships with the program.
    const bool hasServerBuild = ProjectPaths{projectRoot_}.hasServerBuild();
    if (bundledProject || (BundleRuntime::isSelfContained(environment_.layout) && hasServerBuild)) {
        const BundleRepair::Result repair =
            BundleRepair::ensureBundleReady(projectRoot_, {}, environment_.layout);
        if (!repair.hasTypeModule) {
            QStringList texts;
            for (const std::optional<QString>& text :
                 {startupMessage, std::optional<QString>(repair.message)}) {
                if (text && !text->isEmpty())
                    texts << *text;
            }
            startupMessage =
                texts.isEmpty() ? std::nullopt : std::optional<QString>(texts.join('\n'));
        }
    }

    // 8.
    if (environment_.findNode)
        nodeInfo_ = environment_.findNode();

    // 9., 10.
    server_ = new ServerManager(ProjectPaths{projectRoot_}, nodePathOrFallback(), port, this);
    bindServer(server_);
    publishServerMirror();

    // 11.
    bootstrapError_ = startupMessage;

    // 12. Esc, or the window closed by other means.
    displayOutput_->onClosed = [self = QPointer<AppViewModel>(this)] {
        if (self)
            self->assign(self->isDisplayOutputOpen_, false);
    };

    // 13.
    refreshDisplays();

    // 14. Runs until its first wait here, then on the event loop.
    restoreServerState(server_, false);
}

AppViewModel::~AppViewModel() {
    QObject::disconnect(serverObservation_);
    // The controller tears its window down without calling back.
    displayOutput_->onClosed = nullptr;
}

QString AppViewModel::nodePathOrFallback() const {
    return nodeInfo_ ? nodeInfo_->path : fallbackNodePath;
}

// ---------------------------------------------------------------- published setters

void AppViewModel::setSelectedTab(AppTab tab) {
    assign(selectedTab_, tab);
}

void AppViewModel::setStatusMessage(std::optional<QString> message) {
    assign(statusMessage_, std::move(message));
}

void AppViewModel::setShowStartupLog(bool show) {
    Settings::setFlag(Key::showStartupLog, show);
    assign(showStartupLog_, show);
}

void AppViewModel::setShowWebOutputHint(bool show) {
    Settings::setFlag(Key::showWebOutputHint, show);
    assign(showWebOutputHint_, show);
}

void AppViewModel::setDisplayShowsStage(bool stage) {
    Settings::setFlag(Key::displayShowsStage, stage);
    if (stage == displayShowsStage_)
        return;
    assign(displayShowsStage_, stage);
    if (displayOutput_->isOpen() && server_->isRunning())
        displayOutput_->reload(QUrl(displayOutputURLString()));
}

void AppViewModel::setSelectedDisplayID(quint32 id) {
    Settings::setInteger(Key::outputDisplayID, qint64(id));
    assign(selectedDisplayID_, id);
}

// ---------------------------------------------------------------- derived values

QString AppViewModel::outputURLString() const {
    return QStringLiteral("http://127.0.0.1:") + portText(server_->port()) +
           QStringLiteral("/output?w=") + QString::number(outputWidth_) + QStringLiteral("&h=") +
           QString::number(outputHeight_);
}

QString AppViewModel::displayOutputURLString() const {
    if (!displayShowsStage_)
        return outputURLString();
    return QStringLiteral("http://127.0.0.1:") + portText(server_->port()) +
           QStringLiteral("/stage");
}

QString AppViewModel::webAdminURLString() const {
    return QStringLiteral("http://127.0.0.1:") + portText(server_->port()) +
           QStringLiteral("/admin");
}

std::optional<QString> AppViewModel::liveThemeId() const {
    const std::optional<HealthResponse>& health = server_->health();
    return health ? std::optional(health->themeId) : std::nullopt;
}

bool AppViewModel::isSelfContained() const {
    return BundleRuntime::isSelfContained(environment_.layout) &&
           ProjectPaths{projectRoot_}.hasServerBuild();
}

QStringList AppViewModel::startBlockedReasons() const {
    QStringList reasons;
    const ProjectPaths paths{projectRoot_};
    const bool hasServerBuild = paths.hasServerBuild();
    if (!nodeInfo_)
        reasons << QStringLiteral("Bundled Node missing — reinstall the Vesperline package.");
    if (!hasServerBuild)
        reasons << QStringLiteral("Server build missing — run make stage in the project folder "
                                  "(or reinstall the Vesperline package).");
    if (BundleRuntime::isSelfContained(environment_.layout) && hasServerBuild &&
        !paths.hasServerDependencies())
        reasons << QStringLiteral("Server dependencies missing in the installed package.");
    if (!paths.hasBibleDatabase())
        reasons << QStringLiteral("Bible database missing in the data folder.");
    return reasons;
}

// ---------------------------------------------------------------- the server mirror

void AppViewModel::bindServer(ServerManager* manager) {
    QObject::disconnect(serverObservation_);
    // Queued: each delivery sees the manager after its change, one event-loop
    // turn later, and an operation that emits many times in one turn (a start
    // logs a dozen lines) costs the screens one re-render, not a dozen.
    serverObservation_ =
        connect(manager, &ServerManager::changed, this,
                [this, pending = std::make_shared<bool>(false), manager = QPointer(manager)] {
                    if (*pending)
                        return;
                    *pending = true;
                    QMetaObject::invokeMethod(
                        this,
                        [this, pending, manager] {
                            *pending = false;
                            // A manager replaced meanwhile has nothing more to say.
                            if (manager == server_)
                                publishServerMirror();
                        },
                        Qt::QueuedConnection);
                });
}

void AppViewModel::publishServerMirror() {
    const ServerStatus status = server_->status();
    const QString n = portText(server_->port());
    mirroredServerStatus_ = status;
    mirroredServerRunning_ = server_->isRunning() || status == ServerStatus::stopping;
    mirroredExternallyManaged_ = status == ServerStatus::running && !server_->spawnedByApp();

    const auto messageStartsWith = [this](const QString& prefix) {
        return statusMessage_ && statusMessage_->startsWith(prefix);
    };
    if (status == ServerStatus::stopping) {
        statusMessage_ = QStringLiteral("Stopping server on port ") + n + QStringLiteral("…");
    } else if (mirroredServerRunning_ &&
               (messageStartsWith(QStringLiteral("No server responding")) ||
                (statusMessage_ && statusMessage_->contains(QStringLiteral("health failed"))))) {
        statusMessage_ = mirroredExternallyManaged_
                             ? QStringLiteral("Connected to server on port ") + n
                             : QStringLiteral("Server running on port ") + n;
    }
    if (!mirroredServerRunning_ && status != ServerStatus::stopping &&
        (messageStartsWith(QStringLiteral("Server running")) ||
         messageStartsWith(QStringLiteral("Connected to server")) ||
         messageStartsWith(QStringLiteral("Stopping")))) {
        statusMessage_ = serverStatusText();
    }
    // Always: the screens also show the manager's own fields.
    notify();
}

QString AppViewModel::serverStatusText() const {
    const QString n = portText(server_->port());
    if (mirroredServerStatus_ == ServerStatus::stopping)
        return QStringLiteral("Stopping server on port ") + n + QStringLiteral("…");
    if (mirroredServerRunning_)
        return mirroredExternallyManaged_ ? QStringLiteral("Connected to server on port ") + n
                                          : QStringLiteral("Server running on port ") + n;
    if (server_->isPortOccupied())
        return QStringLiteral("Port ") + n +
               QStringLiteral(" is busy but /api/health failed — try Force Stop, then Start");
    return QStringLiteral("No server responding on port ") + n;
}

QCoro::Task<> AppViewModel::syncServerStatus() {
    QPointer<AppViewModel> self(this);
    const Operation operation(this);
    QPointer<ServerManager> manager(server_);
    co_await manager->syncStatusFromHealth();
    // A manager replaced during the check was mirrored by the replacement.
    if (!self || manager != server_)
        co_return;
    publishServerMirror();
    setStatusMessage(serverStatusText());
}

QCoro::Task<> AppViewModel::restoreServerState(QPointer<ServerManager> manager,
                                               bool startWhenRestored, bool afterOwnServer) {
    QPointer<AppViewModel> self(this);
    const Operation operation(this);
    // The server exits within a second of SIGTERM; a stubborn one is the
    // restore's to deal with, as at launch.
    for (int check = 0;
         afterOwnServer && check < 40 && manager && PortOwner::isLocalTCPPortOpen(manager->port());
         ++check)
        co_await CancellationToken::sleep(std::chrono::milliseconds(50),
                                          CancellationToken::create());
    if (!self || !manager || manager != server_)
        co_return;
    co_await manager->restoreStateOnLaunch();
    if (!self || manager != server_)
        co_return;
    publishServerMirror();
    const ServerStatus status = manager->status();
    if (startWhenRestored && (status == ServerStatus::stopped || status == ServerStatus::crashed))
        manager->start();
}

QCoro::Task<> AppViewModel::replaceServer(int port, const QString& nodePath, bool startWhenRestored,
                                          bool restore) {
    ServerManager* previous = server_;
    const bool ownServerOnPort = previous->spawnedByApp() && previous->port() == port;
    previous->shutdownOnTerminate();
    QObject::disconnect(serverObservation_);
    server_ = new ServerManager(ProjectPaths{projectRoot_}, nodePath, port, this);
    bindServer(server_);
    publishServerMirror();
    // Later: a task of the old manager may be running this very turn. Its
    // coroutines check for their manager after every wait.
    previous->deleteLater();
    if (restore)
        return restoreServerState(server_, startWhenRestored, ownServerOnPort);
    if (startWhenRestored)
        server_->start();
    return []() -> QCoro::Task<> { co_return; }();
}

void AppViewModel::setPort(int port) {
    if (port == server_->port())
        return;
    Settings::setInteger(Key::serverPort, port);
    const bool wasRunning = server_->isRunning();
    if (wasRunning)
        server_->stop();
    replaceServer(port, nodePathOrFallback(), wasRunning);
    if (displayOutput_->isOpen() && server_->isRunning())
        displayOutput_->reload(QUrl(displayOutputURLString()));
}

void AppViewModel::refreshNode() {
    assign(nodeInfo_, environment_.findNode ? environment_.findNode() : std::nullopt);
    if (nodeInfo_)
        replaceServer(server_->port(), nodeInfo_->path);
}

// ---------------------------------------------------------------- display output

void AppViewModel::refreshDisplays() {
    assign(availableDisplays_, DisplayScreen::enumerate());
    if (availableDisplays_.isEmpty())
        return;
    const bool selectedIsThere = std::any_of(
        availableDisplays_.cbegin(), availableDisplays_.cend(),
        [this](const DisplayScreen& display) { return display.id == selectedDisplayID_; });
    if (!selectedIsThere)
        setSelectedDisplayID(availableDisplays_.first().id);
}

void AppViewModel::openDisplayOutput() {
    if (!server_->isRunning()) {
        setStatusMessage(QStringLiteral("Start the server before opening display output"));
        return;
    }
    refreshDisplays();
    QScreen* screen = DisplayScreen::screen(selectedDisplayID_);
    if (!screen)
        screen = DisplayScreen::defaultScreen();
    if (!screen) {
        setStatusMessage(QStringLiteral("No display found"));
        return;
    }
    const QString url = displayOutputURLString();
    // Opening over an open window closes it first, and its onClosed clears
    // the flag; it is set again here.
    displayOutput_->open(QUrl(url), screen);
    assign(isDisplayOutputOpen_, true);
    // A window without its web view stays black: the operator must hear why.
    if (!displayOutput_->problem().isEmpty()) {
        setStatusMessage(displayOutput_->problem());
        return;
    }
    setStatusMessage(QStringLiteral("Display output open on ") + DisplayScreen::from(screen).name +
                     QStringLiteral(" — ") + url);
}

void AppViewModel::closeDisplayOutput() {
    displayOutput_->close();
    assign(isDisplayOutputOpen_, false);
    setStatusMessage(QStringLiteral("Display output closed"));
}

void AppViewModel::setOutputSize(int width, int height) {
    const int clampedWidth = int(Settings::bounded(Key::outputWidth, width));
    const int clampedHeight = int(Settings::bounded(Key::outputHeight, height));
    Settings::setInteger(Key::outputWidth, clampedWidth);
    Settings::setInteger(Key::outputHeight, clampedHeight);
    const bool changedSize = clampedWidth != outputWidth_ || clampedHeight != outputHeight_;
    outputWidth_ = clampedWidth;
    outputHeight_ = clampedHeight;
    if (changedSize)
        notify();
    if (displayOutput_->isOpen() && server_->isRunning())
        displayOutput_->reload(QUrl(displayOutputURLString()));
}

// ---------------------------------------------------------------- desktop services

void AppViewModel::openURL(const QString& path, bool useLAN) {
    QString host = QStringLiteral("127.0.0.1");
    if (useLAN) {
        lanAddresses_->refresh();
        if (const QString lan = lanAddresses_->current(); !lan.isEmpty())
            host = lan;
    }
    const QUrl url(QStringLiteral("http://") + host + ':' + portText(server_->port()) + path,
                   QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return;
    QDesktopServices::openUrl(url);
}

void AppViewModel::copyToPasteboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    setStatusMessage(QStringLiteral("Copied to clipboard"));
}
