#include "services/BundleRepair.h"

#include "models/AtomicFileWriter.h"
#include "services/ProjectPaths.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

namespace BundleRepair {

namespace {

namespace fs = std::filesystem;

const QStringList runtimeDependencies{QStringLiteral("bindings"),
                                      QStringLiteral("file-uri-to-path")};

void say(const LogSink& log, const QString& line) {
    if (log)
        log(line);
}

std::optional<QString> makeDirectory(const QString& dir) {
    std::error_code ec;
    fs::create_directories(fs::path(dir.toStdString()), ec);
    if (ec)
        return QString::fromStdString(ec.message());
    return std::nullopt;
}

QStringList serverManifestSources(const BundleLayout& layout) {
    QStringList sources;
    if (const auto dev = ProjectPaths::detectDevProjectRoot(layout))
        sources << *dev + "/apps/server/package.json";
    if (layout.resourceDir) {
        sources << *layout.resourceDir + "/project/apps/server/package.json"
                << *layout.resourceDir + "/Resources/project/apps/server/package.json";
    }
    return sources;
}

// Copies a package folder next to its destination first and renames it into
// place, so an interrupted copy never leaves half a package that looks installed.
std::optional<QString> copyPackage(const QString& from, const QString& to) {
    std::error_code ec;
    const fs::path target(to.toStdString());
    fs::create_directories(target.parent_path(), ec);
    if (ec)
        return QString::fromStdString(ec.message());
    const fs::path staging =
        target.parent_path() /
        (".incoming-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString());
    fs::copy(fs::path(from.toStdString()), staging, fs::copy_options::recursive, ec);
    if (!ec) {
        fs::remove_all(target, ec);
        if (!ec)
            fs::rename(staging, target, ec);
    }
    if (ec) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        return QString::fromStdString(ec.message());
    }
    return std::nullopt;
}

} // namespace

QByteArray rootManifest() {
    return "{\n  \"name\": \"vesperline-bundle\",\n  \"private\": true,\n  \"type\": "
           "\"module\"\n}\n";
}

QByteArray serverManifest() {
    return "{\n  \"name\": \"@vesperline/server\",\n  \"private\": true,\n  \"type\": "
           "\"module\"\n}\n";
}

bool packageJsonHasTypeModule(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const auto document = nlohmann::json::parse(f.readAll().toStdString(), nullptr, false);
    if (!document.is_object())
        return false;
    const auto type = document.find("type");
    return type != document.end() && type->is_string() && type->get<std::string>() == "module";
}

Result ensureBundleReady(const QString& runtimeRoot, const LogSink& log,
                         const BundleLayout& layout) {
    if (!ProjectPaths::isRuntimeRoot(runtimeRoot))
        return {false, false, QStringLiteral("Server build not found under runtime root")};

    const QString rootPackage = runtimeRoot + "/package.json";
    const bool rootLacked = !packageJsonHasTypeModule(rootPackage);
    if (rootLacked) {
        // A failed write shows up in the re-read below.
        (void)AtomicFileWriter::write(rootPackage, rootManifest());
        say(log, QStringLiteral("Wrote ") + rootPackage + QStringLiteral(" (type: module)"));
    }

    bool didRepair = rootLacked;
    const QString serverDir = runtimeRoot + "/apps/server";
    if (!packageJsonHasTypeModule(serverDir + "/package.json")) {
        if (const auto source = copyServerPackageJson(serverDir, layout)) {
            say(log, QStringLiteral("Copied apps/server/package.json from ") + *source);
        } else {
            if (const auto error = makeDirectory(serverDir))
                return {false, false,
                        QStringLiteral("Failed to write server package.json: ") + *error};
            (void)AtomicFileWriter::write(serverDir + "/package.json", serverManifest());
            say(log, QStringLiteral("Wrote minimal apps/server/package.json (type: module)"));
        }
        didRepair = true;
    }

    const bool copied = copyMissingRuntimeDeps(runtimeRoot, log, layout);
    const bool hasTypeModule = packageJsonHasTypeModule(rootPackage);
    if (!didRepair && !copied) {
        return {false, hasTypeModule,
                hasTypeModule ? QStringLiteral("Bundle ESM manifests OK")
                              : QStringLiteral("Bundle package.json still missing type: module")};
    }
    return {true, hasTypeModule, QStringLiteral("Bundle ESM manifests repaired")};
}

std::optional<QString> copyServerPackageJson(const QString& serverDir, const BundleLayout& layout) {
    const QString destination = serverDir + "/package.json";
    for (const QString& source : serverManifestSources(layout)) {
        if (!QFileInfo::exists(source))
            continue;
        if (makeDirectory(serverDir))
            continue;
        if (AtomicFileWriter::copy(source, destination).ok())
            return source;
    }
    return std::nullopt;
}

bool copyMissingRuntimeDeps(const QString& runtimeRoot, const LogSink& log,
                            const BundleLayout& layout) {
    const auto dev = ProjectPaths::detectDevProjectRoot(layout);
    if (!dev)
        return false;
    bool copied = false;
    for (const QString& name : runtimeDependencies) {
        const QString target = runtimeRoot + "/node_modules/" + name;
        if (QFileInfo::exists(target + "/package.json"))
            continue;
        const auto found = findPackageDir(name, *dev + "/node_modules");
        if (!found)
            continue;
        if (const auto error = copyPackage(*found, target)) {
            say(log, QStringLiteral("Could not copy ") + name + QStringLiteral(": ") + *error);
            continue;
        }
        say(log, QStringLiteral("Copied runtime dep ") + name + QStringLiteral(" into bundle"));
        copied = true;
    }
    return copied;
}

std::optional<QString> findPackageDir(const QString& name, const QString& nodeModulesDir) {
    const QString direct = nodeModulesDir + "/" + name;
    if (QFileInfo::exists(direct + "/package.json"))
        return direct;
    const QString needle =
        QStringLiteral("/node_modules/") + name + QStringLiteral("/package.json");
    QDirIterator walk(nodeModulesDir + "/.pnpm",
                      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString entry = walk.next();
        if (walk.fileName() == QLatin1String("package.json") && entry.contains(needle))
            return QFileInfo(entry).path();
    }
    return std::nullopt;
}

} // namespace BundleRepair
