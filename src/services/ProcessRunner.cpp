#include "services/ProcessRunner.h"

#include <QProcess>

namespace ProcessRunner {

Outcome run(const QString& program, const QStringList& arguments, int timeoutMs,
            const std::optional<QProcessEnvironment>& environment) {
    Outcome outcome;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
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
    outcome.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    outcome.exitCode = process.exitCode();
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
    return outcome;
}

} // namespace ProcessRunner
