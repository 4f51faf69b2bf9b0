#pragma once

#include "models/HealthResponse.h"
#include "services/CancellationToken.h"

#include <optional>
#include <qcoro/qcorotask.h>

class HealthMonitor;
class PortOwner;
class ServerLog;

// What the program finds on its port when it starts: a server it can adopt
// (left by an earlier run, another instance or someone else), an orphan of
// an earlier run that no longer answers, which is ended, or a stranger that
// holds the port without answering, which is left alone and logged.
namespace LaunchRestore {

struct Context {
    const PortOwner& ports;
    HealthMonitor& health;
    ServerLog& log;
    int port;
    // Cancelled when something else takes over; nothing is touched after that.
    CancellationHandle token;
};

// The answer to adopt, if any server answers.
QCoro::Task<std::optional<HealthResponse>> findServer(Context context);

} // namespace LaunchRestore
