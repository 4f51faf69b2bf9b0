#pragma once

#include "services/PortOwner.h"
#include "services/ServerManager.h"
#include "services/ServerProcess.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <memory>

namespace TestSupport {

// A server child that launches nothing: the test makes it print and exit.
class FakeServerProcess : public ServerProcess {
    Q_OBJECT

public:
    FakeServerProcess(qint64 pid, bool launches, QObject* parent)
        : ServerProcess(parent), pid(pid), launches(launches) {}

    bool start(const Launch& launch) override;
    QString errorString() const override { return QStringLiteral("execve: Permission denied"); }
    qint64 processId() const override { return running ? pid : 0; }
    bool isRunning() const override { return running; }
    void terminate() override { running = false; }
    void drain() override {}

    void printErr(const QString& text) { Q_EMIT standardError(text); }
    // Starts answering /api/health on 127.0.0.1 and the PORT it was given.
    void listen();
    // Still running, but nobody answers on the port any more.
    void stopListening();
    // The exit arrives one event-loop turn later, as a real one does.
    void exit(int code);

    Launch launched;
    const qint64 pid;

private:
    void answer(QTcpSocket* socket);

    const bool launches;
    bool running = false;
    QTcpServer server;
};

// The operating system as the manager sees it, with processes the test
// makes up: listeners and children it names, and every signal recorded.
class FakePortOwner : public PortOwner {
public:
    QCoro::Task<QList<qint32>> findListeningPIDs(int port) const override;
    QCoro::Task<QList<qint32>> findChildPIDs(qint32 parent) const override;
    QList<qint32> findChildPIDsNow(qint32 parent) const override { return children.value(parent); }
    void sendSignal(qint64 pid, int signal) const override { sent.append({pid, signal}); }
    bool processExists(qint64 pid) const override { return alive.contains(pid); }
    bool isServerProcess(qint64 pid) const override { return servers.contains(pid); }

    QList<qint32> signalled(int signal) const;

    QList<qint32> listeners;
    QHash<qint32, QList<qint32>> children;
    QSet<qint64> alive;
    QSet<qint64> servers;
    mutable QList<QPair<qint64, int>> sent;
};

// Hands the manager fake children (ids 5001, 5002, ...) and the fake ports,
// and keeps both within the test's reach.
class FakeServerPlatform {
public:
    ServerManager::Platform platform();

    // The last child made.
    FakeServerProcess* child() const { return children.isEmpty() ? nullptr : children.last(); }
    int launches() const { return int(children.size()); }

    std::shared_ptr<FakePortOwner> ports = std::make_shared<FakePortOwner>();
    // Whether the next children start (false: Node.js cannot be launched).
    bool childrenLaunch = true;

private:
    QList<QPointer<FakeServerProcess>> children;
};

} // namespace TestSupport
