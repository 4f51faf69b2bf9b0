#include "views/ThemesView.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/FileBrowser.h"
#include "views/AdminWebSheet.h"
#include "views/ScreenHeader.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/ThemeListModel.h"
#include "views/ThemeRowDelegate.h"

#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

ThemesView::ThemesView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    setObjectName(QStringLiteral("themes"));
    QVBoxLayout* column = scrollingColumn(this);
    QWidget* content = column->parentWidget();

    auto* header = new ScreenHeader(QStringLiteral("Themes"), content);
    reloadButton = header->addReloadButton(QStringLiteral("Reload themes"));
    reloadButton->setObjectName(QStringLiteral("reloadThemes"));
    advancedButton = header->addButton(QStringLiteral("Advanced editor…"));
    advancedButton->setObjectName(QStringLiteral("advancedEditor"));
    advancedButton->setToolTip(QStringLiteral("Opens /admin for theme JSON editing"));
    makeProminent(advancedButton);
    column->addWidget(header);

    column->addWidget(caption(QStringLiteral("Installed themes are listed below. Day-to-day theme "
                                             "choice is on the iPad control. Use Advanced editor "
                                             "only for JSON edits."),
                              content));
    errorLine = new QLabel(content);
    errorLine->setObjectName(QStringLiteral("themesError"));
    errorLine->setWordWrap(true);
    setTextTone(errorLine, SemanticColors::Tone::red);
    column->addWidget(errorLine);
    column->addWidget(configBlock = buildConfigBlock());
    column->addWidget(emptyState = buildEmptyState());
    column->addStretch(1);

    connect(reloadButton, &QToolButton::clicked, this, [this] { this->app.reloadThemes(); });
    connect(advancedButton, &QPushButton::clicked, this, &ThemesView::openAdminSheet);
    connect(&app, &AppViewModel::changed, this, &ThemesView::render);
    render();
}

QWidget* ThemesView::buildConfigBlock() {
    auto* block = new QWidget(this);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);

    auto* defaultBox = new QGroupBox(QStringLiteral("Default theme"), block);
    auto* defaultColumn = new QVBoxLayout(defaultBox);
    defaultThemeId = new QLabel(defaultBox);
    defaultThemeId->setObjectName(QStringLiteral("defaultThemeId"));
    defaultThemeId->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    defaultThemeId->setTextInteractionFlags(Qt::TextSelectableByMouse);
    defaultColumn->addWidget(defaultThemeId);
    column->addWidget(defaultBox);

    auto* installedBox = new QGroupBox(QStringLiteral("Installed themes"), block);
    auto* installedColumn = new QVBoxLayout(installedBox);
    themes = new ThemeListModel(this);
    themeList = new QListView(installedBox);
    themeList->setObjectName(QStringLiteral("themeList"));
    themeList->setAccessibleName(QStringLiteral("Installed themes"));
    themeList->setModel(themes);
    themeList->setItemDelegate(new ThemeRowDelegate(themeList));
    themeList->setSelectionMode(QAbstractItemView::NoSelection);
    themeList->setFrameShape(QFrame::NoFrame);
    themeList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    themeList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    themeList->viewport()->setAutoFillBackground(false);
    themeList->setUniformItemSizes(true);
    installedColumn->addWidget(themeList);
    column->addWidget(installedBox);
    connect(themes, &QAbstractItemModel::modelReset, this, &ThemesView::fitListToRows);

    auto* reveal = new QPushButton(QStringLiteral("Reveal themes.json"), block);
    reveal->setObjectName(QStringLiteral("revealThemes"));
    connect(reveal, &QPushButton::clicked, this, [] {
        FileBrowser::reveal(QDir(ApplicationSupport::supportURL()).filePath("themes.json"));
    });
    column->addWidget(reveal, 0, Qt::AlignLeft);
    return block;
}

QWidget* ThemesView::buildEmptyState() {
    auto* block = new QWidget(this);
    block->setObjectName(QStringLiteral("noThemes"));
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(8);
    column->addWidget(symbolLabel(QStringLiteral("paintpalette.fill"), 40, block), 0,
                      Qt::AlignHCenter);
    column->addWidget(headline(QStringLiteral("No themes loaded"), block), 0, Qt::AlignHCenter);
    auto* hint = caption(QStringLiteral("Start the server or check themes.json."), block);
    hint->setAlignment(Qt::AlignHCenter);
    column->addWidget(hint);
    return block;
}

void ThemesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    app.reloadThemes();
}

void ThemesView::render() {
    advancedButton->setEnabled(app.mirroredServerRunning());
    const std::optional<QString>& error = app.themesError();
    setIfChanged(errorLine, error.value_or(QString()));
    errorLine->setVisible(error.has_value());

    const std::optional<ThemesConfig>& config = app.themesConfig();
    configBlock->setVisible(config.has_value());
    emptyState->setVisible(!config);
    if (!config)
        return;
    setIfChanged(defaultThemeId, config->defaultThemeId);
    themes->setThemes(config->themes, app.liveThemeId());
}

// The screen scrolls as a whole; the list is as tall as its rows.
void ThemesView::fitListToRows() {
    int height = 2 * themeList->frameWidth();
    for (int row = 0; row < themes->rowCount(); ++row)
        height += themeList->sizeHintForRow(row);
    themeList->setFixedHeight(height);
}

void ThemesView::openAdminSheet() {
    if (adminSheet_ || !app.mirroredServerRunning())
        return;
    const QPointer<ThemesView> self(this);
    adminSheet_ = new AdminWebSheet(
        QStringLiteral("Theme admin"), QUrl(app.webAdminURLString()),
        [self] {
            // Edits made in the web admin show at once.
            if (self)
                self->app.reloadThemes();
        },
        this);
    adminSheet_->open();
}
