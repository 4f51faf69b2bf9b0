#include "services/StartupDiagnosis.h"

namespace StartupDiagnosis {

namespace {

const QString rebuild =
    QStringLiteral("Reinstall the Vesperline package, or run make stage in the project folder.");

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
        return {QStringLiteral("Server bundle is missing ESM package.json (type: module). ") +
                rebuild};
    if (has(output, "ERR_MODULE_NOT_FOUND") && has(output, "fastify"))
        return {QStringLiteral("Server dependencies are incomplete (fastify missing). ") + rebuild};
    if (has(output, "ERR_MODULE_NOT_FOUND"))
        return {QStringLiteral("Server dependencies are incomplete (ERR_MODULE_NOT_FOUND). ") +
                rebuild};
    if (mentionsPortInUse(output))
        return {portConflictMessage(port), false};
    if (has(output, "NODE_MODULE_VERSION"))
        return {QStringLiteral("Native module mismatch (better-sqlite3). ") + rebuild};
    return {QStringLiteral("Server exited with code ") + QString::number(exitCode) +
            QStringLiteral(". See log in the data folder.")};
}

} // namespace StartupDiagnosis
