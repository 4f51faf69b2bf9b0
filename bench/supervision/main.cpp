// Supervision benchmark, against the real staged runtime:
//  (a) Start until status running, beside the time the same node command takes
//      to answer its first health request when started alone (the floor);
//  (b) a running child killed with SIGKILL until status is crashed;
//  (c) stop() until the port is free.
// Runs in a temporary HOME so the real support directory is never touched.
#include "../lib/BenchSupport.h"
#include "services/ApplicationSupport.h"
#include "services/ServerEnvironment.h"
#include "services/ServerManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>

namespace {

constexpr int rounds = 7;

const QString project = QStringLiteral(VESPERLINE_STAGE_DIR "/share/vesperline/project");
const QString node = QStringLiteral(VESPERLINE_STAGE_DIR "/share/vesperline/node/bin/node");

using BenchSupport::freePort;
using BenchSupport::median;
using BenchSupport::waitFor;

bool healthAnswers(int port) {
    const QByteArray answer = BenchSupport::healthAnswer(port);
    return answer.startsWith("HTTP/1.1 200") && answer.contains("\"ok\":true");
}

// The node command alone, polled as fast as a client can.
double floorStartMs(int port, const QProcessEnvironment& environment) {
    QProcess server;
    server.setProcessEnvironment(environment);
    server.setWorkingDirectory(project);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    server.start(node, {project + "/apps/server/dist/index.js"});
    waitFor([&] { return healthAnswers(port); });
    const double elapsed = clock.nsecsElapsed() / 1e6;
    server.terminate();
    server.waitForFinished(5000);
    return elapsed;
}

struct Round {
    double startMs;
    double crashMs;
    double stopMs;
};

Round managedRound() {
    const int port = freePort();
    Round round{};
    {
        ServerManager manager(ProjectPaths{project}, node, port);
        QElapsedTimer clock;
        clock.start();
        manager.start();
        waitFor([&] { return manager.status() == ServerStatus::running; });
        round.startMs = clock.nsecsElapsed() / 1e6;
        const qint64 pid = *manager.childProcessId();
        clock.restart();
        ::kill(pid_t(pid), SIGKILL);
        waitFor([&] { return manager.status() == ServerStatus::crashed; });
        round.crashMs = clock.nsecsElapsed() / 1e6;
    }
    {
        ServerManager manager(ProjectPaths{project}, node, port);
        manager.start();
        waitFor([&] { return manager.status() == ServerStatus::running; });
        QElapsedTimer clock;
        clock.start();
        manager.stop();
        waitFor([&] { return !PortOwner::isLocalTCPPortOpen(port); });
        round.stopMs = clock.nsecsElapsed() / 1e6;
        manager.shutdownOnTerminate();
    }
    return round;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    QCoreApplication app(argc, argv);
    if (!QFileInfo::exists(project + "/apps/server/dist/index.js")) {
        std::fprintf(stderr, "The staged runtime is missing: run `make stage` first.\n");
        return 1;
    }
    if (const auto error = ApplicationSupport::bootstrap(project)) {
        std::fprintf(stderr, "%s\n", qPrintable(*error));
        return 1;
    }

    QList<double> floors, starts, crashes, stops;
    for (int i = 0; i < rounds; ++i) {
        // Alternate the two so load on the machine hits both alike.
        const int port = freePort();
        floors << floorStartMs(port,
                               ServerEnvironment::forChild(ProjectPaths{project}, node, port));
        const Round round = managedRound();
        starts << round.startMs;
        crashes << round.crashMs;
        stops << round.stopMs;
    }
    const double ratio = median(starts) / median(floors);
    std::printf("start to running:   median %.0f ms, node alone to first health %.0f ms, "
                "ratio %.2f (goal <= 1.15)\n",
                median(starts), median(floors), ratio);
    std::printf("SIGKILL to crashed: median %.1f ms (goal < 50 ms)\n", median(crashes));
    std::printf("stop() to port free: median %.0f ms\n", median(stops));
    return 0;
}
