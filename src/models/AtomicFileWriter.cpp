#include "models/AtomicFileWriter.h"

#include <QFile>
#include <QSaveFile>
#include <optional>

namespace AtomicFileWriter {

namespace {

VoidResult failure(const QString& path, const QString& reason) {
    return VoidResult::failure(QStringLiteral("%1: %2").arg(path, reason));
}

VoidResult writeWithMode(const QString& path, const QByteArray& bytes,
                         std::optional<QFileDevice::Permissions> permissions) {
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is the partial
    // write this exists to prevent.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    // The temporary file starts with the old file's mode (or the umask's),
    // so it is narrowed before anything is written into it.
    if (permissions && !file.setPermissions(*permissions)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
    if (!file.commit())
        return failure(path, file.errorString());
    return VoidResult::success();
}

} // namespace

VoidResult write(const QString& path, const QByteArray& bytes) {
    return writeWithMode(path, bytes, std::nullopt);
}

VoidResult writePrivate(const QString& path, const QByteArray& bytes) {
    return writeWithMode(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

VoidResult copy(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return VoidResult::failure(QStringLiteral("%1: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return failure(target, out.errorString());
    constexpr qint64 chunkSize = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(chunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return VoidResult::failure(QStringLiteral("%1: %2").arg(source, in.errorString()));
        }
        if (out.write(chunk) != chunk.size()) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return failure(target, reason);
        }
    }
    if (!out.commit())
        return failure(target, out.errorString());
    return VoidResult::success();
}

} // namespace AtomicFileWriter
