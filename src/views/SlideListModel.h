#pragma once

#include "models/LessonSlide.h"

#include <QAbstractListModel>
#include <vector>

// The lesson slides as cards: the label (editable), the slide's id and its
// thumbnail. An edited label is not stored here: it is asked for through
// labelEdited and comes back with the saved document.
class SlideListModel : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int slideIdRole = Qt::UserRole + 1;
    // The thumbnail as a QImage; null when the file is missing, unreadable
    // or not a safe name inside the slides folder.
    static constexpr int thumbnailRole = Qt::UserRole + 2;

    using QAbstractListModel::QAbstractListModel;

    void setSlides(const std::vector<LessonSlide>& slides);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    void labelEdited(const QString& slideId, const QString& label);

private:
    std::vector<LessonSlide> slides_;
};
