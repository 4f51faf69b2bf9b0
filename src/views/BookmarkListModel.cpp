#include "views/BookmarkListModel.h"

#include "app/AppViewModel.h"
#include "models/BookmarkEdits.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QMimeData>
#include <optional>

namespace {

bool hasBucket(const Bookmark& bookmark) {
    return !bookmark.bucket.value_or(QString()).trimmed().isEmpty();
}

} // namespace

BookmarkListModel::BookmarkListModel(const AppViewModel& app, QObject* parent)
    : QAbstractListModel(parent), app(app) {}

std::vector<BookmarkListModel::Row> BookmarkListModel::rowsFor(const QString& filterBucket) const {
    const std::vector<Bookmark>& list = app.bookmarks();
    const int last = int(list.size()) - 1;
    std::vector<Row> rows;
    for (const int position : BookmarkEdits::visiblePositions(list, filterBucket)) {
        const Bookmark& b = list[size_t(position)];
        const size_t look =
            qHashMulti(0, b.label, b.book, b.chapter, b.verseStart, b.verseEnd.value_or(-1),
                       b.bucket.value_or(QString()), b.color.value_or(QString()), position == 0,
                       position == last);
        rows.push_back(Row{position, b.id, look});
    }
    return rows;
}

void BookmarkListModel::refresh(const QString& filterBucket) {
    std::vector<Row> rows = rowsFor(filterBucket);
    const int oldCount = int(rows_.size());
    const int newCount = int(rows.size());
    const int shorter = std::min(oldCount, newCount);
    int prefix = 0;
    while (prefix < shorter && rows_[size_t(prefix)].id == rows[size_t(prefix)].id)
        ++prefix;
    int suffix = 0;
    while (suffix < shorter - prefix &&
           rows_[size_t(oldCount - 1 - suffix)].id == rows[size_t(newCount - 1 - suffix)].id)
        ++suffix;
    const int oldMiddle = oldCount - prefix - suffix;
    const int newMiddle = newCount - prefix - suffix;

    const std::vector<Row> before = rows_;
    if (oldMiddle == 0 && newMiddle > 0) {
        beginInsertRows(QModelIndex(), prefix, prefix + newMiddle - 1);
        rows_ = std::move(rows);
        endInsertRows();
    } else if (oldMiddle > 0 && newMiddle == 0) {
        beginRemoveRows(QModelIndex(), prefix, prefix + oldMiddle - 1);
        rows_ = std::move(rows);
        endRemoveRows();
    } else if (oldMiddle > 0) {
        reorder(std::move(rows), prefix, prefix + oldMiddle - 1);
        return;
    } else {
        rows_ = std::move(rows);
    }
    repaintChanged(before);
}

// Rows first…last hold other bookmarks than before: when they are the same
// ones in another order (a move or a drag) the view's selection follows
// them; otherwise the rows start afresh.
void BookmarkListModel::reorder(std::vector<Row> rows, int first, int last) {
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    QHash<QString, std::vector<int>> rowsOfId;
    for (int row = last; row >= first; --row)
        rowsOfId[rows[size_t(row)].id].push_back(row);
    std::vector<int> target(rows_.size());
    for (int row = 0; row < int(rows_.size()); ++row)
        target[size_t(row)] = row;
    for (int row = first; row <= last; ++row) {
        std::vector<int>& candidates = rowsOfId[rows_[size_t(row)].id];
        if (candidates.empty()) {
            beginResetModel();
            rows_ = std::move(rows);
            endResetModel();
            return;
        }
        target[size_t(row)] = candidates.back();
        candidates.pop_back();
    }
    const std::vector<Row> before = rows_;
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to.append(index.isValid() ? createIndex(target[size_t(index.row())], 0) : index);
    changePersistentIndexList(from, to);
    rows_ = std::move(rows);
    Q_EMIT layoutChanged();
    // Moved rows are painted afresh by the layout change; the others may
    // have changed in place.
    std::vector<Row> unmoved = rows_;
    for (int row = first; row <= last; ++row)
        unmoved[size_t(target[size_t(row)])].look = before[size_t(row)].look;
    repaintChanged(unmoved);
}

