#include "services/RuntimeRollback.h"

#include "services/ApplicationSupport.h"
#include "services/ProjectPaths.h"

#include <QDir>
#include <QFileInfo>

namespace RuntimeRollback {

namespace {

QString runtimePath(const char* name) {
    return ApplicationSupport::path(QStringLiteral("runtime/") + QLatin1String(name));
}

} // namespace

std::optional<QString> previousVersion() {
    const ProjectPaths previous{runtimePath("previous")};
    if (!previous.hasServerBuild())
        return std::nullopt;
    return previous.runtimeVersionLabel();
}

VoidResult rollBack() {
    const QString current = runtimePath("current");
    const QString previous = runtimePath("previous");
    // Renamed first, so that runtime/current is gone at once even when the
    // removal of the discarded tree fails half-way.
    const QString discarded = runtimePath("discarded");
    QDir(discarded).removeRecursively();
    if (QFileInfo::exists(current) && !QDir().rename(current, discarded))
        return VoidResult::failure(QStringLiteral("Could not move ") + current +
                                   QStringLiteral(" aside"));
    QDir(discarded).removeRecursively();
    if (ProjectPaths::isRuntimeRoot(previous) && !QDir().rename(previous, current))
        return VoidResult::failure(QStringLiteral("Could not move ") + previous +
                                   QStringLiteral(" back into place"));
    return VoidResult::success();
}

} // namespace RuntimeRollback
