#include "services/StartupDiagnosis.h"

namespace StartupDiagnosis {

namespace {

bool has(const QString& output, const char* pattern) {
    return output.contains(QLatin1String(pattern), Qt::CaseInsensitive);
}

} // namespace

bool mentionsPortInUse(const QString& output) {
    return has(output, "EADDRINUSE");
}

QString portConflictMessage(int port, const QString& detail) {
    QString message = QStringLiteral("Port ") + QString::number(port) +
                      QStringLiteral(" is in use by another app. Change the port in Settings or "
                                     "quit the other process, then Start again.");
    if (!detail.isEmpty())
        message += QStringLiteral(" (") + detail + QStringLiteral(")");
    return message;
}

QString launchFailureMessage(const QString& nodePath, const QString& error) {
    return QStringLiteral("Node.js could not be launched from ") + nodePath + QStringLiteral(" (") +
           error +
           QStringLiteral("). Install Node.js 20 or later, press Recheck on the Dashboard, then "
                          "Start again.");
}

Diagnosis forExit(const QString& output, int exitCode, int port) {
    if (has(output, "Cannot use import statement outside a module") || has(output, "SyntaxError"))
        return {QStringLiteral("Server bundle is missing ESM package.json (type: module). Run "
                               "./scripts/patch-macos-app.sh on the .app, or rebuild with "
                               "./scripts/bundle-for-macos.sh and Run (\u2318R) in Xcode.")};
    if (has(output, "ERR_MODULE_NOT_FOUND") && has(output, "fastify"))
        return {QStringLiteral("Server dependencies are incomplete (fastify missing). Rebuild the "
                               "app with ./scripts/build-release.sh and reinstall.")};
    if (has(output, "ERR_MODULE_NOT_FOUND"))
        return {QStringLiteral("Server dependencies are incomplete (ERR_MODULE_NOT_FOUND). "
                               "Rebuild with ./scripts/build-release.sh and reinstall.")};
    if (mentionsPortInUse(output))
        return {portConflictMessage(port), false};
    if (has(output, "NODE_MODULE_VERSION"))
        return {QStringLiteral("Native module mismatch (better-sqlite3). Rebuild with "
                               "./scripts/build-release.sh and reinstall.")};
    return {QStringLiteral("Server exited with code ") + QString::number(exitCode) +
            QStringLiteral(". See log in Application Support.")};
}

} // namespace StartupDiagnosis
