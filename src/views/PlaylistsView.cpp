#include "views/PlaylistsView.h"

#include "app/AppViewModel.h"
#include "models/PlaylistEdits.h"
#include "models/PlaylistRowLabel.h"
#include "services/SlideFiles.h"
#include "services/SlideImporter.h"
#include "views/BibleReferenceDialog.h"
#include "views/PlaylistItemDelegate.h"
#include "views/PlaylistItemsModel.h"
#include "views/PlaylistsSaveQueue.h"
#include "views/ScreenHeader.h"
#include "views/ScreenStyle.h"
#include "views/SelectionEditor.h"
#include "views/SemanticColors.h"
#include "views/SlideCardDelegate.h"
#include "views/SlideGridView.h"
#include "views/SlideListModel.h"
#include "views/Symbols.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

// Rows shown before the playlist scrolls by itself (and a drag near its edge
// scrolls it).
constexpr int visibleRows = 14;

qint64 epochSeconds() {
    return QDateTime::currentSecsSinceEpoch();
}

void makeDestructive(QPushButton* button) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText,
                     SemanticColors::tone(SemanticColors::Tone::red, palette));
    button->setPalette(palette);
}

QPushButton* namedButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

PlaylistsView::PlaylistsView(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app), saves(new PlaylistsSaveQueue(app, this)) {
    setObjectName(QStringLiteral("playlists"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 0);
    outer->setSpacing(12);
    header = new ScreenHeader(QStringLiteral("Playlists"), this);
    header->setStoppedCaption(QStringLiteral("Editing playlists.json (server stopped)"));
    connect(header->addReloadButton(QStringLiteral("Reload playlists")), &QToolButton::clicked,
            this, [this] { reload(false); });
    outer->addWidget(header);
    error = new QLabel(this);
    error->setObjectName(QStringLiteral("playlistsError"));
    error->setWordWrap(true);
    error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTextTone(error, SemanticColors::Tone::red);
    outer->addWidget(error);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 24);
    column->setSpacing(16);
    column->addWidget(buildSlidesBox());
    column->addWidget(buildPlaylistsBox());
    column->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    connect(&app, &AppViewModel::changed, this, &PlaylistsView::render);
    connect(saves, &PlaylistsSaveQueue::changed, this, &PlaylistsView::render);
    render();
}

