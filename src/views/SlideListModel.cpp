#include "views/SlideListModel.h"

#include "services/SlideFiles.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPixmapCache>

namespace {

// Cards draw at most this big (twice the card for sharp HiDPI screens); a
// slide exported at 4K is decoded straight to this size.
constexpr QSize thumbnailBound(2 * 220, 2 * 80);

QImage thumbnail(const QString& imageFile) {
    const auto path = SlideFiles::imagePath(imageFile);
    if (!path)
        return {};
    const QFileInfo info(*path);
    // A re-imported slide keeps its name; its time stamp tells the new image.
    const QString key =
        QStringLiteral("slide:%1:%2").arg(*path).arg(info.lastModified().toMSecsSinceEpoch());
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached.toImage();
    QImageReader reader(*path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(thumbnailBound, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (!image.isNull())
        QPixmapCache::insert(key, QPixmap::fromImage(image));
    return image;
}

} // namespace

void SlideListModel::setSlides(const std::vector<LessonSlide>& slides) {
    if (slides == slides_)
        return;
    const bool sameRows =
        slides.size() == slides_.size() &&
        std::equal(slides.begin(), slides.end(), slides_.begin(),
                   [](const LessonSlide& a, const LessonSlide& b) { return a.id == b.id; });
    if (!sameRows) {
        beginResetModel();
        slides_ = slides;
        endResetModel();
        return;
    }
    for (size_t row = 0; row < slides.size(); ++row) {
        if (slides_[row] != slides[row]) {
            slides_[row] = slides[row];
            const QModelIndex changed = index(int(row));
            Q_EMIT dataChanged(changed, changed);
        }
    }
}

int SlideListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(slides_.size());
}

QVariant SlideListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(slides_.size()))
        return {};
    const LessonSlide& slide = slides_[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return slide.label;
    case Qt::AccessibleTextRole:
        return slide.label.isEmpty() ? slide.id : slide.label;
    case Qt::ToolTipRole:
        return slide.imageFile;
    case slideIdRole:
        return slide.id;
    case thumbnailRole:
        return thumbnail(slide.imageFile);
    default:
        return {};
    }
}

bool SlideListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= int(slides_.size()))
        return false;
    const LessonSlide& slide = slides_[size_t(index.row())];
    if (value.toString() != slide.label)
        Q_EMIT labelEdited(slide.id, value.toString());
    return true;
}

Qt::ItemFlags SlideListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
