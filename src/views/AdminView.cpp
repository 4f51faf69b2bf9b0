#include "views/AdminView.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/FileBrowser.h"
#include "views/AdminWebSheet.h"
#include "views/ScreenHeader.h"
#include "views/ScreenStyle.h"
#include "views/TranslationsCard.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

QString supportFile(const QString& name) {
    return QDir(ApplicationSupport::supportURL()).filePath(name);
}

// A titled box that says what it is for above its buttons; the buttons go
// into the column returned, whose parent is the box.
QVBoxLayout* explainedBox(const QString& title, const QString& text, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    column->addWidget(caption(text, box));
    return column;
}

} // namespace

AdminView::AdminView(AppViewModel& app, QWidget* parent) : QWidget(parent), app(app) {
    setObjectName(QStringLiteral("admin"));
    QVBoxLayout* column = scrollingColumn(this);
    QWidget* content = column->parentWidget();
    auto* header = new ScreenHeader(QStringLiteral("Admin"), content);
    reloadButton = header->addReloadButton(QStringLiteral("Reload translations"));
    reloadButton->setObjectName(QStringLiteral("reloadTranslations"));
    column->addWidget(header);
    column->addWidget(caption(QStringLiteral("Manage church settings here in the desktop app. "
                                             "Bookmarks (with buckets) are on the Bookmarks tab; "
                                             "themes on Themes."),
                              content));

    auto* translationsBox = new QGroupBox(QStringLiteral("Bible translations"), content);
    auto* translationsColumn = new QVBoxLayout(translationsBox);
    translationsColumn->addWidget(translations_ = new TranslationsCard(app, translationsBox));
    column->addWidget(translationsBox);
    column->addWidget(buildBookmarksBox());
    column->addWidget(buildThemesBox());
    column->addWidget(buildFilesBox());
    column->addStretch(1);

    connect(reloadButton, &QToolButton::clicked, this, [this] { this->app.reloadTranslations(); });
    connect(&app, &AppViewModel::changed, this, &AdminView::render);
    render();
}

QGroupBox* AdminView::buildBookmarksBox() {
    QVBoxLayout* column = explainedBox(
        QStringLiteral("Bookmarks && buckets"),
        QStringLiteral("Add or edit bookmarks on the Bookmarks tab. Set the Bucket field (Baptism, "
                       "Communion, …) — the iPad shows those as filter tabs."),
        this);
    QPushButton* open = tabButton(QStringLiteral("Open Bookmarks"), AppTab::bookmarks);
    open->setObjectName(QStringLiteral("openBookmarks"));
    makeProminent(open);
    column->addWidget(open, 0, Qt::AlignLeft);
    return static_cast<QGroupBox*>(column->parentWidget());
}

QGroupBox* AdminView::buildThemesBox() {
    QVBoxLayout* column = explainedBox(
        QStringLiteral("Themes"),
        QStringLiteral("Pick the live theme from the control (iPad). Advanced theme JSON editing "
                       "still uses the web admin."),
        this);
    auto* row = new QHBoxLayout;
    QPushButton* open = tabButton(QStringLiteral("Open Themes"), AppTab::themes);
    open->setObjectName(QStringLiteral("openThemes"));
    row->addWidget(open);
    webAdminButton = new QPushButton(QStringLiteral("Advanced web admin…"), this);
    webAdminButton->setObjectName(QStringLiteral("advancedWebAdmin"));
    connect(webAdminButton, &QPushButton::clicked, this, &AdminView::openWebAdmin);
    row->addWidget(webAdminButton);
    row->addStretch(1);
    column->addLayout(row);
    return static_cast<QGroupBox*>(column->parentWidget());
}

QPushButton* AdminView::tabButton(const QString& text, AppTab tab) {
    auto* button = new QPushButton(text, this);
    connect(button, &QPushButton::clicked, this, [this, tab] { app.setSelectedTab(tab); });
    return button;
}

QGroupBox* AdminView::buildFilesBox() {
    auto* box = new QGroupBox(QStringLiteral("Files"), this);
    auto* row = new QHBoxLayout(box);
    const auto add = [&](const QString& text, const char* name, auto action) {
        auto* button = new QPushButton(text, box);
        button->setObjectName(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
    };
    add(QStringLiteral("Open Data Folder"), "openDataFolder",
        [] { FileBrowser::openFolder(ApplicationSupport::supportURL()); });
    add(QStringLiteral("Reveal bookmarks.json"), "revealBookmarks",
        [] { FileBrowser::reveal(supportFile(QStringLiteral("bookmarks.json"))); });
    add(QStringLiteral("Reveal themes.json"), "revealThemes",
        [] { FileBrowser::reveal(supportFile(QStringLiteral("themes.json"))); });
    row->addStretch(1);
    return box;
}

void AdminView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    translations_->syncPickersFromPayload();
    app.reloadTranslations();
}

void AdminView::render() {
    const bool running = app.mirroredServerRunning();
    reloadButton->setEnabled(running);
    webAdminButton->setEnabled(running);
}

void AdminView::openWebAdmin() {
    if (webAdminSheet_ || !app.mirroredServerRunning())
        return;
    webAdminSheet_ = new AdminWebSheet(
        QStringLiteral("Web admin"), QUrl(app.webAdminURLString()),
        [model = QPointer<AppViewModel>(&app)] { reloadAfterWebAdmin(model); }, this);
    webAdminSheet_->open();
}

QCoro::Task<> AdminView::reloadAfterWebAdmin(QPointer<AppViewModel> app) {
    if (!app)
        co_return;
    auto bookmarks = app->reloadBookmarks();
    co_await bookmarks;
    if (!app)
        co_return;
    auto themes = app->reloadThemes();
    co_await themes;
    if (!app)
        co_return;
    auto translations = app->reloadTranslations();
    co_await translations;
}
