#pragma once

#include <QString>
#include <optional>

// The phase of one start attempt, as the startup sheet and the Dashboard show
// it. Its raw text is its display text.
enum class StartupPhase { probing, launching, waiting, running, failed };

// "Probing health…", "Launching Node…", "Waiting for server…", "Running", "Failed".
QString displayText(StartupPhase phase);
inline QString rawValue(StartupPhase phase) {
    return displayText(phase);
}
std::optional<StartupPhase> startupPhaseFromRawValue(const QString& text);
