#pragma once

#include "models/PlaylistsConfig.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <qcoro/qcorotask.h>

class AppViewModel;
class PlaylistItemsModel;
class PlaylistsSaveQueue;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class ScreenHeader;
class SlideGridView;
class SlideListModel;

// The Playlists screen: the library of lesson slides (imported images and PDF
// decks) and the Sunday playlists built from bookmarks, Bible references and
// slides. Every change is a new copy of the playlists document, saved whole
// through the model (the server while it runs, else "playlists.json").
class PlaylistsView : public QWidget {
    Q_OBJECT

public:
    explicit PlaylistsView(AppViewModel& app, QWidget* parent = nullptr);

    // The import after the open panel: images are copied, PDF pages drawn.
    void importImages(const QStringList& paths);
    void deleteSlide(const QString& slideId);
    void selectPlaylist(const QString& id);
    void createPlaylist();
    void deleteSelectedPlaylist();
    void addBookmarkItem(const QString& bookmarkId);
    void addSlideItem(const QString& slideId);
    void moveItem(int row, int delta);
    void removeItem(const QString& itemId);

    const std::optional<QString>& selectedPlaylistId() const { return selectedPlaylistId_; }
    bool isSaving() const;
    PlaylistItemsModel* itemsModel() const { return items; }
    QListView* itemsView() const { return itemList; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSlidesBox();
    QWidget* buildPlaylistsBox();
    QWidget* buildPlaylistEditor(QWidget* parent);
    QMenu* buildAddMenu();

    void render();
    void renderSlides(const PlaylistsConfig& document);
    void renderPlaylists(const PlaylistsConfig& document);
    void renderItems(const Playlist& playlist, const std::vector<LessonSlide>& slideList);

    // Edits a copy of the document and saves it when `edit` changed it.
    template <typename Edit> void change(Edit edit);
    QString editedPlaylistId() const;
    void chooseImages();
    void askForReference();
    QCoro::Task<> reload(bool selectFirst);

    AppViewModel& app;
    PlaylistsSaveQueue* saves;
    std::optional<QString> selectedPlaylistId_;

    ScreenHeader* header = nullptr;
    QLabel* error = nullptr;
    QLabel* noSlides = nullptr;
    SlideListModel* slides = nullptr;
    SlideGridView* slideGrid = nullptr;
    QComboBox* picker = nullptr;
    QPushButton* renameButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QLabel* noPlaylist = nullptr;
    QWidget* editor = nullptr;
    QLineEdit* nameField = nullptr;
    QPushButton* addButton = nullptr;
    QMenu* bookmarkMenu = nullptr;
    QMenu* slideMenu = nullptr;
    QLabel* emptyPlaylist = nullptr;
    PlaylistItemsModel* items = nullptr;
    QListView* itemList = nullptr;
};
