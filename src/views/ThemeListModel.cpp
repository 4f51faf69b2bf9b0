#include "views/ThemeListModel.h"

ThemeListModel::ThemeListModel(QObject* parent) : QAbstractListModel(parent) {}

void ThemeListModel::setThemes(const std::vector<Theme>& themes,
                               const std::optional<QString>& liveThemeId) {
    if (themes != themes_) {
        beginResetModel();
        themes_ = themes;
        liveThemeId_ = liveThemeId;
        endResetModel();
        return;
    }
    if (liveThemeId == liveThemeId_)
        return;
    std::vector<bool> wasLive;
    for (int row = 0; row < rowCount(); ++row)
        wasLive.push_back(isLive(row));
    liveThemeId_ = liveThemeId;
    for (int row = 0; row < rowCount(); ++row)
        if (isLive(row) != wasLive[size_t(row)])
            Q_EMIT dataChanged(index(row), index(row),
                               {liveRole, Qt::AccessibleTextRole, Qt::AccessibleDescriptionRole});
}

int ThemeListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(themes_.size());
}

bool ThemeListModel::isLive(int row) const {
    return liveThemeId_ && themes_[size_t(row)].id == *liveThemeId_;
}

QVariant ThemeListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Theme& theme = themes_[size_t(index.row())];
    const QString detail = theme.id + QStringLiteral(" · ") + theme.layout;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return theme.name;
    case detailRole:
        return detail;
    case liveRole:
        return isLive(index.row());
    case Qt::AccessibleDescriptionRole:
        // What the row shows beside the name, for a screen reader.
        return isLive(index.row()) ? detail + QStringLiteral(", Live") : detail;
    default:
        return {};
    }
}
