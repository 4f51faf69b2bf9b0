#include "services/ProcessRunner.h"

#include <QProcess>
#include <qcoro/qcoroprocess.h>

namespace ProcessRunner {

namespace {

void prepare(QProcess& process, const QString& program, const QStringList& arguments) {
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
}

void collect(QProcess& process, Outcome& outcome) {
    outcome.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    outcome.exitCode = process.exitCode();
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
}

} // namespace

Outcome run(const QString& program, const QStringList& arguments, int timeoutMs,
            const std::optional<QProcessEnvironment>& environment) {
    Outcome outcome;
    QProcess process;
    prepare(process, program, arguments);
    if (environment)
        process.setProcessEnvironment(*environment);
    process.start();
    if (!process.waitForStarted(timeoutMs))
        return outcome;
    outcome.launched = true;
    if (!process.waitForFinished(timeoutMs)) {
        outcome.timedOut = true;
        process.kill();
        process.waitForFinished(1000);
        return outcome;
    }
    collect(process, outcome);
    return outcome;
}

QCoro::Task<Outcome> runAsync(QString program, QStringList arguments, int timeoutMs) {
    Outcome outcome;
    QProcess process;
    prepare(process, program, arguments);
    auto awaitable = qCoro(process);
    const bool started =
        co_await awaitable.start(QIODevice::ReadOnly, std::chrono::milliseconds(timeoutMs));
    if (!started)
        co_return outcome;
    outcome.launched = true;
    const bool finished = co_await awaitable.waitForFinished(std::chrono::milliseconds(timeoutMs));
    // A helper that hangs is killed by QProcess's destructor.
    if (!finished) {
        outcome.timedOut = true;
        co_return outcome;
    }
    collect(process, outcome);
    co_return outcome;
}

} // namespace ProcessRunner
