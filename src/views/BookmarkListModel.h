#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

class AppViewModel;

// The bookmarks a filter shows, one row each, read from the model's list as
// it is (nothing of it is kept here but which positions are shown). refresh()
// brings the rows up to date with as small a change as it can find, so that
// the view keeps its selection and scroll position across saves and reloads.
//
// Dragging a row onto another place asks for a move through moveRequested();
// the rows change only once the saved list is published.
class BookmarkListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // Position in the full list.
        PositionRole = Qt::UserRole + 1,
        IdRole,
        // The untrimmed bucket text; absent when it is blank.
        BucketRole,
        // "John 3:16–18".
        ReferenceRole,
        // The colour name as stored, absent for none.
        ColorRole,
        // False for the first (last) of the whole list.
        CanMoveUpRole,
        CanMoveDownRole,
    };

    static inline const QString mimeType = QStringLiteral("application/x-vesperline-bookmark");

    explicit BookmarkListModel(const AppViewModel& app, QObject* parent = nullptr);

    void refresh(const QString& filterBucket);
    // The row showing the first bookmark with `id`, or -1.
    int rowOf(const QString& id) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

Q_SIGNALS:
    // Move the bookmark at `from` to just before the one at `before` (the
    // end of the list when it equals the count), both in the full list.
    void moveRequested(int from, int before);

private:
    struct Row {
        int position;
        QString id;
        // Of everything a row shows, to repaint only the rows that changed.
        size_t look;
    };

    std::vector<Row> rowsFor(const QString& filterBucket) const;
    void reorder(std::vector<Row> rows, int first, int last);
    void repaintChanged(const std::vector<Row>& before);
    // The dragged bookmark's position, when it is still where the drag began.
    std::optional<int> draggedPosition(const QMimeData* data) const;

    const AppViewModel& app;
    std::vector<Row> rows_;
};
