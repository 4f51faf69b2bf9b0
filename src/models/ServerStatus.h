#pragma once

#include <QString>
#include <optional>

// The server manager's published state. Only the server manager changes it.
enum class ServerStatus { stopped, starting, running, stopping, crashed };

// "stopped", "starting", "running", "stopping", "crashed".
QString rawValue(ServerStatus status);
std::optional<ServerStatus> serverStatusFromRawValue(const QString& text);
