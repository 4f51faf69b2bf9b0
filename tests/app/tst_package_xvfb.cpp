// The Debian package as a user gets it: unpacked into a temporary root, its
// program started from there with a fresh home, seeding the data folder from
// the packaged runtime and starting the server on the packaged Node.js.
#include "services/ApplicationSupport.h"
#include "services/PidFile.h"
#include "services/PortOwner.h"
#include "services/Preferences.h"
#include "services/ServerLog.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

using namespace TestSupport;

namespace {

const QString packageFile =
    QStringLiteral(VESPERLINE_DEB_DIR "/vesperline_" VESPERLINE_VERSION "_amd64.deb");

struct Run {
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(120000);
    return {done && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAll()};
}

QString xdotool(const QStringList& arguments) {
    return QString::fromUtf8(run(QStringLiteral("xdotool"), arguments).output).trimmed();
}

QString logText() {
    return QString::fromUtf8(readFile(ServerLog::filePath()));
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString usr() const { return root.filePath("usr"); }
    QString program() const { return usr() + "/bin/vesperline"; }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(packageFile), qPrintable(packageFile + " was not built"));
        const Run unpack = run("dpkg-deb", {"-x", packageFile, root.path()});
        QVERIFY2(unpack.exitCode == 0, unpack.output.constData());
    }

    void holdsTheProgramItsRuntimeAndTheDesktopFilesUnderUsrOnly() {
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"usr"});
        for (const char* file : {"bin/vesperline", "lib/vesperline/libvesperline_webview.so",
                                 "share/vesperline/node/bin/node",
                                 "share/vesperline/project/apps/server/dist/index.js",
                                 "share/vesperline/project/node_modules/fastify/package.json",
                                 "share/vesperline/project/data/bible.sqlite",
                                 "share/applications/org.vesperline.Vesperline.desktop",
                                 "share/metainfo/org.vesperline.Vesperline.metainfo.xml",
                                 "share/icons/hicolor/scalable/apps/org.vesperline.Vesperline.svg",
                                 "share/icons/hicolor/48x48/apps/org.vesperline.Vesperline.png"})
            QVERIFY2(QFileInfo(usr() + "/" + file).isFile(), file);
        QVERIFY(QFileInfo(program()).isExecutable());
        QVERIFY(QFileInfo(usr() + "/share/vesperline/node/bin/node").isExecutable());

        // The libraries come from the links dpkg-shlibdeps found.
        const Run depends = run("dpkg-deb", {"-f", packageFile, "Depends"});
        QVERIFY2(depends.output.contains("libqt6widgets6") && depends.output.contains("libc6") &&
                     depends.output.contains("lsof"),
                 depends.output.constData());
    }

    void versionAndHelpAnswerWithoutADisplay() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        const Run version = run(program(), {"--version"}, environment);
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.output.startsWith("Vesperline " VESPERLINE_VERSION "\n"),
                 version.output.constData());
        QVERIFY(version.output.contains(ApplicationSupport::supportURL().toUtf8()));
        const Run help = run(program(), {"--help"}, environment);
        QCOMPARE(help.exitCode, 0);
        QVERIFY2(help.output.contains("Usage: vesperline"), help.output.constData());
        QVERIFY(!QFileInfo::exists(ApplicationSupport::supportURL()));
    }

    void startsItsServerOnThePackagedNodeAndQuitsCleanly() {
        const int port = freePort();
        QVERIFY(Preferences::setInteger("serverPort", port).ok());
        QProcess vesperline;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VESPERLINE_REPORT_SHOWN", "1");
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        vesperline.setProcessEnvironment(environment);
        vesperline.start(program(), {});
        QByteArray output;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         output += vesperline.readAllStandardOutput();
                         return output.contains("vesperline: main window shown") ||
                                vesperline.state() == QProcess::NotRunning;
                     },
                     slowSettle) &&
                     vesperline.state() == QProcess::Running,
                 vesperline.readAllStandardError().constData());

        // The first launch seeded the data folder from the packaged runtime.
        const QString packaged = usr() + "/share/vesperline/project";
        QCOMPARE(readFile(ApplicationSupport::path("data/bible.sqlite")),
                 readFile(packaged + "/data/bible.sqlite"));
        QCOMPARE(readFile(ApplicationSupport::path("bookmarks.json")),
                 readFile(packaged + "/bookmarks.json"));

        const QString window =
            xdotool({"search", "--onlyvisible", "--name", "^Vesperline$"}).section('\n', 0, 0);
        QVERIFY(!window.isEmpty());
        // A window just mapped may not take keys yet; Start is disabled once
        // a start runs, so pressing again cannot start twice.
        bool started = false;
        for (int attempt = 0; attempt < 15 && !started; ++attempt) {
            xdotool({"windowfocus", "--sync", window});
            xdotool({"key", "--clearmodifiers", "ctrl+r"});
            started = QTest::qWaitFor([] { return logText().contains("Start clicked"); }, 2000);
        }
        QVERIFY2(started, "Ctrl+R never reached the Dashboard");
        QTRY_VERIFY2_WITH_TIMEOUT(
            logText().contains("Server started on port " + QString::number(port)),
            qPrintable(logText()), slowSettle);
        const auto pid = PidFile::read();
        QVERIFY(pid.has_value());
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(*pid)).canonicalFilePath(),
                 QFileInfo(usr() + "/share/vesperline/node/bin/node").canonicalFilePath());
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(*pid)).canonicalFilePath(),
                 QFileInfo(packaged).canonicalFilePath());

        ::kill(pid_t(vesperline.processId()), SIGTERM);
        QVERIFY(vesperline.waitForFinished(20000));
        QCOMPARE(vesperline.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vesperline.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(*pid), settle);
        QTRY_VERIFY_WITH_TIMEOUT(!PortOwner::isLocalTCPPortOpen(port), settle);
    }
};

VESPERLINE_TEST_MAIN(TestPackage)
#include "tst_package_xvfb.moc"
