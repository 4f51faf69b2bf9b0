#include "views/ContentView.h"

#include "app/AppViewModel.h"
#include "services/Settings.h"
#include "views/AppDetailView.h"
#include "views/AppLogoView.h"
#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/ServerStatusFooter.h"
#include "views/SidebarTabButton.h"
#include "views/Symbols.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// A one-pixel line in the separator colour, worked out from the palette at
// paint time so that it follows a theme change.
class Hairline : public QWidget {
public:
    Hairline(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
        if (orientation == Qt::Horizontal)
            setFixedHeight(1);
        else
            setFixedWidth(1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), SemanticColors::separator(palette()));
    }
};

QWidget* padded(QWidget* content, int left, int top, int right, int bottom, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(left, top, right, bottom);
    layout->setSpacing(0);
    layout->addWidget(content);
    return box;
}

} // namespace

ContentView::ContentView(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app), lastStatus_(app.mirroredServerStatus()),
      lastTab_(app.selectedTab()) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(buildSidebar());
    row->addWidget(new Hairline(Qt::Vertical, this));
    detail_ = new AppDetailView(app, this);
    row->addWidget(detail_, 1);

    // The brand gold is the accent: selections, focus, default buttons. Text
    // on it stays dark, which reads on gold in light and dark themes alike.
    QPalette accent = palette();
    accent.setColor(QPalette::Highlight, BrandColors::gold());
    accent.setColor(QPalette::HighlightedText, QColor(0x1d, 0x1b, 0x16));
    setPalette(accent);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    connect(&app, &AppViewModel::changed, this, &ContentView::render);
    render();
}

ContentView::~ContentView() {
    cancelTask(poll_);
}

QWidget* ContentView::buildSidebar() {
    sidebar_ = new QWidget(this);
    sidebar_->setObjectName(QStringLiteral("sidebar"));
    sidebar_->setFixedWidth(sidebarWidth);
    sidebar_->setBackgroundRole(QPalette::Base);
    sidebar_->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(sidebar_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Branding: logo and name, read out as one "Vesperline".
    auto* branding = new QWidget(sidebar_);
    branding->setAccessibleName(QStringLiteral("Vesperline"));
    auto* brandRow = new QHBoxLayout(branding);
    brandRow->setContentsMargins(14, 18, 14, 14);
    brandRow->setSpacing(10);
    auto* logo = new AppLogoView(36, branding);
    brandRow->addWidget(logo, 0, Qt::AlignVCenter);
    auto* name = new QLabel(QStringLiteral("Vesperline"), branding);
    name->setObjectName(QStringLiteral("brandName"));
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.2);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);
    name->setWordWrap(true);
    name->setMaximumHeight(QFontMetrics(nameFont).lineSpacing() * 2);
    name->setAccessibleName(QString());
    brandRow->addWidget(name, 1, Qt::AlignVCenter);
    column->addWidget(branding);

    column->addWidget(padded(new Hairline(Qt::Horizontal, sidebar_), 10, 0, 10, 8, sidebar_));

    // The tabs.
    auto* tabs = new QWidget(sidebar_);
    auto* tabColumn = new QVBoxLayout(tabs);
    tabColumn->setContentsMargins(8, 0, 8, 0);
    tabColumn->setSpacing(2);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (const AppTab tab : AppTabs::all()) {
        auto* button =
            new SidebarTabButton(Symbols::icon(AppTabs::symbol(tab)), AppTabs::title(tab), tabs);
        group->addButton(button);
        tabButtons_.insert(tab, button);
        tabColumn->addWidget(button);
        // The checked change, not the click: a screen reader's "Toggle"
        // checks the button without clicking it.
        connect(button, &QAbstractButton::toggled, this, [this, tab](bool checked) {
            if (checked)
                app.setSelectedTab(tab);
        });
    }
    column->addWidget(tabs);

    column->addSpacing(12);
    column->addStretch(1);
    column->addWidget(padded(new Hairline(Qt::Horizontal, sidebar_), 10, 0, 10, 0, sidebar_));
    footer_ = new ServerStatusFooter(app, sidebar_);
    column->addWidget(padded(footer_, 14, 12, 14, 12, sidebar_));
    return sidebar_;
}

void ContentView::render() {
    const AppTab tab = app.selectedTab();
    if (SidebarTabButton* button = tabButtons_.value(tab); button && !button->isChecked())
        button->setChecked(true);
    detail_->setTab(tab);
    footer_->render();

    const ServerStatus status = app.mirroredServerStatus();
    if (status != lastStatus_) {
        lastStatus_ = status;
        if (status == ServerStatus::running)
            reloadData();
    }
    if (tab != lastTab_) {
        lastTab_ = tab;
        syncStatus();
    }
}

void ContentView::clearLegacySplitViewDefaultsIfNeeded() {
    if (Settings::integer(Settings::Key::uiLayoutVersion) >= currentLayoutVersion)
        return;
    Settings::setInteger(Settings::Key::uiLayoutVersion, currentLayoutVersion);
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring a minimised window is not a new showing.
    if (event->spontaneous() || poll_)
        return;
    if (!everShown_) {
        everShown_ = true;
        clearLegacySplitViewDefaultsIfNeeded();
        Q_EMIT firstShown();
    }
    poll_ = CancellationToken::create();
    pollStatus(poll_);
}

void ContentView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        cancelTask(poll_);
}

QCoro::Task<> ContentView::pollStatus(CancellationHandle token) {
    QPointer<AppViewModel> model(&app);
    co_await model->syncServerStatus();
    if (model && !token->isCancelled())
        co_await model->reloadBookmarks();
    if (model && !token->isCancelled())
        co_await model->reloadPlaylists();
    if (model && !token->isCancelled())
        co_await model->reloadThemes();
    while (model && !token->isCancelled()) {
        co_await CancellationToken::sleep(statusPollInterval, token);
        if (!model || token->isCancelled())
            co_return;
        co_await model->syncServerStatus();
    }
}

QCoro::Task<> ContentView::reloadData() {
    QPointer<AppViewModel> model(&app);
    co_await model->reloadBookmarks();
    if (model)
        co_await model->reloadPlaylists();
    if (model)
        co_await model->reloadThemes();
}

QCoro::Task<> ContentView::syncStatus() {
    QPointer<AppViewModel> model(&app);
    co_await model->syncServerStatus();
}
