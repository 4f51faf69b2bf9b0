#include "views/DashboardView.h"

#include "app/AppViewModel.h"
#include "models/HealthResponse.h"
#include "services/ApplicationSupport.h"
#include "services/CancellationToken.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "views/AppLogoView.h"
#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/StartupProgressView.h"
#include "views/StatusDot.h"
#include "views/Symbols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

const QString serverAlreadyRunning = QStringLiteral("Server already running");
const QString nodeDownloadPage = QStringLiteral("https://nodejs.org/en/download");

QString baseAddress(const AppViewModel& app) {
    return QStringLiteral("http://127.0.0.1:") + QString::number(app.server().port());
}

bool serverBuildPresent(const AppViewModel& app) {
    return QFileInfo::exists(app.projectRoot() + "/apps/server/dist/index.js");
}

bool dependenciesPresent(const AppViewModel& app) {
    return QFileInfo::exists(app.projectRoot() + "/node_modules/fastify/package.json");
}

QFont scaled(QFont font, qreal factor, QFont::Weight weight = QFont::Normal) {
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 0.9));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, SemanticColors::secondaryLabel(palette));
    label->setPalette(palette);
    return label;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel* symbolLabel(const QString& symbol, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::icon(symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

// The gold, filled button of the screen's main action.
void makeProminent(QPushButton* button) {
    const QColor gold = BrandColors::gold();
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: #1f1a08; font-weight: 600;"
                       " border: 1px solid %2; border-radius: 5px; padding: 4px 16px; }"
                       " QPushButton:pressed { background-color: %2; }"
                       " QPushButton:disabled { background-color: %3; color: #8c8676;"
                       " border-color: %3; }")
            .arg(gold.name(), gold.darker(120).name(), gold.lighter(150).name()));
}

QFrame* warningBox(QWidget* parent) {
    auto* box = new QFrame(parent);
    box->setFrameShape(QFrame::StyledPanel);
    return box;
}

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

template <typename T> void setIfChanged(QLabel* label, const T& text) {
    if (label->text() != text)
        label->setText(text);
}

} // namespace

