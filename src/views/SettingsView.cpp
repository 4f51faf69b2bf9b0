#include "views/SettingsView.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "views/ApiBiblePanel.h"
#include "views/AppLogoView.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <QVBoxLayout>

using namespace ScreenStyle;
using SemanticColors::Tone;

namespace {

constexpr int statusIconSize = 16;

QLabel* statusIcon(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFixedSize(statusIconSize, statusIconSize);
    return label;
}

// A green check or an orange cross, named for a screen reader.
void setStatus(QLabel* icon, bool ok) {
    const QString symbol =
        ok ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill");
    if (icon->property("ok").isValid() && icon->property("ok").toBool() == ok)
        return;
    icon->setProperty("ok", ok);
    icon->setPixmap(Symbols::icon(symbol).pixmap(statusIconSize, statusIconSize));
    icon->setAccessibleName(ok ? QStringLiteral("Present") : QStringLiteral("Missing"));
    icon->setToolTip(icon->accessibleName());
}

QGroupBox* section(const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}

QLabel* small(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 0.9));
    label->setWordWrap(true);
    return label;
}

} // namespace

SettingsView::SettingsView(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app), shownTab(app.selectedTab()) {
    setObjectName(QStringLiteral("settings"));
    QVBoxLayout* column = scrollingColumn(this);
    QWidget* content = column->parentWidget();
    auto* title = new QLabel(QStringLiteral("Settings"), content);
    title->setFont(scaled(title->font(), 1.9, QFont::Bold));
    column->addWidget(title);
    column->addWidget(buildReleaseBundle());
    column->addWidget(buildServer());
    column->addWidget(buildTranslation());
    column->addWidget(apiBible = new ApiBiblePanel(app, content));
    column->addWidget(buildData());
    column->addWidget(buildAbout());
    column->addStretch(1);

    connect(&app, &AppViewModel::changed, this, &SettingsView::render);
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    resetPortField();
    // Later visits come through a tab change, which reloads in render().
    if (!loadedOnce) {
        loadedOnce = true;
        apiBible->reloadFromStorage();
    }
    render();
}

QWidget* SettingsView::buildReleaseBundle() {
    QGroupBox* box = section(QStringLiteral("Release bundle"), this);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Mode"), new QLabel(QStringLiteral("Self-contained"), box));
    form->addRow(QStringLiteral("Server"), serverBuildIcon = statusIcon("serverBuildIcon", box));
    form->addRow(QStringLiteral("Bible (WEB)"),
                 bundledBibleIcon = statusIcon("bundledBibleIcon", box));
    return box;
}

QWidget* SettingsView::buildServer() {
    QGroupBox* box = section(QStringLiteral("Server"), this);
    auto* form = new QFormLayout(box);
    startupLogToggle = new QCheckBox(QStringLiteral("Show startup log"), box);
    startupLogToggle->setObjectName(QStringLiteral("showStartupLog"));
    connect(startupLogToggle, &QCheckBox::toggled, this,
            [this](bool shown) { this->app.setShowStartupLog(shown); });
    form->addRow(startupLogToggle);

    auto* portRow = new QHBoxLayout;
    portField = new QLineEdit(box);
    portField->setObjectName(QStringLiteral("portField"));
    portField->setAccessibleName(QStringLiteral("Port"));
    portField->setFixedWidth(80);
    connect(portField, &QLineEdit::returnPressed, this, &SettingsView::applyPort);
    portRow->addWidget(portField);
    auto* apply = new QPushButton(QStringLiteral("Apply"), box);
    apply->setObjectName(QStringLiteral("applyPort"));
    connect(apply, &QPushButton::clicked, this, &SettingsView::applyPort);
    portRow->addWidget(apply);
    portRow->addStretch(1);
    form->addRow(QStringLiteral("Port"), portRow);

    auto* nodeRow = new QHBoxLayout;
    nodeValue = new QLabel(box);
    nodeValue->setObjectName(QStringLiteral("nodeValue"));
    nodeValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nodeRow->addWidget(nodeValue);
    nodeInstallLink = new QLabel(
        QStringLiteral("<a href=\"%1\">Install Node.js 20+</a>").arg(nodeDownloadURL), box);
    nodeInstallLink->setObjectName(QStringLiteral("nodeInstallLink"));
    nodeInstallLink->setOpenExternalLinks(true);
    nodeInstallLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
    nodeRow->addWidget(nodeInstallLink);
    nodeRow->addStretch(1);
    form->addRow(QStringLiteral("Node.js"), nodeRow);
    return box;
}

