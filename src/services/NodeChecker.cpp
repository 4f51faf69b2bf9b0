#include "services/NodeChecker.h"

#include "services/BundleRuntime.h"
#include "services/ProcessRunner.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <pwd.h>
#include <unistd.h>

namespace NodeChecker {

namespace {

QString decodeTrimmed(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text.trimmed();
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

std::optional<NodeInfo> findNode() {
    return findNode(BundleRuntime::embeddedNodePath(), candidatePaths(),
                    [] { return shellWhich(QStringLiteral("node")); });
}

std::optional<NodeInfo> findNode(const std::optional<QString>& embedded,
                                 const QStringList& candidates,
                                 const std::function<std::optional<QString>()>& shellLookup) {
    if (embedded) {
        if (auto info = probeNode(*embedded)) {
            info->isEmbedded = true;
            return info;
        }
    }
    for (const QString& candidate : candidates) {
        if (auto info = probeNode(candidate))
            return info;
    }
    if (shellLookup) {
        if (const auto found = shellLookup())
            return probeNode(*found);
    }
    return std::nullopt;
}

QStringList candidatePaths() {
    QStringList candidates;
    const QString fromEnvironment = qEnvironmentVariable("NODE_BINARY");
    if (!fromEnvironment.isEmpty())
        candidates << fromEnvironment;
    candidates << QStringLiteral("/opt/homebrew/opt/node@20/bin/node")
               << QStringLiteral("/usr/local/opt/node@20/bin/node")
               << QStringLiteral("/opt/homebrew/bin/node") << QStringLiteral("/usr/local/bin/node")
               << QStringLiteral("/usr/bin/node");
    return candidates;
}

std::optional<NodeInfo> probeNode(const QString& path) {
    if (!isExecutableFile(path))
        return std::nullopt;
    const auto outcome = ProcessRunner::run(path, {QStringLiteral("--version")}, probeTimeoutMs);
    if (!outcome.succeeded())
        return std::nullopt;
    const QString version = decodeTrimmed(outcome.standardOutput);
    if (majorVersion(version) < minimumMajorVersion)
        return std::nullopt;
    return NodeInfo{path, version, false};
}

int majorVersion(const QString& version) {
    QString kept;
    for (const QChar c : version) {
        if (c.isDigit() || c == '.')
            kept.append(c);
    }
    const QStringList pieces = kept.split('.', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return 0;
    bool ok = false;
    const int major = pieces.first().toInt(&ok, 10);
    return ok ? major : 0;
}

std::optional<QString> shellWhich(const QString& command) {
    const auto outcome = ProcessRunner::run(
        loginShell(), {QStringLiteral("-lc"), QStringLiteral("which ") + command}, probeTimeoutMs);
    if (!outcome.succeeded())
        return std::nullopt;
    const QString path = decodeTrimmed(outcome.standardOutput);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QString loginShell() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_shell && *entry->pw_shell)
        return QString::fromLocal8Bit(entry->pw_shell);
    const QString fromEnvironment = qEnvironmentVariable("SHELL");
    return fromEnvironment.isEmpty() ? QStringLiteral("/bin/sh") : fromEnvironment;
}

} // namespace NodeChecker