QWidget* PlaylistsView::buildSlidesBox() {
    auto* box = new QGroupBox(QStringLiteral("Lesson slides (images)"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    column->addWidget(caption(QStringLiteral("Import PNG/JPG from Keynote, PowerPoint, or Canva. "
                                             "Buckets stay Bible-only; put slides in a playlist."),
                              box));
    auto* import = namedButton(QStringLiteral("Import images…"), "importImages", box);
    import->setIcon(Symbols::icon(QStringLiteral("photo.badge.plus")));
    import->setToolTip(QStringLiteral("Images (PNG, JPEG, WebP, GIF) or a PDF exported from a "
                                      "slide deck: each page becomes a slide"));
    makeProminent(import);
    connect(import, &QPushButton::clicked, this, &PlaylistsView::chooseImages);
    column->addWidget(import, 0, Qt::AlignLeft);
    noSlides = caption(QStringLiteral("No slides yet."), box);
    column->addWidget(noSlides);

    slides = new SlideListModel(this);
    auto* delegate = new SlideCardDelegate(this);
    slideGrid = new SlideGridView(delegate, box);
    slideGrid->setObjectName(QStringLiteral("slideGrid"));
    slideGrid->setAccessibleName(QStringLiteral("Lesson slides"));
    slideGrid->setModel(slides);
    SelectionEditor::follow(slideGrid);
    connect(slides, &SlideListModel::labelEdited, this,
            [this](const QString& id, const QString& label) {
                change(
                    [&](PlaylistsConfig& c) { return PlaylistEdits::relabelSlide(c, id, label); });
            });
    connect(delegate, &SlideCardDelegate::deleteRequested, this, &PlaylistsView::deleteSlide);
    // Delete on the keyboard takes the selected card, as its button does;
    // only with the grid itself focused, never while its label is edited.
    auto* deleteKey = new QAction(QStringLiteral("Delete slide"), slideGrid);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    connect(deleteKey, &QAction::triggered, this, [this] {
        if (const QModelIndex current = slideGrid->currentIndex(); current.isValid())
            deleteSlide(current.data(SlideListModel::slideIdRole).toString());
    });
    slideGrid->addAction(deleteKey);
    column->addWidget(slideGrid);
    return box;
}

QWidget* PlaylistsView::buildPlaylistsBox() {
    auto* box = new QGroupBox(QStringLiteral("Sunday playlists"), this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    picker = new QComboBox(box);
    picker->setObjectName(QStringLiteral("playlistPicker"));
    picker->setAccessibleName(QStringLiteral("Playlist"));
    picker->setMaximumWidth(280);
    picker->setMinimumWidth(180);
    connect(picker, &QComboBox::activated, this,
            [this](int index) { selectPlaylist(picker->itemData(index).toString()); });
    auto* pickerLabel = new QLabel(QStringLiteral("Playlist"), box);
    pickerLabel->setBuddy(picker);
    row->addWidget(pickerLabel);
    row->addWidget(picker, 1);
    auto* create = namedButton(QStringLiteral("New playlist"), "newPlaylist", box);
    connect(create, &QPushButton::clicked, this, &PlaylistsView::createPlaylist);
    row->addWidget(create);
    renameButton = namedButton(QStringLiteral("Rename"), "renamePlaylist", box);
    connect(renameButton, &QPushButton::clicked, this, [this] {
        nameField->setFocus(Qt::OtherFocusReason);
        nameField->selectAll();
    });
    row->addWidget(renameButton);
    deleteButton = namedButton(QStringLiteral("Delete"), "deletePlaylist", box);
    deleteButton->setAccessibleName(QStringLiteral("Delete playlist"));
    makeDestructive(deleteButton);
    connect(deleteButton, &QPushButton::clicked, this, &PlaylistsView::deleteSelectedPlaylist);
    row->addWidget(deleteButton);
    row->addStretch(1);
    column->addLayout(row);

    noPlaylist = caption(QStringLiteral("Create a playlist to build Sunday’s rundown."), box);
    noPlaylist->setObjectName(QStringLiteral("noPlaylist"));
    column->addWidget(noPlaylist);
    column->addWidget(editor = buildPlaylistEditor(box));
    return box;
}

QWidget* PlaylistsView::buildPlaylistEditor(QWidget* parent) {
    auto* area = new QWidget(parent);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    nameField = new QLineEdit(area);
    nameField->setObjectName(QStringLiteral("playlistName"));
    nameField->setPlaceholderText(QStringLiteral("Name"));
    nameField->setAccessibleName(QStringLiteral("Name"));
    nameField->setMaximumWidth(360);
    connect(nameField, &QLineEdit::textEdited, this, [this](const QString& name) {
        const QString id = editedPlaylistId();
        change([&](PlaylistsConfig& c) { return PlaylistEdits::renamePlaylist(c, id, name); });
    });
    row->addWidget(nameField, 1);
    addButton = namedButton(QStringLiteral("Add…"), "addItem", area);
    addButton->setMenu(buildAddMenu());
    row->addWidget(addButton);
    row->addStretch(0);
    column->addLayout(row);

    emptyPlaylist = caption(
        QStringLiteral("Empty — add bookmarks, verses, or slides in the order you’ll use them."),
        area);
    column->addWidget(emptyPlaylist);

    items = new PlaylistItemsModel(this);
    itemList = new QListView(area);
    itemList->setObjectName(QStringLiteral("itemList"));
    itemList->setAccessibleName(QStringLiteral("Playlist items"));
    itemList->setModel(items);
    auto* delegate = new PlaylistItemDelegate(this);
    itemList->setItemDelegate(delegate);
    itemList->setUniformItemSizes(true);
    itemList->setSelectionMode(QAbstractItemView::SingleSelection);
    itemList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemList->setDragDropMode(QAbstractItemView::InternalMove);
    itemList->setDefaultDropAction(Qt::MoveAction);
    itemList->setDropIndicatorShown(true);
    SelectionEditor::follow(itemList);
    connect(delegate, &PlaylistItemDelegate::moveRequested, this, &PlaylistsView::moveItem);
    connect(delegate, &PlaylistItemDelegate::removeRequested, this, &PlaylistsView::removeItem);
    connect(items, &PlaylistItemsModel::moveRequested, this, [this](int from, int to) {
        const QString id = items->playlistId();
        change([&](PlaylistsConfig& c) { return PlaylistEdits::moveItemTo(c, id, from, to); });
    });
    column->addWidget(itemList);
    return area;
}

QMenu* PlaylistsView::buildAddMenu() {
    auto* menu = new QMenu(addButton);
    menu->setObjectName(QStringLiteral("addMenu"));
    bookmarkMenu = menu->addMenu(QStringLiteral("Bookmark"));
    bookmarkMenu->setObjectName(QStringLiteral("bookmarkMenu"));
    slideMenu = menu->addMenu(QStringLiteral("Slide"));
    slideMenu->setObjectName(QStringLiteral("slideMenu"));
    connect(menu->addAction(QStringLiteral("Bible reference…")), &QAction::triggered, this,
            &PlaylistsView::askForReference);
    // Filled as they open, from what the model holds then.
    connect(bookmarkMenu, &QMenu::aboutToShow, this, [this] {
        bookmarkMenu->clear();
        for (const Bookmark& bookmark : app.bookmarks())
            connect(bookmarkMenu->addAction(bookmark.label), &QAction::triggered, this,
                    [this, id = bookmark.id] { addBookmarkItem(id); });
    });
    connect(slideMenu, &QMenu::aboutToShow, this, [this] {
        slideMenu->clear();
        for (const LessonSlide& slide : saves->document().slides)
            connect(slideMenu->addAction(slide.label), &QAction::triggered, this,
                    [this, id = slide.id] { addSlideItem(id); });
    });
    return menu;
}

void PlaylistsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reload(true);
}

QCoro::Task<> PlaylistsView::reload(bool selectFirst) {
    QPointer<PlaylistsView> self(this);
    auto task = app.reloadPlaylists();
    co_await task;
    if (!self)
        co_return;
    if (selectFirst && !selectedPlaylistId_ && !app.playlistsConfig().playlists.empty()) {
        selectedPlaylistId_ = app.playlistsConfig().playlists.front().id;
        render();
    }
}

// ---------------------------------------------------------------- rendering

void PlaylistsView::render() {
    const PlaylistsConfig& document = saves->document();
    header->setServerRunning(app.mirroredServerRunning());
    error->setVisible(app.playlistsError().has_value());
    setIfChanged(error, app.playlistsError().value_or(QString()));
    renderSlides(document);
    renderPlaylists(document);
}

void PlaylistsView::renderSlides(const PlaylistsConfig& document) {
    slides->setSlides(document.slides);
    noSlides->setVisible(document.slides.empty());
    slideGrid->setVisible(!document.slides.empty());
    slideMenu->menuAction()->setEnabled(!document.slides.empty());
}

void PlaylistsView::renderPlaylists(const PlaylistsConfig& document) {
    const Playlist* selected = PlaylistEdits::selectedPlaylist(document, selectedPlaylistId_);
    bool samePicker = picker->count() == int(document.playlists.size());
    for (int row = 0; samePicker && row < picker->count(); ++row) {
        const Playlist& playlist = document.playlists[size_t(row)];
        samePicker = picker->itemData(row).toString() == playlist.id &&
                     picker->itemText(row) == playlist.name;
    }
    if (!samePicker) {
        const QSignalBlocker quiet(picker);
        picker->clear();
        for (const Playlist& playlist : document.playlists)
            picker->addItem(playlist.name, playlist.id);
    }
    picker->setCurrentIndex(selected ? picker->findData(selected->id) : -1);
    picker->setEnabled(!document.playlists.empty());
    renameButton->setVisible(selected);
    deleteButton->setVisible(selected);
    noPlaylist->setVisible(!selected);
    editor->setVisible(selected);
    addButton->setEnabled(!saves->isSaving());
    bookmarkMenu->menuAction()->setEnabled(!app.bookmarks().empty());
    if (!selected) {
        items->setRows(QString(), {});
        return;
    }
    if (nameField->text() != selected->name)
        nameField->setText(selected->name);
    renderItems(*selected, document.slides);
}

void PlaylistsView::renderItems(const Playlist& playlist,
                                const std::vector<LessonSlide>& slideList) {
    const PlaylistRowLabel labels(app.bookmarks(), slideList);
    std::vector<PlaylistItemsModel::Row> rows;
    rows.reserve(playlist.items.size());
    for (const PlaylistItem& item : playlist.items)
        rows.push_back({item.id, labels.text(item)});
    items->setRows(playlist.id, std::move(rows));
    emptyPlaylist->setVisible(playlist.items.empty());
    itemList->setVisible(!playlist.items.empty());
    const int shownRows = qBound(1, items->rowCount(), visibleRows);
    itemList->setFixedHeight(shownRows * PlaylistItemDelegate::rowHeight +
                             2 * itemList->frameWidth());
}

// ---------------------------------------------------------------- operations

bool PlaylistsView::isSaving() const {
    return saves->isSaving();
}

template <typename Edit> void PlaylistsView::change(Edit edit) {
    PlaylistsConfig copy = saves->document();
    if (edit(copy))
        saves->persist(std::move(copy));
}

QString PlaylistsView::editedPlaylistId() const {
    const Playlist* selected =
        PlaylistEdits::selectedPlaylist(saves->document(), selectedPlaylistId_);
    return selected ? selected->id : QString();
}

void PlaylistsView::chooseImages() {
    auto* panel = new QFileDialog(this, QStringLiteral("Choose lesson slide images"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setNameFilter(SlideImporter::nameFilter());
    panel->setLabelText(QFileDialog::Accept, QStringLiteral("Import"));
    connect(panel, &QFileDialog::filesSelected, this, &PlaylistsView::importImages);
    panel->open();
}

void PlaylistsView::importImages(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    QProgressDialog progress(QStringLiteral("Importing slides…"), QStringLiteral("Cancel"), 0, 0,
                             this);
    progress.setWindowTitle(QStringLiteral("Import images"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const auto outcome = SlideImporter::importFiles(
        saves->document(), paths, QSize(app.outputWidth(), app.outputHeight()), epochSeconds(),
        [&progress](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
            return !progress.wasCanceled();
        });
    if (outcome.error)
        app.setPlaylistsError(outcome.error);
    if (outcome.config != saves->document())
        saves->persist(outcome.config);
}

void PlaylistsView::deleteSlide(const QString& slideId) {
    PlaylistsConfig copy = saves->document();
    if (const auto removed = PlaylistEdits::deleteSlide(copy, slideId))
        SlideFiles::removeImage(removed->imageFile);
    if (copy != saves->document())
        saves->persist(std::move(copy));
}

void PlaylistsView::selectPlaylist(const QString& id) {
    selectedPlaylistId_ = id.isEmpty() ? std::nullopt : std::optional(id);
    render();
}

void PlaylistsView::createPlaylist() {
    PlaylistsConfig copy = saves->document();
    selectedPlaylistId_ = PlaylistEdits::createPlaylist(copy, epochSeconds());
    saves->persist(std::move(copy));
    render();
}

void PlaylistsView::deleteSelectedPlaylist() {
    const QString id = editedPlaylistId();
    if (id.isEmpty())
        return;
    PlaylistsConfig copy = saves->document();
    selectedPlaylistId_ = PlaylistEdits::deletePlaylist(copy, id);
    saves->persist(std::move(copy));
    render();
}

void PlaylistsView::addBookmarkItem(const QString& bookmarkId) {
    const QString id = editedPlaylistId();
    change([&](PlaylistsConfig& c) { return PlaylistEdits::addBookmarkItem(c, id, bookmarkId); });
}

void PlaylistsView::addSlideItem(const QString& slideId) {
    const QString id = editedPlaylistId();
    change([&](PlaylistsConfig& c) { return PlaylistEdits::addSlideItem(c, id, slideId); });
}

void PlaylistsView::askForReference() {
    auto* dialog = new BibleReferenceDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The playlist the alert was opened for, even if the picker moves meanwhile.
    const QString playlistId = editedPlaylistId();
    connect(dialog, &QDialog::accepted, this, [this, dialog, playlistId] {
        const PlaylistItem reference = dialog->reference();
        change([&](PlaylistsConfig& c) {
            return PlaylistEdits::addReferenceItem(c, playlistId, reference);
        });
    });
    dialog->open();
}

void PlaylistsView::moveItem(int row, int delta) {
    const QString id = items->playlistId();
    change([&](PlaylistsConfig& c) { return PlaylistEdits::moveItem(c, id, row, delta); });
}

void PlaylistsView::removeItem(const QString& itemId) {
    const QString id = items->playlistId();
    change([&](PlaylistsConfig& c) { return PlaylistEdits::removeItem(c, id, itemId); });
}
