#pragma once

#include "models/Bookmark.h"
#include "views/BookmarkEditorSheet.h"
#include "views/BookmarkRowActions.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <optional>
#include <qcoro/qcorotask.h>
#include <vector>

class AppViewModel;
class BookmarkBucketBar;
class BookmarkDelegate;

class BookmarkListModel;
class QLabel;
class QListView;
class QPushButton;
class ScreenHeader;

// One opening of the editor: a fresh id each time, and a copy of the
// bookmark it started from.
struct BookmarkEditItem {
    QUuid id;
    Bookmark bookmark;
};

// The church's saved references: filtered by bucket, reordered, edited and
// deleted. Every change saves a new full list through the model (the
// server's API while it runs, bookmarks.json while it is stopped); the screen
// keeps only its filter and whether its own save is under way.
class BookmarksView : public QWidget {
    Q_OBJECT

public:
    explicit BookmarksView(AppViewModel& app, QWidget* parent = nullptr);

    const QString& filterBucket() const { return filterBucket_; }
    // A save started here is under way; moves wait for it.
    bool isSaving() const { return savesUnderWay > 0; }
    const std::optional<BookmarkEditItem>& editing() const { return editing_; }
    // The editor while it is open.
    BookmarkEditorSheet* editorSheet() const;
    QListView* list() const { return list_; }
    BookmarkListModel* listModel() const { return model_; }
    BookmarkBucketBar* bucketBar() const { return bucketBar_; }

    void setFilterBucket(const QString& bucket);
    // Opens the editor on a new bookmark in the filtered bucket.
    void add();
    // The row's action, as its button does it.
    void trigger(BookmarkRowAction action, const QModelIndex& index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void render();
    void openEditor(const Bookmark& bookmark);
    void move(int position, int delta);
    void moveTo(int from, int before);
    void remove(const QString& id);
    // The current row, and only it, shows its actions as real buttons.
    void placeRowActions();
    QCoro::Task<> save(std::vector<Bookmark> list);
    QCoro::Task<> saveEdit(Bookmark edited);

    AppViewModel& app;
    QString filterBucket_;
    int savesUnderWay = 0;
    bool wasServerRunning = false;
    std::optional<BookmarkEditItem> editing_;
    QPointer<BookmarkEditorSheet> sheet_;
    QPersistentModelIndex actionsRow;

    ScreenHeader* header = nullptr;
    BookmarkBucketBar* bucketBar_ = nullptr;
    QLabel* errorLabel = nullptr;
    QLabel* emptyNote = nullptr;
    QListView* list_ = nullptr;
    BookmarkListModel* model_ = nullptr;
    BookmarkDelegate* delegate = nullptr;
};
