#include "services/StartPreflight.h"

#include "services/BundleRuntime.h"

namespace StartPreflight {

std::optional<QString> problem(const ProjectPaths& paths, const BundleRepair::LogSink& log) {
    const auto repair = BundleRepair::ensureBundleReady(paths.runtimeRoot, log);
    log(QStringLiteral("Server cwd: ") + paths.runtimeRoot);
    log(QStringLiteral("package.json type=module: ") +
        (repair.hasTypeModule ? QStringLiteral("true") : QStringLiteral("false")) +
        QStringLiteral(" (") + paths.runtimeRoot + QStringLiteral("/package.json)"));
    if (!repair.hasTypeModule)
        return repair.message;
    const bool selfContained = BundleRuntime::isSelfContained();
    if (!paths.hasServerBuild())
        return selfContained
                   ? QStringLiteral("Bundled server files are missing. Reinstall the Vesperline "
                                    "package, or run make stage in the project folder to rebuild.")
                   : QStringLiteral("Server build not found. Run make stage in the project "
                                    "folder, or use a release build of the app.");
    if (!paths.hasBibleDatabase())
        return QStringLiteral("Bible database not found. Run Import Bible in Settings (dev) or "
                              "reinstall the release app.");
    if (selfContained && !paths.hasServerDependencies())
        return QStringLiteral("Server dependencies are missing (node_modules). Reinstall the "
                              "Vesperline package, or run make stage in the project folder.");
    return std::nullopt;
}

} // namespace StartPreflight
