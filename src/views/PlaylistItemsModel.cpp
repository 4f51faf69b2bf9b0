#include "views/PlaylistItemsModel.h"

#include <algorithm>

namespace {

bool sameIds(std::vector<PlaylistItemsModel::Row>::const_iterator first,
             std::vector<PlaylistItemsModel::Row>::const_iterator last,
             std::vector<PlaylistItemsModel::Row>::const_iterator other) {
    return std::equal(first, last, other,
                      [](const auto& a, const auto& b) { return a.id == b.id; });
}

} // namespace

void PlaylistItemsModel::setRows(const QString& playlistId, std::vector<Row> rows) {
    if (playlistId == playlistId_ && rows == rows_)
        return;
    if (playlistId == playlistId_ &&
        (applyAsAppend(rows) || applyAsRemoval(rows) || applyAsMove(rows))) {
        relabel(rows);
        return;
    }
    beginResetModel();
    playlistId_ = playlistId;
    rows_ = std::move(rows);
    endResetModel();
}

bool PlaylistItemsModel::applyAsAppend(std::vector<Row>& rows) {
    if (rows.size() <= rows_.size() || !sameIds(rows_.begin(), rows_.end(), rows.begin()))
        return false;
    beginInsertRows({}, int(rows_.size()), int(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin() + qsizetype(rows_.size()), rows.end());
    endInsertRows();
    return true;
}

bool PlaylistItemsModel::applyAsRemoval(std::vector<Row>& rows) {
    if (rows.size() + 1 != rows_.size())
        return false;
    const auto differs = std::mismatch(rows.begin(), rows.end(), rows_.begin(),
                                       [](const Row& a, const Row& b) { return a.id == b.id; });
    const int removed = int(differs.second - rows_.begin());
    if (!sameIds(differs.first, rows.end(), differs.second + 1))
        return false;
    beginRemoveRows({}, removed, removed);
    rows_.erase(rows_.begin() + removed);
    endRemoveRows();
    return true;
}

bool PlaylistItemsModel::applyAsMove(std::vector<Row>& rows) {
    if (rows.size() != rows_.size())
        return false;
    const auto first = std::mismatch(rows.begin(), rows.end(), rows_.begin(),
                                     [](const Row& a, const Row& b) { return a.id == b.id; });
    if (first.first == rows.end())
        return false;
    const int start = int(first.first - rows.begin());
    int end = int(rows.size()) - 1;
    while (rows[size_t(end)].id == rows_[size_t(end)].id)
        --end;
    const auto oldBegin = rows_.begin() + start;
    const auto newBegin = rows.begin() + start;
    const int span = end - start;
    // Down: the first row went to the end of the span; up: the last to its start.
    if (rows_[size_t(start)].id == rows[size_t(end)].id &&
        sameIds(oldBegin + 1, oldBegin + span + 1, newBegin)) {
        beginMoveRows({}, start, start, {}, end + 1);
        std::rotate(oldBegin, oldBegin + 1, oldBegin + span + 1);
    } else if (rows_[size_t(end)].id == rows[size_t(start)].id &&
               sameIds(oldBegin, oldBegin + span, newBegin + 1)) {
        beginMoveRows({}, end, end, {}, start);
        std::rotate(oldBegin, oldBegin + span, oldBegin + span + 1);
    } else {
        return false;
    }
    endMoveRows();
    return true;
}

void PlaylistItemsModel::relabel(std::vector<Row>& rows) {
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows_[row].label != rows[row].label) {
            rows_[row].label = std::move(rows[row].label);
            const QModelIndex changed = index(int(row));
            Q_EMIT dataChanged(changed, changed);
        }
    }
}

int PlaylistItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant PlaylistItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return row.label;
    case itemIdRole:
        return row.id;
    default:
        return {};
    }
}

Qt::ItemFlags PlaylistItemsModel::flags(const QModelIndex& index) const {
    // Drops land between rows, never on one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions PlaylistItemsModel::supportedDropActions() const {
    return Qt::MoveAction;
}

bool PlaylistItemsModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                                  const QModelIndex& destinationParent, int destinationChild) {
    const int size = int(rows_.size());
    if (sourceParent.isValid() || destinationParent.isValid() || count != 1 || sourceRow < 0 ||
        sourceRow >= size || destinationChild < 0 || destinationChild > size)
        return false;
    // `destinationChild` counts the rows as they are before the move.
    const int to = destinationChild > sourceRow ? destinationChild - 1 : destinationChild;
    if (to != sourceRow)
        Q_EMIT moveRequested(sourceRow, to);
    return true;
}
