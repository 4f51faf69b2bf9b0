// Startup benchmark: time from exec to the main window's first paint, for the
// staged Vesperline and for a minimal Qt Widgets window built in the same
// tree (the floor), alternating in the same run, with a second floor that only
// adds Qt WebEngine to the minimal window; then the resident memory of
// each once idle. Vesperline runs with a temporary HOME: the first run of a
// home is a first launch (the support directory is seeded from the staged
// runtime), the others are ordinary launches. Nothing listens on its port, so
// the launch-time server check finds nothing.
//
// Run under a display: xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_startup
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>

namespace {

constexpr int rounds = 9;
constexpr int idleSettleMs = 4000;

const QString vesperline = QStringLiteral(VESPERLINE_STAGE_DIR "/bin/vesperline");
const QString floorProgram = QStringLiteral(VESPERLINE_FLOOR_PROGRAM);
const QString webEngineFloorProgram = QStringLiteral(VESPERLINE_WEBENGINE_FLOOR_PROGRAM);

struct Run {
    double shownMs = 0;
    // Vesperline only: until its first screen (the Dashboard) is built.
    double screenMs = 0;
    qint64 rssKiB = 0;
};

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

int freePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// One launch: exec until the "shown" line, optionally the idle memory, then SIGTERM.
std::optional<Run> launch(const QString& program, const QProcessEnvironment& environment,
                          bool measureMemory) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray output;
    while (!output.contains("main window shown")) {
        if (!process.waitForReadyRead(30000))
            return std::nullopt;
        output += process.readAllStandardOutput();
    }
    Run run;
    run.shownMs = double(clock.nsecsElapsed()) / 1e6;
    if (program == vesperline) {
        while (!output.contains("first screen built")) {
            if (!process.waitForReadyRead(30000))
                return std::nullopt;
            output += process.readAllStandardOutput();
        }
        run.screenMs = double(clock.nsecsElapsed()) / 1e6;
    }
    if (measureMemory) {
        QThread::msleep(idleSettleMs); // idle means: left alone for a while
        run.rssKiB = residentKiB(process.processId());
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(20000))
        process.kill();
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (!QFile::exists(vesperline)) {
        std::fprintf(stderr, "bench_startup: %s is missing; run `make stage` first\n",
                     qPrintable(vesperline));
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_startup: needs a display; run it under xvfb-run\n");
        return 1;
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* sub : {"data", "config", "cache", "runtime"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(home.path() + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("HOME", home.path());
    environment.insert("XDG_DATA_HOME", home.path() + "/data");
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("XDG_CACHE_HOME", home.path() + "/cache");
    environment.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
    environment.insert("VESPERLINE_REPORT_SHOWN", "1");
    QDir(home.path()).mkpath("config/Vesperline");
    QFile preferences(home.path() + "/config/Vesperline/preferences.json");
    preferences.open(QIODevice::WriteOnly);
    preferences.write(QStringLiteral("{\"serverPort\": %1}\n").arg(freePort()).toUtf8());
    preferences.close();

    // Both programs once, to warm the page cache and font caches alike.
    const auto first = launch(vesperline, environment, false);
    if (!first || !launch(floorProgram, environment, false) ||
        !launch(webEngineFloorProgram, environment, false)) {
        std::fprintf(stderr, "bench_startup: a program did not show its window\n");
        return 1;
    }

    std::vector<double> app, appScreen, bare, withWebEngine;
    qint64 appRss = 0, bareRss = 0, webEngineRss = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool last = round == rounds - 1;
        const auto a = launch(vesperline, environment, last);
        const auto b = launch(floorProgram, environment, last);
        const auto c = launch(webEngineFloorProgram, environment, last);
        if (!a || !b || !c) {
            std::fprintf(stderr, "bench_startup: a program did not show its window\n");
            return 1;
        }
        app.push_back(a->shownMs);
        appScreen.push_back(a->screenMs);
        bare.push_back(b->shownMs);
        withWebEngine.push_back(c->shownMs);
        if (last) {
            appRss = a->rssKiB;
            bareRss = b->rssKiB;
            webEngineRss = c->rssKiB;
        }
    }

    const double appMedian = median(app);
    const double bareMedian = median(bare);
    const double webEngineMedian = median(withWebEngine);
    std::printf("startup, exec to main window shown (median of %d):\n", rounds);
    std::printf("  first launch (seeds the support directory): %8.1f ms\n", first->shownMs);
    std::printf("  vesperline                                : %8.1f ms\n", appMedian);
    std::printf("  minimal Qt Widgets window (floor)         : %8.1f ms\n", bareMedian);
    std::printf("  the same window linked with Qt WebEngine  : %8.1f ms\n", webEngineMedian);
    std::printf("  ratio to the minimal window               : %8.2f   (goal <= 1.50)\n",
                appMedian / bareMedian);
    std::printf("  ratio to the window with Qt WebEngine     : %8.2f\n",
                appMedian / webEngineMedian);
    std::printf("  vesperline, until the Dashboard is built  : %8.1f ms (ratio %.2f)\n",
                median(appScreen), median(appScreen) / bareMedian);
    std::printf("idle resident memory, %d s after the window showed:\n", idleSettleMs / 1000);
    std::printf("  vesperline                                : %8.1f MiB\n", appRss / 1024.0);
    std::printf("  minimal Qt Widgets window (floor)         : %8.1f MiB\n", bareRss / 1024.0);
    std::printf("  the same window linked with Qt WebEngine  : %8.1f MiB\n", webEngineRss / 1024.0);
    return 0;
}