DashboardView::DashboardView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    setObjectName(QStringLiteral("dashboard"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    column->addWidget(buildHeader());
    column->addWidget(buildWarnings());
    column->addWidget(buildServerBox());
    column->addWidget(buildOutputBox());
    column->addWidget(buildUrlsBox());
    column->addWidget(buildLogBox());
    column->addStretch(1);
    scroll->setWidget(content);

    wasServerRunning = app.mirroredServerRunning();
    connect(&app, &AppViewModel::changed, this, &DashboardView::render);
    render();
}

DashboardView::~DashboardView() {
    watchScreens(false);
    // A sheet outlives no screen: it follows a start this screen began.
    if (startupSheet_)
        startupSheet_->close();
}

// ---------------------------------------------------------------- building

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

QWidget* DashboardView::buildWarnings() {
    warnings = new QWidget(this);
    auto* column = new QVBoxLayout(warnings);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    const auto headline = [](const QString& text, QWidget* parent) {
        auto* label = new QLabel(text, parent);
        label->setFont(scaled(label->font(), 1.05, QFont::DemiBold));
        return label;
    };

    bootstrapWarning = warningBox(warnings);
    bootstrapWarning->setObjectName(QStringLiteral("bootstrapWarning"));
    auto* bootstrapRow = new QHBoxLayout(bootstrapWarning);
    bootstrapRow->addWidget(symbolLabel("exclamationmark.triangle.fill", 18, bootstrapWarning), 0,
                            Qt::AlignTop);
    bootstrapText = new QLabel(bootstrapWarning);
    bootstrapText->setWordWrap(true);
    bootstrapText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bootstrapRow->addWidget(bootstrapText, 1);
    column->addWidget(bootstrapWarning);

    nodeWarning = warningBox(warnings);
    nodeWarning->setObjectName(QStringLiteral("nodeWarning"));
    auto* nodeRow = new QHBoxLayout(nodeWarning);
    nodeRow->addWidget(symbolLabel("exclamationmark.triangle.fill", 18, nodeWarning), 0,
                       Qt::AlignTop);
    auto* nodeColumn = new QVBoxLayout;
    nodeHeadline = headline(QString(), nodeWarning);
    nodeDetail = caption(QString(), nodeWarning);
    nodeDownload = new QLabel(
        QStringLiteral("<a href=\"%1\">Download Node.js</a>").arg(nodeDownloadPage), nodeWarning);
    nodeDownload->setOpenExternalLinks(true);
    nodeColumn->addWidget(nodeHeadline);
    nodeColumn->addWidget(nodeDetail);
    nodeColumn->addWidget(nodeDownload);
    nodeRow->addLayout(nodeColumn, 1);
    auto* recheck = new QPushButton(QStringLiteral("Recheck"), nodeWarning);
    recheck->setObjectName(QStringLiteral("recheck"));
    connect(recheck, &QPushButton::clicked, this, [this] { app.refreshNode(); });
    nodeRow->addWidget(recheck, 0, Qt::AlignTop);
    column->addWidget(nodeWarning);

    databaseWarning = warningBox(warnings);
    databaseWarning->setObjectName(QStringLiteral("databaseWarning"));
    auto* databaseRow = new QHBoxLayout(databaseWarning);
    databaseRow->addWidget(symbolLabel("book.closed.fill", 18, databaseWarning), 0, Qt::AlignTop);
    auto* databaseColumn = new QVBoxLayout;
    databaseColumn->addWidget(headline(QStringLiteral("Bible database missing"), databaseWarning));
    databasePath = caption(QString(), databaseWarning);
    databasePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    databaseColumn->addWidget(databasePath);
    databaseRow->addLayout(databaseColumn, 1);
    column->addWidget(databaseWarning);

    buildWarning = warningBox(warnings);
    buildWarning->setObjectName(QStringLiteral("buildWarning"));
    auto* buildRow = new QHBoxLayout(buildWarning);
    buildRow->addWidget(symbolLabel("shippingbox.fill", 18, buildWarning), 0, Qt::AlignTop);
    auto* buildColumn = new QVBoxLayout;
    buildHeadline = headline(QString(), buildWarning);
    buildColumn->addWidget(buildHeadline);
    buildColumn->addWidget(
        caption(QStringLiteral("Run ./scripts/build-release.sh before archiving, or "
                               "./scripts/bundle-for-macos.sh for a dev Xcode build."),
                buildWarning));
    buildRow->addLayout(buildColumn, 1);
    column->addWidget(buildWarning);
    return warnings;
}

QWidget* DashboardView::buildServerBox() {
    auto* box = new QGroupBox(QStringLiteral("Server"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(8);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(8);
    statusDot = new StatusDot(10, box);
    controls->addWidget(statusDot);
    statusText = new QLabel(box);
    statusText->setObjectName(QStringLiteral("statusBadge"));
    statusText->setFont(scaled(statusText->font(), 1.05, QFont::DemiBold));
    controls->addWidget(statusText);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), box);
    refresh->setObjectName(QStringLiteral("refresh"));
    refresh->setToolTip(QStringLiteral("Re-check /api/health and update Running / Stopped"));
    connect(refresh, &QPushButton::clicked, this,
            [this] { [[maybe_unused]] auto task = app.syncServerStatus(); });
    controls->addWidget(refresh);
    controls->addStretch(1);

    stoppingIndicator = new QWidget(box);
    auto* stopping = new QHBoxLayout(stoppingIndicator);
    stopping->setContentsMargins(0, 0, 0, 0);
    auto* spinner = new QProgressBar(stoppingIndicator);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 10);
    stopping->addWidget(spinner);
    auto* stoppingText = caption(QStringLiteral("Stopping…"), stoppingIndicator);
    stoppingText->setFont(scaled(font(), 1.0, QFont::DemiBold));
    stopping->addWidget(stoppingText);
    controls->addWidget(stoppingIndicator);

    stopButton = new QPushButton(QStringLiteral("Stop"), box);
    stopButton->setObjectName(QStringLiteral("stop"));
    stopButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    stopButton->setToolTip(QStringLiteral("Stop the server (Ctrl+.)"));
    connect(stopButton, &QPushButton::clicked, this, [this] { app.server().stop(); });
    controls->addWidget(stopButton);

    startButton = new QPushButton(QStringLiteral("Start"), box);
    startButton->setObjectName(QStringLiteral("start"));
    startButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    startButton->setToolTip(QStringLiteral("Start the server (Ctrl+R)"));
    makeProminent(startButton);
    connect(startButton, &QPushButton::clicked, this, &DashboardView::beginStart);
    controls->addWidget(startButton);

    forceStopButton = new QPushButton(QStringLiteral("Force Stop"), box);
    forceStopButton->setObjectName(QStringLiteral("forceStop"));
    forceStopButton->setToolTip(
        QStringLiteral("Kill every process listening on this port (orphan Node after a crash)"));
    connect(forceStopButton, &QPushButton::clicked, this,
            [this] { app.server().forceStopOnPort(); });
    controls->addWidget(forceStopButton);

    restartButton = new QPushButton(QStringLiteral("Restart"), box);
    restartButton->setObjectName(QStringLiteral("restart"));
    connect(restartButton, &QPushButton::clicked, this, [this] { app.server().restart(); });
    controls->addWidget(restartButton);
    column->addLayout(controls);

    stoppingCaption = caption(QString(), box);
    externalCaption =
        caption(QStringLiteral("Server was already running on this port (not started in "
                               "this session)."),
                box);
    recoveryCaption = caption(QString(), box);
    recoveryCaption->setObjectName(QStringLiteral("recoveryCaption"));
    recoveryCaption->setTextFormat(Qt::RichText);
    column->addWidget(stoppingCaption);
    column->addWidget(externalCaption);
    column->addWidget(recoveryCaption);

    blockedBox = new QWidget(box);
    auto* blocked = new QVBoxLayout(blockedBox);
    blocked->setContentsMargins(0, 0, 0, 0);
    blocked->setSpacing(2);
    auto* blockedTitle =
        caption(QStringLiteral("Start is blocked until setup is complete:"), blockedBox);
    blockedTitle->setFont(scaled(blockedTitle->font(), 1.0, QFont::DemiBold));
    setTextColor(blockedTitle, SemanticColors::tone(SemanticColors::Tone::orange, palette()));
    blocked->addWidget(blockedTitle);
    blockedList = caption(QString(), blockedBox);
    blockedList->setObjectName(QStringLiteral("blockedReasons"));
    blocked->addWidget(blockedList);
    column->addWidget(blockedBox);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    addValueRow(grid, "port", QStringLiteral("Port"));
    addValueRow(grid, "runtime", QStringLiteral("Server runtime"));
    addValueRow(grid, "build", QStringLiteral("Running build"));
    runtimeNotes = caption(QString(), box);
    runtimeNotes->setFont(scaled(font(), 0.85));
    grid->addWidget(runtimeNotes, grid->rowCount(), 1);
    addValueRow(grid, "node", QStringLiteral("Node"));
    addValueRow(grid, "clients", QStringLiteral("WebSocket clients"));
    addValueRow(grid, "theme", QStringLiteral("Active theme"));
    addValueRow(grid, "database", QStringLiteral("Database"));
    addValueRow(grid, "translation", QStringLiteral("Translation"));
    column->addLayout(grid);

    lastError = caption(QString(), box);
    lastError->setObjectName(QStringLiteral("lastError"));
    lastError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTextColor(lastError, SemanticColors::tone(SemanticColors::Tone::red, palette()));
    column->addWidget(lastError);
    statusMessage = caption(QString(), box);
    statusMessage->setObjectName(QStringLiteral("statusMessage"));
    column->addWidget(statusMessage);
    return box;
}

