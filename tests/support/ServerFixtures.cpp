#include "support/ServerFixtures.h"

#include "services/ApplicationSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <csignal>

namespace TestSupport {

FixtureRuntime::FixtureRuntime() {
    QDir().mkpath(root() + "/apps/server/dist");
    QFile::copy(ExternalServer::fixtureScript(), entryScript());
    writeFile(root() + "/package.json", "{\"name\":\"fixture\",\"type\":\"module\"}\n");
    writeFile(root() + "/apps/server/package.json", "{\"type\":\"module\"}\n");
    QDir().mkpath(root() + "/apps/web/dist");
    if (!QFile::exists(ApplicationSupport::path("data/bible.sqlite")))
        writeFile(ApplicationSupport::path("data/bible.sqlite"), "SQLite format 3");
}

void setFixtureMode(const QString& mode) {
    qputenv("VESPERLINE_FIXTURE_MODE", mode.toUtf8());
    qputenv("VESPERLINE_FIXTURE_REPORT", fixtureReportPath().toUtf8());
    QFile::remove(fixtureReportPath());
}

QString fixtureReportPath() {
    return QDir::tempPath() + QStringLiteral("/vesperline-fixture-%1.json").arg(getpid());
}

ExternalServer::ExternalServer(const QString& mode, int port, const QString& script)
    : process(std::make_unique<QProcess>()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PORT", QString::number(port));
    environment.insert("HOST", "127.0.0.1");
    environment.insert("VESPERLINE_FIXTURE_MODE", mode);
    environment.remove("VESPERLINE_FIXTURE_REPORT");
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(nodeExecutable(), {script});
    if (!process->waitForStarted())
        qFatal("cannot start the fixture server");
    // Ready once it accepts connections.
    if (!QTest::qWaitFor([port] { return PortOwner::isLocalTCPPortOpen(port); }, 20000))
        qFatal("the fixture server never listened on port %d", port);
}

ExternalServer::~ExternalServer() {
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
    }
}

bool processAlive(qint64 pid) {
    if (pid < 1 || ::kill(pid_t(pid), 0) != 0)
        return false;
    // A zombie has exited; only its parent has not collected it yet.
    const QByteArray status = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = status.lastIndexOf(')');
    return close < 0 || status.mid(close + 2, 1) != "Z";
}

} // namespace TestSupport
