#include "views/ServerPanel.h"

#include "app/AppViewModel.h"
#include "models/HealthResponse.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/StatusDot.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

QString statusBadgeText(ServerStatus status) {
    switch (status) {
    case ServerStatus::stopped:
        return QStringLiteral("Stopped");
    case ServerStatus::starting:
        return QStringLiteral("Starting…");
    case ServerStatus::running:
        return QStringLiteral("Running");
    case ServerStatus::stopping:
        return QStringLiteral("Stopping…");
    case ServerStatus::crashed:
        return QStringLiteral("Failed");
    }
    return {};
}

SemanticColors::Tone statusBadgeTone(ServerStatus status) {
    switch (status) {
    case ServerStatus::stopped:
        return SemanticColors::Tone::secondary;
    case ServerStatus::starting:
    case ServerStatus::stopping:
        return SemanticColors::Tone::orange;
    case ServerStatus::running:
        return SemanticColors::Tone::green;
    case ServerStatus::crashed:
        return SemanticColors::Tone::red;
    }
    return SemanticColors::Tone::secondary;
}

} // namespace

ServerPanel::ServerPanel(AppViewModel& app, QWidget* parent)
    : QGroupBox(QStringLiteral("Server"), parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addWidget(buildControls());
    buildCaptions();
    buildValueRows();
}

QWidget* ServerPanel::buildControls() {
    auto* row = new QWidget(this);
    auto* controls = new QHBoxLayout(row);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(8);
    statusDot = new StatusDot(10, row);
    controls->addWidget(statusDot);
    statusText = new QLabel(row);
    statusText->setObjectName(QStringLiteral("statusBadge"));
    statusText->setFont(scaled(statusText->font(), 1.05, QFont::DemiBold));
    controls->addWidget(statusText);
    auto* refresh = namedButton(QStringLiteral("Refresh"), QStringLiteral("refresh"), row);
    refresh->setToolTip(QStringLiteral("Re-check /api/health and update Running / Stopped"));
    connect(refresh, &QPushButton::clicked, this,
            [this] { [[maybe_unused]] auto task = app.syncServerStatus(); });
    controls->addWidget(refresh);
    controls->addStretch(1);

    stoppingIndicator = new QWidget(row);
    auto* stopping = new QHBoxLayout(stoppingIndicator);
    stopping->setContentsMargins(0, 0, 0, 0);
    auto* spinner = new QProgressBar(stoppingIndicator);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 10);
    spinner->setAccessibleName(QStringLiteral("Stopping"));
    stopping->addWidget(spinner);
    auto* stoppingText = caption(QStringLiteral("Stopping…"), stoppingIndicator);
    stoppingText->setFont(scaled(font(), 1.0, QFont::DemiBold));
    stopping->addWidget(stoppingText);
    controls->addWidget(stoppingIndicator);

    stopButton = namedButton(QStringLiteral("Stop"), QStringLiteral("stop"), row);
    stopButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    stopButton->setToolTip(QStringLiteral("Stop the server (Ctrl+.)"));
    connect(stopButton, &QPushButton::clicked, this, [this] { app.server().stop(); });
    controls->addWidget(stopButton);

    startButton = namedButton(QStringLiteral("Start"), QStringLiteral("start"), row);
    startButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    startButton->setToolTip(QStringLiteral("Start the server (Ctrl+R)"));
    makeProminent(startButton);
    connect(startButton, &QPushButton::clicked, this, &ServerPanel::startRequested);
    controls->addWidget(startButton);

    forceStopButton = namedButton(QStringLiteral("Force Stop"), QStringLiteral("forceStop"), row);
    forceStopButton->setToolTip(
        QStringLiteral("Kill every process listening on this port (orphan Node after a crash)"));
    connect(forceStopButton, &QPushButton::clicked, this,
            [this] { app.server().forceStopOnPort(); });
    controls->addWidget(forceStopButton);

    restartButton = namedButton(QStringLiteral("Restart"), QStringLiteral("restart"), row);
    connect(restartButton, &QPushButton::clicked, this, [this] { app.server().restart(); });
    controls->addWidget(restartButton);
    return row;
}

