#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <qcoro/qcorotask.h>

// Runs a short-lived helper program to completion, blocking the caller, but
// never for longer than the given bound: a helper that hangs is killed and
// counts as failed. Standard input is /dev/null so nothing can wait for a
// keyboard.
namespace ProcessRunner {

struct Outcome {
    bool launched = false;
    bool timedOut = false;
    int exitCode = -1; // meaningful only when it exited normally
    bool exitedNormally = false;
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return launched && !timedOut && exitedNormally && exitCode == 0; }
};

Outcome run(const QString& program, const QStringList& arguments, int timeoutMs,
            const std::optional<QProcessEnvironment>& environment = std::nullopt);

// The same bound without blocking: the caller's coroutine waits while the
// event loop, and the window with it, goes on.
QCoro::Task<Outcome> runAsync(QString program, QStringList arguments, int timeoutMs);

} // namespace ProcessRunner
