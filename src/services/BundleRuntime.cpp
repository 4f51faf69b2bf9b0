#include "services/BundleRuntime.h"

#include "services/ProjectPaths.h"

#include <QFileInfo>

namespace BundleRuntime {

std::optional<QString> embeddedNodePath(const BundleLayout& layout) {
    if (!layout.resourceDir)
        return std::nullopt;
    // Fixed order; the processor architecture is deliberately not consulted.
    for (const char* candidate :
         {"node/bin/node", "Resources/node/bin/node", "node-arm64/bin/node", "node-x64/bin/node"}) {
        const QFileInfo info(*layout.resourceDir + "/" + QString::fromLatin1(candidate));
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return std::nullopt;
}

bool isSelfContained(const BundleLayout& layout) {
    return embeddedNodePath(layout).has_value() &&
           ProjectPaths::bundledProjectRoot(layout).has_value();
}

} // namespace BundleRuntime
