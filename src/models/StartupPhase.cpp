#include "models/StartupPhase.h"

QString displayText(StartupPhase phase) {
    switch (phase) {
    case StartupPhase::probing:
        return QStringLiteral("Probing health…");
    case StartupPhase::launching:
        return QStringLiteral("Launching Node…");
    case StartupPhase::waiting:
        return QStringLiteral("Waiting for server…");
    case StartupPhase::running:
        return QStringLiteral("Running");
    case StartupPhase::failed:
        return QStringLiteral("Failed");
    }
    Q_UNREACHABLE();
}

std::optional<StartupPhase> startupPhaseFromRawValue(const QString& text) {
    for (auto phase : {StartupPhase::probing, StartupPhase::launching, StartupPhase::waiting,
                       StartupPhase::running, StartupPhase::failed}) {
        if (displayText(phase) == text)
            return phase;
    }
    return std::nullopt;
}
