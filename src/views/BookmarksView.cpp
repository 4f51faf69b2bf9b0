#include "views/BookmarksView.h"

#include "app/AppViewModel.h"
#include "models/BookmarkEdits.h"
#include "views/BookmarkBucketBar.h"
#include "views/BookmarkDelegate.h"
#include "views/BookmarkEditorSheet.h"
#include "views/BookmarkListModel.h"
#include "views/ScreenHeader.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

BookmarksView::BookmarksView(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app), filterBucket_(BookmarkEdits::allBuckets) {
    setObjectName(QStringLiteral("bookmarks"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);

    header = new ScreenHeader(QStringLiteral("Bookmarks"), this);
    header->setStoppedCaption(QStringLiteral("Editing bookmarks.json (server stopped)"));
    QPushButton* addButton = header->addButton(QStringLiteral("Add"), QStringLiteral("plus"));
    addButton->setObjectName(QStringLiteral("add"));
    QToolButton* reloadButton = header->addReloadButton(QStringLiteral("Reload bookmarks"));
    reloadButton->setObjectName(QStringLiteral("reload"));
    column->addWidget(header);
    column->addWidget(caption(QStringLiteral("Assign a bucket (Baptism, Communion, …) and a color "
                                             "when editing. The iPad shows buckets as filter tabs "
                                             "and colors on the buttons."),
                              this));
    bucketBar_ = new BookmarkBucketBar(this);
    column->addWidget(bucketBar_);
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("error"));
    errorLabel->setWordWrap(true);
    errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTextTone(errorLabel, SemanticColors::Tone::red);
    column->addWidget(errorLabel);

    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("bookmarkList"));
    list_->setAccessibleName(QStringLiteral("Bookmarks"));
    model_ = new BookmarkListModel(app, this);
    list_->setModel(model_);
    delegate = new BookmarkDelegate(list_);
    list_->setItemDelegate(delegate);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setDropIndicatorShown(true);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    column->addWidget(list_, 1);
    // An empty list says what to do rather than show a blank box.
    emptyNote = caption(QStringLiteral("No bookmarks yet. Press Add to save a Bible reference "
                                       "for the iPad."),
                        list_->viewport());
    emptyNote->setObjectName(QStringLiteral("emptyNote"));
    emptyNote->setAlignment(Qt::AlignCenter);
    emptyNote->setWordWrap(false);
    // On the list's base the text role would be the primary ink.
    emptyNote->setForegroundRole(QPalette::WindowText);
    auto* overlay = new QVBoxLayout(list_->viewport());
    overlay->addWidget(emptyNote, 0, Qt::AlignCenter);

    connect(addButton, &QPushButton::clicked, this, &BookmarksView::add);
    connect(reloadButton, &QToolButton::clicked, this, [this] { this->app.reloadBookmarks(); });
    connect(bucketBar_, &BookmarkBucketBar::selected, this, &BookmarksView::setFilterBucket);
    connect(delegate, &BookmarkDelegate::actionTriggered, this, &BookmarksView::trigger);
    connect(model_, &BookmarkListModel::moveRequested, this, &BookmarksView::moveTo);
    // Return or a double click edits the row.
    connect(list_, &QListView::activated, this,
            [this](const QModelIndex& index) { trigger(BookmarkRowAction::edit, index); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &BookmarksView::placeRowActions);
    // A reset drops the current row without a word.
    connect(model_, &QAbstractItemModel::modelReset, this, &BookmarksView::placeRowActions);
    wasServerRunning = app.mirroredServerRunning();
    connect(&app, &AppViewModel::changed, this, &BookmarksView::render);
    render();
}

void BookmarksView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list on hand is drawn first; reading a large file waits for the
    // next turn of the event loop.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, [this] { app.reloadBookmarks(); });
}

void BookmarksView::render() {
    const bool running = app.mirroredServerRunning();
    header->setServerRunning(running);
    // Once no server answers, the file is the list: what was asked of the
    // server meanwhile (also during the launch-time restore) may have
    // failed and left nothing, which a save would then write over the file.
    if (wasServerRunning && !running) {
        wasServerRunning = false;
        app.reloadBookmarks();
    }
    wasServerRunning = running;
    const QStringList names = BookmarkEdits::bucketNames(app.bookmarks());
    if (!names.contains(filterBucket_))
        filterBucket_ = BookmarkEdits::allBuckets;
    bucketBar_->setBuckets(names, filterBucket_);
    bucketBar_->setVisible(names.size() >= 3);
    setIfChanged(errorLabel, app.bookmarksError().value_or(QString()));
    errorLabel->setVisible(app.bookmarksError().has_value());
    model_->refresh(filterBucket_);
    // Not when loading failed: the bookmarks may well exist.
    emptyNote->setVisible(model_->rowCount() == 0 && !app.bookmarksError());
    delegate->setSaving(isSaving());
    placeRowActions();
}

