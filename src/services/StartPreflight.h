#pragma once

#include "services/BundleRepair.h"
#include "services/ProjectPaths.h"

#include <QString>
#include <optional>

// What must be in place before the server is launched: the runtime's
// manifests mended, its build, the Bible database and, in a self-contained
// install, its dependencies. Answers with the first thing missing, in the
// words the operator sees.
namespace StartPreflight {

std::optional<QString> problem(const ProjectPaths& paths, const BundleRepair::LogSink& log);

} // namespace StartPreflight
