#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

// Who holds a TCP port on this computer and the processes behind it: the
// listeners on the port and the children of a process, signals to them, and
// freeing the port. The server manager asks the operating system only through
// this class, so that tests of its state machine can stand in for processes
// that do not exist; the program uses it as it is.
class PortOwner {
public:
    static constexpr int toolTimeoutSeconds = 3;
    // How long a listener has to end after SIGTERM before it gets SIGKILL.
    static constexpr std::chrono::milliseconds killGrace{1000};

    virtual ~PortOwner() = default;

    // Connect test with 150 ms time-outs: does anything accept on 127.0.0.1:port?
    static bool isLocalTCPPortOpen(int port);

    // "lsof" for the listeners on the port and "pgrep -P" for a process's
    // children, bounded by toolTimeoutSeconds; a tool that fails or hangs
    // yields no ids.
    virtual QCoro::Task<QList<qint32>> findListeningPIDs(int port) const;
    virtual QCoro::Task<QList<qint32>> findChildPIDs(qint32 parent) const;
    // The quit path cannot wait for the event loop.
    virtual QList<qint32> findChildPIDsNow(qint32 parent) const;

    virtual void sendSignal(qint64 pid, int signal) const;
    virtual bool processExists(qint64 pid) const;
    // Whether the process runs a server build (its command line names the
    // entry script), so a reused id is never taken for our server.
    virtual bool isServerProcess(qint64 pid) const;

    // SIGTERM to the target's children, then to the target; nothing for an
    // absent target or an id below 1.
    QCoro::Task<> terminateTree(std::optional<qint64> target) const;
    void terminateTreeNow(std::optional<qint64> target) const;

    // SIGTERM to every listener, and SIGKILL to those still there after the
    // grace period, which is waited for without blocking.
    QCoro::Task<> killListenersOnPort(int port) const;

private:
    void signalTree(const QList<qint32>& children, qint64 target) const;
};
