#include "services/ArchiveExtractor.h"

#include <QDir>
#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <sys/stat.h>

namespace ArchiveExtractor {

namespace {

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;
using Writer = std::unique_ptr<archive, decltype(&archive_write_free)>;

QString text(const char* utf8) {
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

// A relative path that stays below its starting point, however it is
// resolved: no leading "/", no ".." component.
bool staysInside(const QString& path) {
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    const QStringList parts = path.split('/');
    return !parts.contains(QStringLiteral(".."));
}

// A symbolic link's target resolved against the link's own folder, both
// relative to the destination; false once it climbs above it.
bool linkStaysInside(const QString& entryPath, const QString& target) {
    if (target.isEmpty() || target.startsWith('/'))
        return false;
    QStringList resolved = entryPath.split('/', Qt::SkipEmptyParts);
    resolved.removeAll(QStringLiteral("."));
    if (!resolved.isEmpty())
        resolved.removeLast();
    for (const QString& part : target.split('/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (resolved.isEmpty())
                return false;
            resolved.removeLast();
        } else {
            resolved << part;
        }
    }
    return true;
}

std::optional<QString> refusal(archive_entry* entry) {
    const QString path = text(archive_entry_pathname_utf8(entry));
    if (!staysInside(path))
        return QStringLiteral("entry outside the folder: ") + path;
    // A hard link names another entry of the archive, by its path.
    if (const char* hardlink = archive_entry_hardlink_utf8(entry)) {
        if (!staysInside(text(hardlink)))
            return QStringLiteral("hard link pointing outside the folder: ") + path;
        return std::nullopt;
    }
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
    case AE_IFDIR:
        return std::nullopt;
    case AE_IFLNK:
        if (!linkStaysInside(path, text(archive_entry_symlink_utf8(entry))))
            return QStringLiteral("link pointing outside the folder: ") + path;
        return std::nullopt;
    default:
        return QStringLiteral("not a file, folder or link: ") + path;
    }
}

// Copies one entry's data; false with the writer's error on failure.
bool copyData(archive* in, archive* out, qint64& unpacked) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(in, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return true;
        if (status != ARCHIVE_OK)
            return false;
        unpacked += qint64(size);
        if (unpacked > maxUnpackedBytes)
            return false;
        if (archive_write_data_block(out, block, size, offset) != ARCHIVE_OK)
            return false;
    }
}

} // namespace

VoidResult extract(const QString& archivePath, const QString& destination) {
    Reader in(archive_read_new(), &archive_read_free);
    archive_read_support_filter_gzip(in.get());
    archive_read_support_format_tar(in.get());
    Writer out(archive_write_disk_new(), &archive_write_free);
    // A second line behind the checks above: never write through a link,
    // never follow "..", and no owners or set-id bits from the archive.
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM |
                                                  ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                  ARCHIVE_EXTRACT_SECURE_NODOTDOT);
    if (archive_read_open_filename(in.get(), QFile::encodeName(archivePath).constData(),
                                   64 * 1024) != ARCHIVE_OK)
        return VoidResult::failure(text(archive_error_string(in.get())));

    const QString root = QDir::cleanPath(QDir(destination).absolutePath());
    qint64 unpacked = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(in.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return VoidResult::failure(text(archive_error_string(in.get())));
        if (const auto reason = refusal(entry))
            return VoidResult::failure(*reason);
        const QString path = text(archive_entry_pathname_utf8(entry));
        archive_entry_set_pathname_utf8(entry, (root + '/' + path).toUtf8().constData());
        if (const char* hardlink = archive_entry_hardlink_utf8(entry))
            archive_entry_set_hardlink_utf8(entry,
                                            (root + '/' + text(hardlink)).toUtf8().constData());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0755);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK ||
            (archive_entry_size(entry) > 0 && !copyData(in.get(), out.get(), unpacked)) ||
            archive_write_finish_entry(out.get()) != ARCHIVE_OK) {
            const QString reason = text(archive_error_string(out.get()));
            return VoidResult::failure(
                path + QStringLiteral(": ") +
                (reason.isEmpty() ? text(archive_error_string(in.get())) : reason));
        }
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return VoidResult::failure(text(archive_error_string(out.get())));
    return VoidResult::success();
}

} // namespace ArchiveExtractor
