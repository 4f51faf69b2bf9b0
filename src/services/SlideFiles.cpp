#include "services/SlideFiles.h"

#include "services/ApplicationSupport.h"

#include <QDir>
#include <QFile>
#include <filesystem>

namespace SlideFiles {

QString directory() {
    return ApplicationSupport::path(QStringLiteral("media/slides"));
}

std::optional<QString> makeDirectory() {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(directory().toStdString()), error);
    if (!error)
        return std::nullopt;
    return directory() + QStringLiteral(": ") + QString::fromStdString(error.message());
}

std::optional<QString> imagePath(const QString& imageFile) {
    if (imageFile.isEmpty() || imageFile == u'.' || imageFile == QStringLiteral("..") ||
        imageFile.contains(u'/') || imageFile.contains(u'\\') || imageFile.contains(QChar(0)))
        return std::nullopt;
    return QDir(directory()).filePath(imageFile);
}

void removeImage(const QString& imageFile) {
    if (const auto path = imagePath(imageFile))
        QFile::remove(*path);
}

} // namespace SlideFiles
