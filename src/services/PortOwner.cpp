#include "services/PortOwner.h"

#include "models/TextLines.h"
#include "services/CancellationToken.h"
#include "services/ProcessRunner.h"

#include <QFile>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Every coroutine is made into a named task before it is awaited: GCC 12
// destroys the temporaries of a co_await full-expression twice.

namespace {

const QString lsofPath = QStringLiteral("/usr/bin/lsof");
const QString pgrepPath = QStringLiteral("/usr/bin/pgrep");
constexpr int toolTimeoutMs = PortOwner::toolTimeoutSeconds * 1000;

QStringList lsofArguments(int port) {
    return {QStringLiteral("-ti"), QStringLiteral("tcp:") + QString::number(port),
            QStringLiteral("-sTCP:LISTEN")};
}

QStringList pgrepArguments(qint32 parent) {
    return {QStringLiteral("-P"), QString::number(parent)};
}

// Output that is not UTF-8 counts as no output.
QString standardOutputOf(const ProcessRunner::Outcome& outcome) {
    if (!outcome.launched)
        return QString();
    return TextLines::decode(outcome.standardOutput).value_or(QString());
}

// Ids one per line, as the tools print them.
QList<qint32> parsePIDs(const QString& output) {
    QList<qint32> pids;
    for (const QString& line : TextLines::split(output)) {
        bool ok = false;
        const int pid = line.trimmed().toInt(&ok, 10);
        if (ok)
            pids.append(pid);
    }
    return pids;
}

} // namespace

bool PortOwner::isLocalTCPPortOpen(int port) {
    if (port < 1 || port > 65535)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    timeval timeout{0, 150000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QCoro::Task<QList<qint32>> PortOwner::findListeningPIDs(int port) const {
    auto run = ProcessRunner::runAsync(lsofPath, lsofArguments(port), toolTimeoutMs);
    const auto outcome = co_await run;
    co_return parsePIDs(standardOutputOf(outcome));
}

QCoro::Task<QList<qint32>> PortOwner::findChildPIDs(qint32 parent) const {
    auto run = ProcessRunner::runAsync(pgrepPath, pgrepArguments(parent), toolTimeoutMs);
    const auto outcome = co_await run;
    co_return parsePIDs(standardOutputOf(outcome));
}

QList<qint32> PortOwner::findChildPIDsNow(qint32 parent) const {
    return parsePIDs(
        standardOutputOf(ProcessRunner::run(pgrepPath, pgrepArguments(parent), toolTimeoutMs)));
}

void PortOwner::sendSignal(qint64 pid, int signal) const {
    // Never this program itself, whatever a tool reported.
    if (pid >= 1 && pid != ::getpid())
        ::kill(pid_t(pid), signal);
}

bool PortOwner::processExists(qint64 pid) const {
    return pid >= 1 && ::kill(pid_t(pid), 0) == 0;
}

bool PortOwner::isServerProcess(qint64 pid) const {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> arguments = cmdline.readAll().split('\0');
    return std::any_of(arguments.begin(), arguments.end(), [](const QByteArray& argument) {
        return argument.endsWith("apps/server/dist/index.js");
    });
}

// Children are listed while the target still runs: once it has exited they
// belong to init and could no longer be found.
void PortOwner::signalTree(const QList<qint32>& children, qint64 target) const {
    for (const qint32 child : children)
        sendSignal(child, SIGTERM);
    sendSignal(target, SIGTERM);
}

QCoro::Task<> PortOwner::terminateTree(std::optional<qint64> target) const {
    if (!target || *target < 1)
        co_return;
    const QList<qint32> children = co_await findChildPIDs(qint32(*target));
    signalTree(children, *target);
}

void PortOwner::terminateTreeNow(std::optional<qint64> target) const {
    if (target && *target >= 1)
        signalTree(findChildPIDsNow(qint32(*target)), *target);
}

QCoro::Task<> PortOwner::killListenersOnPort(int port) const {
    const QList<qint32> pids = co_await findListeningPIDs(port);
    if (pids.isEmpty())
        co_return;
    for (const qint32 pid : pids)
        sendSignal(pid, SIGTERM);
    auto grace = CancellationToken::sleep(killGrace, nullptr);
    co_await grace;
    for (const qint32 pid : pids) {
        if (processExists(pid))
            sendSignal(pid, SIGKILL);
    }
}
