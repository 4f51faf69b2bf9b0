#include "services/ProjectPaths.h"

#include "services/ApplicationSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <nlohmann/json.hpp>

namespace {

constexpr int devCheckoutSearchDepth = 8;

std::optional<QString> hotPatchedRoot() {
    if (!ApplicationSupport::hasHotPatchedRuntime())
        return std::nullopt;
    return ApplicationSupport::path("runtime/current");
}

} // namespace

bool ProjectPaths::isRuntimeRoot(const QString& dir) {
    return QFileInfo::exists(dir + "/apps/server/dist/index.js");
}

std::optional<QString> ProjectPaths::bundledProjectRoot(const BundleLayout& layout) {
    if (!layout.resourceDir)
        return std::nullopt;
    for (const char* candidate : {"project", "Resources/project"}) {
        const QString dir = *layout.resourceDir + "/" + QString::fromLatin1(candidate);
        if (isRuntimeRoot(dir))
            return dir;
    }
    return std::nullopt;
}

std::optional<QString> ProjectPaths::detectDevProjectRoot(const BundleLayout& layout) {
    QString dir = QDir::cleanPath(layout.applicationDir);
    for (int level = 0; level < devCheckoutSearchDepth; ++level) {
        const QString parent = QFileInfo(dir).path();
        if (parent == dir)
            return std::nullopt; // reached the file system root
        dir = parent;
        if (isRuntimeRoot(dir))
            return dir;
    }
    return std::nullopt;
}

QString ProjectPaths::defaultRuntimeRoot(const BundleLayout& layout) {
    if (const auto root = hotPatchedRoot())
        return *root;
    if (const auto root = bundledProjectRoot(layout))
        return *root;
    if (const auto root = detectDevProjectRoot(layout))
        return *root;
    return QDir::homePath() + "/Vesperline";
}

QString ProjectPaths::resolvedReleaseRuntimeRoot(const BundleLayout& layout) {
    if (const auto root = hotPatchedRoot())
        return *root;
    if (const auto root = bundledProjectRoot(layout))
        return *root;
    return defaultRuntimeRoot(layout);
}

bool ProjectPaths::hasBibleDatabase() const {
    return QFileInfo::exists(ApplicationSupport::path("data/bible.sqlite"));
}

bool ProjectPaths::hasServerBuild() const {
    return QFileInfo(serverEntryScript()).isFile();
}

bool ProjectPaths::hasServerDependencies() const {
    return QFileInfo(runtimeRoot + "/node_modules/fastify/package.json").isFile();
}

std::optional<QString> ProjectPaths::runtimeVersion() const {
    QFile file(runtimeRoot + "/runtime-version.json");
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto document = nlohmann::json::parse(file.readAll().toStdString(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    const auto version = document.find("version");
    if (version == document.end() || !version->is_string())
        return std::nullopt;
    return QString::fromStdString(version->get<std::string>());
}

QString ProjectPaths::runtimeVersionLabel() const {
    return runtimeVersion().value_or(QStringLiteral("bundled"));
}

QString ProjectPaths::nkjvImportScript() const {
    const QString module = runtimeRoot + "/scripts/import-bible-nkjv.mjs";
    if (QFileInfo::exists(module))
        return module;
    return runtimeRoot + "/scripts/import-bible-nkjv.ts";
}

bool ProjectPaths::canRunNkjvImport() const {
    const QString script = nkjvImportScript();
    if (!QFileInfo::exists(script))
        return false;
    if (script.endsWith(".mjs"))
        return true;
    return QFileInfo::exists(runtimeRoot + "/node_modules/tsx/dist/cli.mjs");
}