void BookmarksView::setFilterBucket(const QString& bucket) {
    if (bucket == filterBucket_)
        return;
    filterBucket_ = bucket;
    render();
}

void BookmarksView::add() {
    openEditor(BookmarkEdits::newBookmark(filterBucket_));
}

void BookmarksView::trigger(BookmarkRowAction action, const QModelIndex& index) {
    if (!index.isValid() || !delegate->isEnabled(index, action))
        return;
    const int position = index.data(BookmarkListModel::PositionRole).toInt();
    switch (action) {
    case BookmarkRowAction::moveUp:
        move(position, -1);
        break;
    case BookmarkRowAction::moveDown:
        move(position, +1);
        break;
    case BookmarkRowAction::edit:
        openEditor(app.bookmarks().at(size_t(position)));
        break;
    case BookmarkRowAction::remove:
        remove(index.data(BookmarkListModel::IdRole).toString());
        break;
    }
}

BookmarkEditorSheet* BookmarksView::editorSheet() const {
    // A closed sheet lingers until its deletion comes round.
    return sheet_ && sheet_->isVisible() ? sheet_.data() : nullptr;
}

void BookmarksView::openEditor(const Bookmark& bookmark) {
    if (editorSheet())
        return;
    editing_ = BookmarkEditItem{QUuid::createUuid(), bookmark};
    const QStringList known = BookmarkEdits::bucketNames(app.bookmarks()).mid(1);
    sheet_ = new BookmarkEditorSheet(
        bookmark, known,
        [self = QPointer<BookmarksView>(this)](Bookmark edited) {
            if (self)
                self->saveEdit(std::move(edited));
        },
        this);
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    // Cancel and Save both end this opening; a save still under way
    // then leaves a later opening alone.
    connect(sheet_, &QDialog::finished, this, [this, id = editing_->id] {
        if (editing_ && editing_->id == id)
            editing_.reset();
    });
    sheet_->open();
}

void BookmarksView::move(int position, int delta) {
    if (auto list = BookmarkEdits::moved(app.bookmarks(), position, delta))
        save(std::move(*list));
}

void BookmarksView::moveTo(int from, int before) {
    // A drop waits for the save before it, as the move buttons do.
    if (isSaving())
        return;
    if (auto list = BookmarkEdits::movedTo(app.bookmarks(), from, before))
        save(std::move(*list));
}

void BookmarksView::remove(const QString& id) {
    save(BookmarkEdits::without(app.bookmarks(), id));
}

void BookmarksView::placeRowActions() {
    const QModelIndex current = list_->currentIndex();
    if (actionsRow.isValid() && actionsRow != current)
        list_->closePersistentEditor(actionsRow);
    actionsRow = current;
    if (!current.isValid())
        return;
    if (!list_->isPersistentEditorOpen(current)) {
        list_->openPersistentEditor(current);
        // The keyboard reaches the row's buttons right after the list.
        if (auto* actions = qobject_cast<BookmarkRowActions*>(list_->indexWidget(current))) {
            QWidget* previous = list_;
            for (int i = 0; i < BookmarkRowActions::count; ++i) {
                QWidget* button = actions->button(BookmarkRowAction(i));
                QWidget::setTabOrder(previous, button);
                previous = button;
            }
        }
    }
    if (QWidget* actions = list_->indexWidget(current))
        delegate->setEditorData(actions, current);
}

QCoro::Task<> BookmarksView::save(std::vector<Bookmark> list) {
    QPointer<BookmarksView> self(this);
    auto task = app.saveBookmarks(std::move(list));
    // Written straight to the file, the save is already over.
    if (task.isReady())
        co_return;
    // The move buttons are about to be disabled; the keyboard stays on the row.
    if (QWidget* actions = list_->indexWidget(list_->currentIndex());
        actions && actions->isAncestorOf(QApplication::focusWidget()))
        list_->setFocus();
    ++savesUnderWay;
    render();
    co_await task;
    if (!self)
        co_return;
    --savesUnderWay;
    render();
}

QCoro::Task<> BookmarksView::saveEdit(Bookmark edited) {
    QPointer<BookmarksView> self(this);
    const QString id = BookmarkEdits::normalized(edited, app.bookmarks()).id;
    auto task = save(BookmarkEdits::withEdit(app.bookmarks(), edited));
    co_await task;
    if (!self)
        co_return;
    // The saved bookmark becomes the current row, when the filter shows it.
    const int row = model_->rowOf(id);
    if (row >= 0) {
        list_->setCurrentIndex(model_->index(row));
        list_->scrollTo(model_->index(row));
    }
}
