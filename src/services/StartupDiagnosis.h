#pragma once

#include <QString>

// Turns what a failed start printed into one message that says what to do.
// Pure: it reads only its arguments, so the diagnosis of one start can never
// be swayed by the output of an earlier one.
namespace StartupDiagnosis {

struct Diagnosis {
    QString message;
    // Whether the last lines of the log help the reader (not for a busy port,
    // whose message already says everything).
    bool withLogTail = true;
};

// `output` is what the child printed on its standard error and output.
Diagnosis forExit(const QString& output, int exitCode, int port);

bool mentionsPortInUse(const QString& output);
QString portConflictMessage(int port, const QString& detail = QString());
// Node.js itself could not be run: missing, not executable, not a program.
QString launchFailureMessage(const QString& nodePath, const QString& error);

} // namespace StartupDiagnosis
