#pragma once

#include "services/PidFile.h"
#include "services/ProjectPaths.h"
#include "services/ServerManager.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <qcoro/qcorotask.h>

namespace TestSupport {

// A runtime root whose server entry script is the fixture server, so the
// manager launches it exactly as it launches the real one. The support
// directory gets a placeholder Bible database so the pre-start checks pass.
class FixtureRuntime {
public:
    FixtureRuntime();
    QString root() const { return dir.path(); }
    ProjectPaths paths() const { return ProjectPaths{dir.path()}; }
    QString entryScript() const { return root() + "/apps/server/dist/index.js"; }

private:
    QTemporaryDir dir;
};

// Selects the behaviour of the fixture servers the manager launches.
void setFixtureMode(const QString& mode);
// Where launched fixtures write their report ({pid, workers, cwd, argv, env}).
QString fixtureReportPath();

// A fixture server the test starts itself: another instance's server, a
// foreign process holding the port, or an orphan of an earlier run. It is
// killed when the object goes away.
class ExternalServer {
public:
    ExternalServer(const QString& mode, int port, const QString& script = fixtureScript());
    ~ExternalServer();
    qint64 pid() const { return process->processId(); }
    bool isRunning() const { return process->state() != QProcess::NotRunning; }
    static QString fixtureScript() { return fixturePath(QStringLiteral("fixture-server.mjs")); }

private:
    std::unique_ptr<QProcess> process;
};

bool processAlive(qint64 pid);

// The time-outs are the program's own constants; these bounds only have to
// exceed them comfortably on a loaded two-core machine.
constexpr int settle = 20000;
constexpr int slowSettle = 90000;

// Runs a coroutine to completion inside the test's event loop.
template <typename T> void await(QCoro::Task<T>&& task) {
    bool done = false;
    [](QCoro::Task<T> t, bool& flag) -> QCoro::Task<> {
        co_await t;
        flag = true;
    }(std::move(task), done);
    QTRY_VERIFY_WITH_TIMEOUT(done, slowSettle);
}

inline bool logged(const ServerManager& manager, const QString& line) {
    return manager.logLines().contains(line);
}

} // namespace TestSupport
