#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>

namespace TestSupport {

IsolatedHome::IsolatedHome() {
    if (!dir.isValid())
        qFatal("cannot create a temporary home folder");
    const QString base = dir.path();
    for (const char* sub : {"data", "config", "cache", "runtime"})
        QDir(base).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(base + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", base.toUtf8());
    qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (base + "/cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (base + "/runtime").toUtf8());
    // The desktop's session bus leads to the user's real keyring. Only the
    // private bus of tests/run-with-keyring may be used; without it, an
    // address where nothing listens makes every keyring call fail at once
    // (an unset one would let GLib start a bus of its own under X).
    if (!qEnvironmentVariableIsSet("VESPERLINE_TEST_SESSION_BUS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + base + "/runtime/no-bus").toUtf8());
}

int freePort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        qFatal("no free port on 127.0.0.1");
    return server.serverPort();
}

QString fixturePath(const QString& name) {
    return QStringLiteral(VESPERLINE_FIXTURES_DIR) + "/" + name;
}

QString stageDir() {
    return QStringLiteral(VESPERLINE_STAGE_DIR);
}

QString nodeExecutable() {
    const QString found = QStandardPaths::findExecutable("node");
    return found.isEmpty() ? QStringLiteral("/usr/bin/node") : found;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

void drainEventLoop() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 200) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace TestSupport
