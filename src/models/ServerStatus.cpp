#include "models/ServerStatus.h"

QString rawValue(ServerStatus status) {
    switch (status) {
    case ServerStatus::stopped:
        return QStringLiteral("stopped");
    case ServerStatus::starting:
        return QStringLiteral("starting");
    case ServerStatus::running:
        return QStringLiteral("running");
    case ServerStatus::stopping:
        return QStringLiteral("stopping");
    case ServerStatus::crashed:
        return QStringLiteral("crashed");
    }
    Q_UNREACHABLE();
}

std::optional<ServerStatus> serverStatusFromRawValue(const QString& text) {
    for (auto status : {ServerStatus::stopped, ServerStatus::starting, ServerStatus::running,
                        ServerStatus::stopping, ServerStatus::crashed}) {
        if (rawValue(status) == text)
            return status;
    }
    return std::nullopt;
}
