#pragma once

#include "services/BundleLayout.h"

#include <QString>
#include <optional>

// The Node.js executable that ships inside the installed program.
namespace BundleRuntime {

std::optional<QString> embeddedNodePath(const BundleLayout& = BundleLayout::current());

// Carries both its own Node.js and its own runtime root.
bool isSelfContained(const BundleLayout& = BundleLayout::current());

} // namespace BundleRuntime