void DashboardView::addValueRow(QGridLayout* grid, const QString& key, const QString& title) {
    const int row = grid->rowCount();
    auto* label = caption(title, this);
    auto* value = new QLabel(this);
    value->setObjectName(QStringLiteral("value-") + key);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(value, row, 1, Qt::AlignLeft | Qt::AlignTop);
    valueRows.insert(key, {label, value});
}

void DashboardView::setValueRow(const QString& key, const std::optional<QString>& value) {
    const ValueRow& row = valueRows[key];
    row.label->setVisible(value.has_value());
    row.value->setVisible(value.has_value());
    if (value)
        setIfChanged(row.value, *value);
}

QWidget* DashboardView::buildOutputBox() {
    auto* box = new QGroupBox(QStringLiteral("Presentation output"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    column->addWidget(caption(
        QStringLiteral(
            "Opens a borderless fullscreen window on the chosen monitor (same content as OBS). "
            "Content appears when Live with a verse/slide loaded — Preview keeps the screen "
            "black on purpose. Press Esc to close."),
        box));

    auto* pickerRow = new QHBoxLayout;
    pickerRow->addWidget(new QLabel(QStringLiteral("Display"), box));
    displayPicker = new QComboBox(box);
    displayPicker->setObjectName(QStringLiteral("displayPicker"));
    displayPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(displayPicker, &QComboBox::activated, this, [this](int index) {
        app.setSelectedDisplayID(displayPicker->itemData(index).toUInt());
    });
    pickerRow->addWidget(displayPicker);
    pickerRow->addStretch(1);
    column->addLayout(pickerRow);

    auto* sizeRow = new QHBoxLayout;
    const auto stepper = [box](const QString& prefix, const char* name) {
        auto* spin = new QSpinBox(box);
        spin->setObjectName(QString::fromLatin1(name));
        spin->setRange(minimumStepperSize, maximumStepperSize);
        spin->setSingleStep(stepperStep);
        spin->setPrefix(prefix);
        spin->setKeyboardTracking(false);
        return spin;
    };
    widthStepper = stepper(QStringLiteral("Width: "), "width");
    heightStepper = stepper(QStringLiteral("Height: "), "height");
    connect(widthStepper, &QSpinBox::valueChanged, this,
            [this](int width) { app.setOutputSize(width, app.outputHeight()); });
    connect(heightStepper, &QSpinBox::valueChanged, this,
            [this](int height) { app.setOutputSize(app.outputWidth(), height); });
    sizeRow->addWidget(widthStepper);
    sizeRow->addWidget(heightStepper);
    sizeRow->addStretch(1);
    column->addLayout(sizeRow);

    auto* openRow = new QHBoxLayout;
    // Ctrl+Shift+O belongs to the Output menu, which does the same; a second
    // binding here would make the key ambiguous and do nothing at all.
    closeOutputButton = new QPushButton(QStringLiteral("Close Display Output"), box);
    closeOutputButton->setObjectName(QStringLiteral("closeOutput"));
    connect(closeOutputButton, &QPushButton::clicked, this, [this] { app.closeDisplayOutput(); });
    openRow->addWidget(closeOutputButton);
    outputOpenLabel = new QLabel(box);
    {
        auto* layout = new QHBoxLayout(outputOpenLabel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        layout->addWidget(symbolLabel("display", 14, outputOpenLabel));
        auto* text = caption(QStringLiteral("Open"), outputOpenLabel);
        setTextColor(text, SemanticColors::tone(SemanticColors::Tone::green, palette()));
        layout->addWidget(text);
    }
    openRow->addWidget(outputOpenLabel);
    openOutputButton = new QPushButton(QStringLiteral("Open Display Output"), box);
    openOutputButton->setObjectName(QStringLiteral("openOutput"));
    openOutputButton->setToolTip(QStringLiteral("Ctrl+Shift+O"));
    makeProminent(openOutputButton);
    connect(openOutputButton, &QPushButton::clicked, this, [this] { app.openDisplayOutput(); });
    openRow->addWidget(openOutputButton);
    auto* refreshDisplays = new QPushButton(QStringLiteral("Refresh displays"), box);
    refreshDisplays->setObjectName(QStringLiteral("refreshDisplays"));
    connect(refreshDisplays, &QPushButton::clicked, this, [this] { app.refreshDisplays(); });
    openRow->addWidget(refreshDisplays);
    openRow->addStretch(1);
    column->addLayout(openRow);

    webOutputToggle =
        new QCheckBox(QStringLiteral("Also show web output URL (OBS Browser Source)"), box);
    webOutputToggle->setObjectName(QStringLiteral("webOutputToggle"));
    connect(webOutputToggle, &QCheckBox::toggled, this,
            [this](bool on) { app.setShowWebOutputHint(on); });
    column->addWidget(webOutputToggle);
    return box;
}

QWidget* DashboardView::buildUrlsBox() {
    auto* box = new QGroupBox(QStringLiteral("URLs"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Seven rows, always in this order; render() fills and hides them.
    for (int i = 0; i < 7; ++i) {
        UrlWidgets widgets{};
        widgets.row = new QWidget(box);
        auto* row = new QHBoxLayout(widgets.row);
        row->setContentsMargins(0, 0, 0, 0);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        widgets.title = new QLabel(widgets.row);
        widgets.title->setFont(scaled(widgets.title->font(), 1.0, QFont::DemiBold));
        widgets.url = caption(QString(), widgets.row);
        widgets.url->setFont(mono);
        widgets.url->setWordWrap(false);
        widgets.url->setTextInteractionFlags(Qt::TextSelectableByMouse);
        texts->addWidget(widgets.title);
        texts->addWidget(widgets.url);
        row->addLayout(texts, 1);
        widgets.copy = new QPushButton(widgets.row);
        widgets.copy->setIcon(Symbols::icon(QStringLiteral("doc.on.doc")));
        widgets.copy->setToolTip(QStringLiteral("Copy URL"));
        widgets.copy->setAccessibleName(QStringLiteral("Copy URL"));
        widgets.open = new QPushButton(QStringLiteral("Open"), widgets.row);
        row->addWidget(widgets.copy);
        row->addWidget(widgets.open);
        connect(widgets.copy, &QPushButton::clicked, this,
                [this, label = widgets.url] { app.copyToPasteboard(label->text()); });
        connect(widgets.open, &QPushButton::clicked, this, [this, i] {
            const QList<UrlRow> rows = urlRows(app);
            if (i < rows.size())
                app.openURL(rows[i].path, false);
        });
        column->addWidget(widgets.row);
        urlWidgets.append(widgets);
    }
    return box;
}

QWidget* DashboardView::buildLogBox() {
    auto* box = new QGroupBox(QStringLiteral("Server log"), this);
    auto* column = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    logPath = caption(QString(), box);
    logPath->setFont(scaled(font(), 0.8));
    logPath->setWordWrap(false);
    logPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(logPath, 1);
    auto* reveal = new QPushButton(QStringLiteral("Reveal log"), box);
    reveal->setObjectName(QStringLiteral("revealLog"));
    connect(reveal, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(ApplicationSupport::supportURL()));
    });
    auto* clear = new QPushButton(QStringLiteral("Clear"), box);
    clear->setObjectName(QStringLiteral("clearLog"));
    connect(clear, &QPushButton::clicked, this, [this] { app.server().clearLogs(); });
    row->addWidget(reveal);
    row->addWidget(clear);
    column->addLayout(row);

    logView = new QPlainTextEdit(box);
    logView->setObjectName(QStringLiteral("serverLog"));
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setFixedHeight(140);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF() * 0.9);
    logView->setFont(mono);
    logView->setStyleSheet(QStringLiteral("QPlainTextEdit { border-radius: 6px; }"));
    column->addWidget(logView);
    return box;
}

// ---------------------------------------------------------------- derived values

bool DashboardView::startAllowed(const AppViewModel& app) {
    return !app.mirroredServerRunning() && app.server().status() != ServerStatus::stopping &&
           app.nodeInfo().has_value() && serverBuildPresent(app) &&
           ProjectPaths{app.projectRoot()}.hasBibleDatabase() &&
           (!app.isSelfContained() || dependenciesPresent(app));
}

QList<DashboardView::UrlRow> DashboardView::urlRows(const AppViewModel& app) {
    const QString base = baseAddress(app);
    const QString size = QStringLiteral("&w=") + QString::number(app.outputWidth()) +
                         QStringLiteral("&h=") + QString::number(app.outputHeight());
    const auto row = [&](const QString& title, const QString& path) {
        return UrlRow{title, path, base + path};
    };
    QList<UrlRow> rows{row(QStringLiteral("Presenter (iPad)"), QStringLiteral("/presenter")),
                       row(QStringLiteral("Operator"), QStringLiteral("/operator"))};
    if (app.showWebOutputHint()) {
        const QString webOutput = QStringLiteral("/output?w=") +
                                  QString::number(app.outputWidth()) + QStringLiteral("&h=") +
                                  QString::number(app.outputHeight());
        rows << UrlRow{QStringLiteral("Output (OBS · follow theme)"), webOutput,
                       app.outputURLString()}
             << row(QStringLiteral("OBS · Lower third"),
                    QStringLiteral("/output?layout=lowerThird") + size)
             << row(QStringLiteral("OBS · Center"), QStringLiteral("/output?layout=center") + size)
             << row(QStringLiteral("OBS · Fullscreen"),
                    QStringLiteral("/output?layout=fullscreen") + size);
    }
    rows << row(QStringLiteral("Admin (web)"), QStringLiteral("/admin"));
    return rows;
}

// ---------------------------------------------------------------- actions

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
        co_await CancellationToken::sleep(1s, nullptr);
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

void DashboardView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    watchScreens(true);
    app.refreshDisplays();
}

void DashboardView::hideEvent(QHideEvent* event) {
    watchScreens(false);
    QWidget::hideEvent(event);
}

// Monitors plugged in, removed or rearranged refresh the display list.
void DashboardView::watchScreens(bool watch) {
    for (const auto& connection : std::as_const(screenWatch))
        disconnect(connection);
    screenWatch.clear();
    if (!watch)
        return;
    const auto refresh = [this] {
        app.refreshDisplays();
        watchScreens(true); // a new screen needs its own geometry watch
    };
    screenWatch << connect(qApp, &QGuiApplication::screenAdded, this, refresh)
                << connect(qApp, &QGuiApplication::screenRemoved, this, refresh)
                << connect(qApp, &QGuiApplication::primaryScreenChanged, this, refresh);
    for (QScreen* screen : QGuiApplication::screens())
        screenWatch << connect(screen, &QScreen::geometryChanged, this,
                               [this] { app.refreshDisplays(); });
}

// ---------------------------------------------------------------- rendering

void DashboardView::render() {
    closeOutputWhenServerStops();
    renderHeader();
    renderWarnings();
    renderServerBox();
    renderOutputBox();
    renderUrls();
    renderLog();
}

void DashboardView::renderHeader() {
    setIfChanged(subtitle,
                 app.isSelfContained()
                     ? QStringLiteral("Drag to Applications, open the app, then Start — no "
                                      "Terminal or project folder.")
                     : QStringLiteral("Start the server, then open Control on iPad or Output "
                                      "in OBS."));
    const bool ready = app.startBlockedReasons().isEmpty();
    const QColor tone = SemanticColors::tone(
        ready ? SemanticColors::Tone::green : SemanticColors::Tone::orange, palette());
    const QString symbol =
        ready ? QStringLiteral("checkmark.seal.fill") : QStringLiteral("exclamationmark.circle");
    const QString text = ready ? QStringLiteral("Ready") : QStringLiteral("Setup needed");
    const QString iconPath = QStringLiteral(":/icons/%1.svg").arg(symbol);
    setIfChanged(
        readinessBadge,
        QStringLiteral("<span style=\"color:%1;%2\"><img src=\"%3\" width=\"16\" height=\"16\" "
                       "style=\"vertical-align:middle\">&nbsp;%4</span>")
            .arg(tone.name(), ready ? QStringLiteral("font-weight:600") : QString(), iconPath,
                 text));
    readinessBadge->setAccessibleName(text);
    readinessBadge->setToolTip(
        ready ? QStringLiteral("Bible database and server build are present. Press Start.")
              : QString());
}

void DashboardView::renderWarnings() {
    const bool hasBootstrapError = app.bootstrapError().has_value();
    bootstrapWarning->setVisible(hasBootstrapError);
    if (hasBootstrapError)
        setIfChanged(bootstrapText, *app.bootstrapError());

    nodeWarning->setVisible(!app.nodeInfo());
    const bool selfContained = app.isSelfContained();
    setIfChanged(nodeHeadline, selfContained ? QStringLiteral("Bundled Node missing")
                                             : QStringLiteral("Node.js 20+ required"));
    setIfChanged(nodeDetail,
                 selfContained ? QStringLiteral("Reinstall from the release DMG, or rebuild with "
                                                "./scripts/build-release.sh")
                               : QStringLiteral(
                                     "Install Node.js 20 or later from the Node.js website or your "
                                     "package manager (sudo apt install nodejs), or use a release "
                                     "build with embedded Node."));
    nodeDownload->setVisible(!selfContained);

    const bool hasDatabase = ProjectPaths{app.projectRoot()}.hasBibleDatabase();
    databaseWarning->setVisible(!hasDatabase);
    setIfChanged(databasePath, ApplicationSupport::path(QStringLiteral("data/bible.sqlite")));

    const bool buildPresent = serverBuildPresent(app);
    buildWarning->setVisible(!buildPresent || (selfContained && !dependenciesPresent(app)));
    setIfChanged(buildHeadline, buildPresent ? QStringLiteral("Server dependencies missing")
                                             : QStringLiteral("Server build not bundled"));
    // No empty gap where no warning stands.
    warnings->setVisible(!bootstrapWarning->isHidden() || !nodeWarning->isHidden() ||
                         !databaseWarning->isHidden() || !buildWarning->isHidden());
}

void DashboardView::renderServerBox() {
    const ServerManager& server = app.server();
    const ServerStatus mirrored = app.mirroredServerStatus();
    const bool stopping = server.status() == ServerStatus::stopping;
    const QString port = QString::number(server.port());

    statusDot->setColor(SemanticColors::tone(statusBadgeTone(mirrored), palette()));
    setIfChanged(statusText, statusBadgeText(mirrored));

    stoppingIndicator->setVisible(stopping);
    stopButton->setVisible(!stopping && app.mirroredServerRunning());
    startButton->setVisible(!stopping && !app.mirroredServerRunning());
    startButton->setEnabled(startAllowed(app));
    const bool canForceStop = server.canForceStop();
    forceStopButton->setVisible(canForceStop);
    forceStopButton->setEnabled(!stopping);
    restartButton->setEnabled((app.mirroredServerRunning() || mirrored == ServerStatus::crashed) &&
                              !stopping);

    stoppingCaption->setVisible(stopping);
    setIfChanged(stoppingCaption,
                 QStringLiteral("Shutting down Node and freeing port ") + port +
                     QStringLiteral(". This can take a couple of seconds — hang tight."));
    externalCaption->setVisible(app.mirroredExternallyManaged());
    recoveryCaption->setVisible(canForceStop || mirrored == ServerStatus::crashed);
    setIfChanged(
        recoveryCaption,
        canForceStop
            ? QStringLiteral("Port stuck? <b>Force Stop</b> frees port ") + port +
                  QStringLiteral(
                      " without restarting your Mac. After an app crash, relaunch and use "
                      "Start (or Force Stop first if the port is still busy).")
            : QStringLiteral("Start again to launch a fresh server. If Start fails with “port in "
                             "use”, use <b>Force Stop</b> first."));

    const QStringList reasons = app.startBlockedReasons();
    blockedBox->setVisible(!reasons.isEmpty());
    QStringList bullets;
    for (const QString& reason : reasons)
        bullets << QStringLiteral("• ") + reason;
    setIfChanged(blockedList, bullets.join('\n'));

    const ProjectPaths paths{app.projectRoot()};
    const auto& health = server.health();
    const auto& node = app.nodeInfo();
    const bool hasDatabase = paths.hasBibleDatabase();
    const std::optional<QString> installedLabel =
        hasDatabase ? std::optional<QString>(app.translationInfo().label) : std::nullopt;
    setValueRow("port", port);
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
    if (health) {
        setValueRow("clients", QString::number(health->clients));
        setValueRow("theme", health->themeId);
        setValueRow("database", health->db ? QStringLiteral("Ready") : QStringLiteral("Missing"));
        setValueRow("translation",
                    health->translationLabel ? health->translationLabel : installedLabel);
    } else {
        setValueRow("clients", std::nullopt);
        setValueRow("theme", std::nullopt);
        setValueRow("database", std::nullopt);
        setValueRow("translation", installedLabel);
    }

    lastError->setVisible(server.lastError().has_value());
    if (server.lastError())
        setIfChanged(lastError, *server.lastError());
    statusMessage->setVisible(app.statusMessage().has_value());
    if (app.statusMessage())
        setIfChanged(statusMessage, *app.statusMessage());
}

void DashboardView::renderOutputBox() {
    const QSignalBlocker blockPicker(displayPicker);
    const QList<DisplayScreen>& displays = app.availableDisplays();
    bool same = displayPicker->count() == displays.size();
    for (int i = 0; same && i < displays.size(); ++i)
        same = displayPicker->itemData(i).toUInt() == displays[i].id &&
               displayPicker->itemText(i) == displays[i].label();
    if (!same) {
        displayPicker->clear();
        for (const DisplayScreen& display : displays)
            displayPicker->addItem(display.label(), display.id);
    }
    displayPicker->setCurrentIndex(displayPicker->findData(app.selectedDisplayID()));

    {
        const QSignalBlocker blockWidth(widthStepper);
        const QSignalBlocker blockHeight(heightStepper);
        widthStepper->setValue(app.outputWidth());
        heightStepper->setValue(app.outputHeight());
    }

    const bool open = app.isDisplayOutputOpen();
    closeOutputButton->setVisible(open);
    outputOpenLabel->setVisible(open);
    openOutputButton->setVisible(!open);
    openOutputButton->setEnabled(app.mirroredServerRunning());

    const QSignalBlocker blockToggle(webOutputToggle);
    webOutputToggle->setChecked(app.showWebOutputHint());
}

void DashboardView::renderUrls() {
    const QList<UrlRow> rows = urlRows(app);
    const bool running = app.mirroredServerRunning();
    for (int i = 0; i < urlWidgets.size(); ++i) {
        const UrlWidgets& widgets = urlWidgets[i];
        widgets.row->setVisible(i < rows.size());
        if (i >= rows.size())
            continue;
        setIfChanged(widgets.title, rows[i].title);
        setIfChanged(widgets.url, rows[i].shown);
        widgets.open->setEnabled(running);
    }
}

void DashboardView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    renderLog();
}

void DashboardView::renderLog() {
    const QString path = ServerLog::filePath();
    setIfChanged(logPath,
                 logPath->fontMetrics().elidedText(path, Qt::ElideMiddle, logPath->width()));
    logPath->setToolTip(path);
    const QString text = app.server().logLines().join('\n');
    if (logView->toPlainText() == text)
        return;
    QScrollBar* bar = logView->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum() - 2;
    logView->setPlainText(text);
    // Follow new lines unless the operator scrolled up to read.
    if (atBottom) {
        logView->moveCursor(QTextCursor::End);
        logView->ensureCursorVisible();
    }
}
