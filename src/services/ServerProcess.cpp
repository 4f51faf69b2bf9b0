#include "services/ServerProcess.h"

#include "models/TextLines.h"

#include <QList>
#include <QProcess>

namespace {

// Children let go of while they may still run; each is deleted once it has
// exited, and one that outlives the program is simply left.
QList<QProcess*>& parkedProcesses() {
    static QList<QProcess*> parked;
    return parked;
}

void park(QProcess* process) {
    process->disconnect();
    process->setParent(nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    parkedProcesses().append(process);
    QObject::connect(process, &QProcess::finished, process, [process] {
        parkedProcesses().removeAll(process);
        process->deleteLater();
    });
}

} // namespace

ServerProcess::ServerProcess(QObject* parent) : QObject(parent) {}

ServerProcess::~ServerProcess() {
    if (process_)
        park(process_);
}

bool ServerProcess::start(const Launch& launch) {
    process_ = new QProcess;
    process_->setProgram(launch.program);
    process_->setArguments(launch.arguments);
    process_->setWorkingDirectory(launch.workingDirectory);
    process_->setProcessEnvironment(launch.environment);
    process_->setStandardInputFile(QProcess::nullDevice());
    connect(process_, &QProcess::readyReadStandardOutput, this,
            [this] { forward(process_->readAllStandardOutput(), &ServerProcess::standardOutput); });
    connect(process_, &QProcess::readyReadStandardError, this,
            [this] { forward(process_->readAllStandardError(), &ServerProcess::standardError); });
    connect(
        process_, &QProcess::finished, this,
        [this](int exitCode, QProcess::ExitStatus status) {
            Q_EMIT exited(exitCode, status == QProcess::NormalExit);
        },
        Qt::QueuedConnection);
    process_->start();
    return process_->waitForStarted();
}

QString ServerProcess::errorString() const {
    return process_ ? process_->errorString() : QString();
}

qint64 ServerProcess::processId() const {
    return process_ ? process_->processId() : 0;
}

bool ServerProcess::isRunning() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

void ServerProcess::terminate() {
    if (isRunning())
        process_->terminate();
}

void ServerProcess::drain() {
    if (!process_)
        return;
    forward(process_->readAllStandardOutput(), &ServerProcess::standardOutput);
    forward(process_->readAllStandardError(), &ServerProcess::standardError);
}

void ServerProcess::forward(const QByteArray& bytes,
                            void (ServerProcess::*signal)(const QString&)) {
    if (bytes.isEmpty())
        return;
    if (const auto text = TextLines::decode(bytes))
        Q_EMIT(this->*signal)(*text);
}
