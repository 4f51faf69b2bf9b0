#include "services/ServerEnvironment.h"

#include "services/ApplicationSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace ServerEnvironment {

namespace {

const QString esmFlag = QStringLiteral("--experimental-default-type=module");

} // namespace

QProcessEnvironment forChild(const ProjectPaths& paths, const QString& nodePath, int port) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto inherited = [&](const QString& name) -> std::optional<QString> {
        if (!environment.contains(name))
            return std::nullopt;
        return environment.value(name);
    };
    const QString support = ApplicationSupport::supportURL();
    const QString& root = paths.runtimeRoot;
    environment.insert(QStringLiteral("PORT"), QString::number(port));
    environment.insert(QStringLiteral("HOST"), QStringLiteral("0.0.0.0"));
    environment.insert(QStringLiteral("VESPERLINE_ROOT"), root);
    environment.insert(QStringLiteral("VESPERLINE_CONFIG_DIR"), support);
    environment.insert(QStringLiteral("VESPERLINE_DB_PATH"), support + "/data/bible.sqlite");
    environment.insert(QStringLiteral("VESPERLINE_BOOKMARKS_PATH"), support + "/bookmarks.json");
    environment.insert(QStringLiteral("VESPERLINE_THEMES_PATH"), support + "/themes.json");
    environment.insert(QStringLiteral("VESPERLINE_WEB_DIST"), root + "/apps/web/dist");
    environment.insert(QStringLiteral("VESPERLINE_LOG_PATH"), support + "/server.log");
    environment.insert(QStringLiteral("VESPERLINE_TRANSLATION_ID"),
                       ApplicationSupport::loadTranslation().id);
    environment.insert(QStringLiteral("VESPERLINE_SERVER_NAME"), computerName());
    environment.insert(QStringLiteral("PATH"),
                       enhancedPath(inherited(QStringLiteral("PATH")), nodePath));
    environment.insert(QStringLiteral("NODE_PATH"), root + "/node_modules");
    environment.insert(QStringLiteral("NODE_OPTIONS"),
                       esmNodeOptions(inherited(QStringLiteral("NODE_OPTIONS"))));
    return environment;
}

QString enhancedPath(const std::optional<QString>& existing, const QString& nodeBinary) {
    QStringList entries{QFileInfo(nodeBinary).path(), QStringLiteral("/usr/local/bin"),
                        QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    if (existing)
        entries += existing->split(':', Qt::SkipEmptyParts);
    return entries.join(':');
}

QString esmNodeOptions(const std::optional<QString>& existing) {
    if (!existing || existing->isEmpty())
        return esmFlag;
    if (existing->contains(esmFlag))
        return *existing;
    return *existing + " " + esmFlag;
}

QString computerName() {
    QFile info(QStringLiteral("/etc/machine-info"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (!line.startsWith("PRETTY_HOSTNAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(16)).trimmed();
            if (value.size() >= 2 && (value.startsWith('"') || value.startsWith('\'')) &&
                value.endsWith(value.front()))
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                return value;
        }
    }
    return QSysInfo::machineHostName();
}

} // namespace ServerEnvironment