void ServerPanel::buildCaptions() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    stoppingCaption = caption(QString(), this);
    externalCaption =
        caption(QStringLiteral("Server was already running on this port (not started in "
                               "this session)."),
                this);
    recoveryCaption = caption(QString(), this);
    recoveryCaption->setObjectName(QStringLiteral("recoveryCaption"));
    recoveryCaption->setTextFormat(Qt::RichText);
    column->addWidget(stoppingCaption);
    column->addWidget(externalCaption);
    column->addWidget(recoveryCaption);

    blockedBox = new QWidget(this);
    auto* blocked = new QVBoxLayout(blockedBox);
    blocked->setContentsMargins(0, 0, 0, 0);
    blocked->setSpacing(2);
    auto* blockedTitle =
        caption(QStringLiteral("Start is blocked until setup is complete:"), blockedBox);
    blockedTitle->setFont(scaled(blockedTitle->font(), 1.0, QFont::DemiBold));
    setTextTone(blockedTitle, SemanticColors::Tone::orange);
    blocked->addWidget(blockedTitle);
    blockedList = caption(QString(), blockedBox);
    blockedList->setObjectName(QStringLiteral("blockedReasons"));
    blocked->addWidget(blockedList);
    column->addWidget(blockedBox);
}

void ServerPanel::buildValueRows() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    addValueRow(grid, "port", QStringLiteral("Port"));
    addValueRow(grid, "runtime", QStringLiteral("Server runtime"));
    addValueRow(grid, "build", QStringLiteral("Running build"));
    runtimeNotes = caption(QString(), this);
    runtimeNotes->setFont(scaled(font(), 0.85));
    grid->addWidget(runtimeNotes, grid->rowCount(), 1);
    addValueRow(grid, "node", QStringLiteral("Node"));
    addValueRow(grid, "clients", QStringLiteral("WebSocket clients"));
    addValueRow(grid, "theme", QStringLiteral("Active theme"));
    addValueRow(grid, "database", QStringLiteral("Database"));
    addValueRow(grid, "translation", QStringLiteral("Translation"));
    column->addLayout(grid);

    lastError = caption(QString(), this);
    lastError->setObjectName(QStringLiteral("lastError"));
    lastError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTextTone(lastError, SemanticColors::Tone::red);
    column->addWidget(lastError);
    statusMessage = caption(QString(), this);
    statusMessage->setObjectName(QStringLiteral("statusMessage"));
    column->addWidget(statusMessage);
}

void ServerPanel::addValueRow(QGridLayout* grid, const QString& key, const QString& title) {
    const int row = grid->rowCount();
    auto* label = caption(title, this);
    auto* value = new QLabel(this);
    value->setObjectName(QStringLiteral("value-") + key);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setAccessibleName(title);
    grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(value, row, 1, Qt::AlignLeft | Qt::AlignTop);
    valueRows.insert(key, {label, value});
}

void ServerPanel::setValueRow(const QString& key, const std::optional<QString>& value) {
    const ValueRow& row = valueRows[key];
    row.label->setVisible(value.has_value());
    row.value->setVisible(value.has_value());
    if (value)
        setIfChanged(row.value, *value);
}

bool ServerPanel::startAllowed(const AppViewModel& app) {
    const ProjectPaths paths{app.projectRoot()};
    return !app.mirroredServerRunning() && app.server().status() != ServerStatus::stopping &&
           app.nodeInfo().has_value() && paths.hasServerBuild() && paths.hasBibleDatabase() &&
           (!app.isSelfContained() || paths.hasServerDependencies());
}

void ServerPanel::render() {
    // A connection attempt to the port: asked once per render.
    const bool canForceStop = app.server().canForceStop();
    renderControls(canForceStop);
    renderCaptions(canForceStop);
    renderValueRows();
}

