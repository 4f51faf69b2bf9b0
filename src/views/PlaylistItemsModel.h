#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

// The rows of the playlist being edited, by item id and row label. A new
// set of rows is applied as the change it is (rows added at the end, one row
// removed, one row moved, labels changed), so the view keeps its selection
// and scroll position and repaints only what moved; anything else resets.
// Rows are moved by dragging, which asks for the move through moveRequested
// and leaves the rows as they are until the saved playlist comes back.
class PlaylistItemsModel : public QAbstractListModel {
    Q_OBJECT

public:
    struct Row {
        QString id;
        QString label;
        bool operator==(const Row&) const = default;
    };

    static constexpr int itemIdRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    void setRows(const QString& playlistId, std::vector<Row> rows);
    const QString& playlistId() const { return playlistId_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                  const QModelIndex& destinationParent, int destinationChild) override;

Q_SIGNALS:
    // The item at `from` is to end at `to`.
    void moveRequested(int from, int to);

private:
    bool applyAsAppend(std::vector<Row>& rows);
    bool applyAsRemoval(std::vector<Row>& rows);
    bool applyAsMove(std::vector<Row>& rows);
    void relabel(std::vector<Row>& rows);

    QString playlistId_;
    std::vector<Row> rows_;
};
