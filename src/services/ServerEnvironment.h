#pragma once

#include "services/ProjectPaths.h"

#include <QProcessEnvironment>
#include <QString>
#include <optional>

// The environment the server child runs in: this program's own, with where
// the runtime, the church's data and the log are, the port, and a PATH and
// NODE_OPTIONS that let Node.js find itself and load the ES-module build.
namespace ServerEnvironment {

QProcessEnvironment forChild(const ProjectPaths& paths, const QString& nodePath, int port);

QString enhancedPath(const std::optional<QString>& existing, const QString& nodeBinary);
QString esmNodeOptions(const std::optional<QString>& existing);
// The name the presenter pages show for this computer.
QString computerName();

} // namespace ServerEnvironment