QWidget* SettingsView::buildTranslation() {
    QGroupBox* box = section(QStringLiteral("Translation"), this);
    auto* column = new QVBoxLayout(box);
    auto* form = new QFormLayout;
    translationLabel = new QLabel(box);
    translationLabel->setObjectName(QStringLiteral("translationInUse"));
    form->addRow(QStringLiteral("In use"), translationLabel);
    column->addLayout(form);
    attribution = caption(QString(), box);
    attribution->setObjectName(QStringLiteral("attribution"));
    column->addWidget(attribution);
    column->addWidget(
        small(QStringLiteral("Choose primary / compare Bibles on the Admin tab. Presentation "
                             "reads SQLite only — API.Bible is used once for import, never per "
                             "verse during stream."),
              box));
    auto* openAdmin = new QPushButton(QStringLiteral("Open Admin…"), box);
    openAdmin->setObjectName(QStringLiteral("openAdmin"));
    connect(openAdmin, &QPushButton::clicked, this,
            [this] { this->app.setSelectedTab(AppTab::admin); });
    column->addWidget(openAdmin, 0, Qt::AlignLeft);
    return box;
}

QWidget* SettingsView::buildData() {
    QGroupBox* box = section(QStringLiteral("Data"), this);
    auto* column = new QVBoxLayout(box);
    auto* databaseRow = new QHBoxLayout;
    databaseRow->addWidget(new QLabel(QStringLiteral("Bible database"), box));
    databaseRow->addWidget(databaseIcon = statusIcon("databaseIcon", box));
    databasePath = small(QString(), box);
    databasePath->setObjectName(QStringLiteral("databasePath"));
    databasePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    databaseRow->addWidget(databasePath, 1);
    column->addLayout(databaseRow);
    column->addWidget(small(QStringLiteral("Bookmarks and themes persist in the data folder. "
                                           "import.env there holds your API.Bible key: keep "
                                           "it private and do not share the folder."),
                            box));
    auto* open = new QPushButton(QStringLiteral("Open Data Folder"), box);
    open->setObjectName(QStringLiteral("openDataFolder"));
    connect(open, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(ApplicationSupport::supportURL()));
    });
    column->addWidget(open, 0, Qt::AlignLeft);
    return box;
}

QWidget* SettingsView::buildAbout() {
    QGroupBox* box = section(QStringLiteral("About"), this);
    auto* row = new QHBoxLayout(box);
    row->addWidget(new AppLogoView(48, box));
    auto* lines = new QVBoxLayout;
    lines->addWidget(headline(QStringLiteral("Vesperline"), box));
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral("1.0");
    auto* versionLine = caption(QStringLiteral("Version ") + version, box);
    versionLine->setObjectName(QStringLiteral("version"));
    lines->addWidget(versionLine);
    row->addLayout(lines);
    row->addStretch(1);
    return box;
}

std::optional<int> SettingsView::parsePort(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral(R"(^[+-]?\d+$)"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong port = text.toLongLong(&ok);
    if (!ok || port < 1024 || port > 65535)
        return std::nullopt;
    return int(port);
}

void SettingsView::applyPort() {
    if (const auto port = parsePort(portField->text()))
        app.setPort(*port);
    else
        resetPortField();
}

void SettingsView::resetPortField() {
    portField->setText(QString::number(app.server().port()));
}

void SettingsView::render() {
    // The API.Bible fields follow storage again whenever this tab comes back;
    // asking the keyring on every other tab change would only cost time.
    if (app.selectedTab() != shownTab) {
        shownTab = app.selectedTab();
        if (shownTab == AppTab::settings)
            apiBible->reloadFromStorage();
    }
    const ProjectPaths paths{app.projectRoot()};
    setStatus(serverBuildIcon, paths.hasServerBuild());
    setStatus(bundledBibleIcon, paths.hasBibleDatabase());
    setStatus(databaseIcon, paths.hasBibleDatabase());
    setIfChanged(databasePath, ApplicationSupport::path(QStringLiteral("data/bible.sqlite")));

    if (startupLogToggle->isChecked() != app.showStartupLog()) {
        const QSignalBlocker quiet(startupLogToggle);
        startupLogToggle->setChecked(app.showStartupLog());
    }
    renderNode();

    setIfChanged(translationLabel, app.translationInfo().label);
    setIfChanged(attribution, app.translationInfo().attribution);
}

void SettingsView::renderNode() {
    const auto& node = app.nodeInfo();
    if (node) {
        setIfChanged(nodeValue, node->isEmbedded
                                    ? QStringLiteral("Embedded ") + node->version
                                    : node->version + QStringLiteral(" at ") + node->path);
        setTextTone(nodeValue, std::nullopt);
    } else {
        setIfChanged(nodeValue, QStringLiteral("Not found"));
        setTextTone(nodeValue, Tone::red);
    }
    nodeInstallLink->setVisible(!node && !app.isSelfContained());
}
