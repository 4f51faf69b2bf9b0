#pragma once

#include "services/BundleLayout.h"

#include <QString>
#include <functional>
#include <optional>

// Mends a runtime root in place before it is started: Node only loads the
// server build as ES modules when the nearest package.json says
// "type": "module", and runtimes assembled from a development checkout can lack
// two small native-binding helper packages.
namespace BundleRepair {

struct Result {
    bool didRepair = false;
    bool hasTypeModule = false;
    QString message;

    bool operator==(const Result&) const = default;
};

using LogSink = std::function<void(const QString&)>;

Result ensureBundleReady(const QString& runtimeRoot, const LogSink& log = {},
                         const BundleLayout& layout = BundleLayout::current());

bool packageJsonHasTypeModule(const QString& file);
std::optional<QString> copyServerPackageJson(const QString& serverDir,
                                             const BundleLayout& layout = BundleLayout::current());
bool copyMissingRuntimeDeps(const QString& runtimeRoot, const LogSink& log = {},
                            const BundleLayout& layout = BundleLayout::current());
std::optional<QString> findPackageDir(const QString& name, const QString& nodeModulesDir);

// The manifests written when none can be copied, byte for byte.
QByteArray rootManifest();
QByteArray serverManifest();

} // namespace BundleRepair