void ServerPanel::renderControls(bool canForceStop) {
    const ServerManager& server = app.server();
    const ServerStatus mirrored = app.mirroredServerStatus();
    const bool stopping = server.status() == ServerStatus::stopping;
    const bool running = app.mirroredServerRunning();
    statusDot->setColor(SemanticColors::tone(statusBadgeTone(mirrored), palette()));
    setIfChanged(statusText, statusBadgeText(mirrored));
    stoppingIndicator->setVisible(stopping);
    stopButton->setVisible(!stopping && running);
    startButton->setVisible(!stopping && !running);
    startButton->setEnabled(startAllowed(app));
    forceStopButton->setVisible(canForceStop);
    forceStopButton->setEnabled(!stopping);
    restartButton->setEnabled((running || mirrored == ServerStatus::crashed) && !stopping);
}

void ServerPanel::renderCaptions(bool canForceStop) {
    const ServerManager& server = app.server();
    const QString port = QString::number(server.port());
    stoppingCaption->setVisible(server.status() == ServerStatus::stopping);
    setIfChanged(stoppingCaption,
                 QStringLiteral("Shutting down Node and freeing port ") + port +
                     QStringLiteral(". This can take a couple of seconds — hang tight."));
    externalCaption->setVisible(app.mirroredExternallyManaged());
    const bool crashed = app.mirroredServerStatus() == ServerStatus::crashed;
    recoveryCaption->setVisible(canForceStop || crashed);
    setIfChanged(
        recoveryCaption,
        canForceStop
            ? QStringLiteral("Port stuck? <b>Force Stop</b> frees port ") + port +
                  QStringLiteral(" without restarting your computer. After an app crash, "
                                 "relaunch and use Start (or Force Stop first if the port is "
                                 "still busy).")
            : QStringLiteral("Start again to launch a fresh server. If Start fails with “port in "
                             "use”, use <b>Force Stop</b> first."));

    const QStringList reasons = app.startBlockedReasons();
    blockedBox->setVisible(!reasons.isEmpty());
    QStringList bullets;
    for (const QString& reason : reasons)
        bullets << QStringLiteral("• ") + reason;
    setIfChanged(blockedList, bullets.join('\n'));
}

void ServerPanel::renderValueRows() {
    const ServerManager& server = app.server();
    const ProjectPaths paths{app.projectRoot()};
    const auto& health = server.health();
    const auto& node = app.nodeInfo();
    const std::optional<QString> installedLabel =
        paths.hasBibleDatabase() ? std::optional<QString>(app.translationInfo().label)
                                 : std::nullopt;
    setValueRow("port", QString::number(server.port()));
    setValueRow("runtime", paths.runtimeVersionLabel());
    setValueRow("build", health && health->runtimeVersion
                             ? std::optional<QString>(QStringLiteral("v") + *health->runtimeVersion)
                             : std::nullopt);
    const bool hasNotes = health && health->runtimeVersion && health->runtimeNotes &&
                          !health->runtimeNotes->isEmpty();
    runtimeNotes->setVisible(hasNotes);
    if (hasNotes)
        setIfChanged(runtimeNotes, *health->runtimeNotes);
    setValueRow("node", node && node->isEmbedded
                            ? std::optional<QString>(QStringLiteral("Embedded ") + node->version)
                            : std::nullopt);
    const auto fromHealth = [&](auto field) -> std::optional<QString> {
        return health ? std::optional<QString>(field(*health)) : std::nullopt;
    };
    setValueRow("clients", fromHealth([](const auto& h) { return QString::number(h.clients); }));
    setValueRow("theme", fromHealth([](const auto& h) { return h.themeId; }));
    setValueRow("database", fromHealth([](const auto& h) {
                    return h.db ? QStringLiteral("Ready") : QStringLiteral("Missing");
                }));
    setValueRow("translation",
                health && health->translationLabel ? health->translationLabel : installedLabel);

    lastError->setVisible(server.lastError().has_value());
    if (server.lastError())
        setIfChanged(lastError, *server.lastError());
    statusMessage->setVisible(app.statusMessage().has_value());
    if (app.statusMessage())
        setIfChanged(statusMessage, *app.statusMessage());
}
