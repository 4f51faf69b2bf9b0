#pragma once

#include "models/Theme.h"

#include <QAbstractListModel>
#include <optional>
#include <vector>

// The rows of the Themes screen's "Installed themes": one per theme in list
// order, with its name (display role), "id · layout" and whether the output
// shows it right now.
class ThemeListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { detailRole = Qt::UserRole + 1, liveRole };

    explicit ThemeListModel(QObject* parent = nullptr);

    // Shows `themes`, the one named `liveThemeId` marked live. A list that
    // did not change keeps its rows, so that the view keeps its place when
    // only the live theme moved.
    void setThemes(const std::vector<Theme>& themes, const std::optional<QString>& liveThemeId);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    bool isLive(int row) const;

    std::vector<Theme> themes_;
    std::optional<QString> liveThemeId_;
};
