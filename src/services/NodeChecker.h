#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Finds a Node.js 20+ executable to run the server with.
namespace NodeChecker {

struct NodeInfo {
    QString path;
    QString version; // what "--version" printed, trimmed, e.g. v20.11.1
    bool isEmbedded = false;

    bool operator==(const NodeInfo&) const = default;
};

constexpr int minimumMajorVersion = 20;
// A candidate or a login profile that hangs must not freeze the program.
constexpr int probeTimeoutMs = 5000;

std::optional<NodeInfo> findNode();

// The search itself, with its inputs spelled out.
std::optional<NodeInfo> findNode(const std::optional<QString>& embedded,
                                 const QStringList& candidates,
                                 const std::function<std::optional<QString>()>& shellLookup);

// NODE_BINARY (when set), then the fixed install locations.
QStringList candidatePaths();

std::optional<NodeInfo> probeNode(const QString& path);
int majorVersion(const QString& version);
std::optional<QString> shellWhich(const QString& command);

// The user's login shell: the passwd entry, else $SHELL, else /bin/sh.
QString loginShell();

} // namespace NodeChecker