// `before` is aligned with the rows where the ids match; only rows with the
// same id whose look differs are repainted, in runs.
void BookmarkListModel::repaintChanged(const std::vector<Row>& before) {
    std::vector<std::optional<size_t>> previous(rows_.size());
    const size_t shorter = std::min(before.size(), rows_.size());
    for (size_t row = 0; row < shorter && before[row].id == rows_[row].id; ++row)
        previous[row] = before[row].look;
    for (size_t back = 1; back <= shorter; ++back) {
        const Row& old = before[before.size() - back];
        if (old.id != rows_[rows_.size() - back].id)
            break;
        previous[rows_.size() - back] = old.look;
    }
    int runStart = -1;
    for (int row = 0; row <= int(rows_.size()); ++row) {
        const bool changed = row < int(rows_.size()) && previous[size_t(row)] &&
                             *previous[size_t(row)] != rows_[size_t(row)].look;
        if (changed && runStart < 0)
            runStart = row;
        if (!changed && runStart >= 0) {
            Q_EMIT dataChanged(index(runStart), index(row - 1));
            runStart = -1;
        }
    }
}

int BookmarkListModel::rowOf(const QString& id) const {
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row].id == id)
            return int(row);
    return -1;
}

int BookmarkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant BookmarkListModel::data(const QModelIndex& index, int role) const {
    const std::vector<Bookmark>& list = app.bookmarks();
    if (!index.isValid() || size_t(index.row()) >= rows_.size())
        return {};
    const int position = rows_[size_t(index.row())].position;
    if (size_t(position) >= list.size())
        return {};
    const Bookmark& bookmark = list[size_t(position)];
    switch (role) {
    case Qt::DisplayRole:
        return bookmark.label;
    case Qt::AccessibleTextRole: {
        QStringList parts{bookmark.label};
        if (hasBucket(bookmark))
            parts.append(*bookmark.bucket);
        parts.append(BookmarkEdits::reference(bookmark));
        return parts.join(QStringLiteral(", "));
    }
    case PositionRole:
        return position;
    case IdRole:
        return bookmark.id;
    case BucketRole:
        return hasBucket(bookmark) ? QVariant(*bookmark.bucket) : QVariant();
    case ReferenceRole:
        return BookmarkEdits::reference(bookmark);
    case ColorRole:
        return bookmark.color ? QVariant(*bookmark.color) : QVariant();
    case CanMoveUpRole:
        return position > 0;
    case CanMoveDownRole:
        return size_t(position) + 1 < list.size();
    default:
        return {};
    }
}

Qt::ItemFlags BookmarkListModel::flags(const QModelIndex& index) const {
    // Rows take drops between them, not onto themselves.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

Qt::DropActions BookmarkListModel::supportedDragActions() const {
    return Qt::MoveAction;
}

Qt::DropActions BookmarkListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList BookmarkListModel::mimeTypes() const {
    return {mimeType};
}

QMimeData* BookmarkListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1 || !indexes.first().isValid())
        return nullptr;
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    stream << indexes.first().data(PositionRole).toInt() << indexes.first().data(IdRole).toString();
    auto* mime = new QMimeData;
    mime->setData(mimeType, encoded);
    return mime;
}

std::optional<int> BookmarkListModel::draggedPosition(const QMimeData* data) const {
    if (!data || !data->hasFormat(mimeType))
        return std::nullopt;
    QDataStream stream(data->data(mimeType));
    int position = -1;
    QString id;
    stream >> position >> id;
    // A reload during the drag may have moved or removed it.
    const std::vector<Bookmark>& list = app.bookmarks();
    if (stream.status() != QDataStream::Ok || position < 0 || size_t(position) >= list.size() ||
        list[size_t(position)].id != id)
        return std::nullopt;
    return position;
}

bool BookmarkListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                        const QModelIndex&) const {
    return action == Qt::MoveAction && draggedPosition(data).has_value();
}

bool BookmarkListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                     const QModelIndex& parent) {
    const std::optional<int> from = draggedPosition(data);
    if (action != Qt::MoveAction || !from || rows_.empty())
        return false;
    // Dropped onto a row: in its place; below the last row: after it.
    if (parent.isValid())
        row = parent.row();
    if (row < 0 || row > int(rows_.size()))
        row = int(rows_.size());
    const int before =
        row < int(rows_.size()) ? rows_[size_t(row)].position : rows_.back().position + 1;
    Q_EMIT moveRequested(*from, before);
    return true;
}
