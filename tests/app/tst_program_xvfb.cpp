// The real executable on a real X display, installed in a temporary tree
// beside a fixture runtime, with the test's own temporary home: it starts,
// shows its window, and SIGTERM, SIGINT or SIGHUP ends it cleanly without
// touching a server it did not start.
#include "app/AppTestSupport.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <csignal>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

constexpr char shownLine[] = "vesperline: main window shown";

// One run of the program installed in `tree`, started at once; one that
// does not start shows in waitShown or finishes.
class Program {
public:
    explicit Program(const InstallTree& tree) {
        const QString built = QCoreApplication::applicationDirPath() + "/../src/app/vesperline";
        const QString executable = tree.binDir() + "/vesperline";
        if (!QFile::exists(executable) && !QFile::copy(built, executable))
            qFatal("cannot install %s", qPrintable(built));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VESPERLINE_REPORT_SHOWN", "1");
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        process.setProcessEnvironment(environment);
        process.start(executable, {});
    }
    ~Program() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    bool waitShown() {
        return QTest::qWaitFor(
                   [this] {
                       output += process.readAllStandardOutput();
                       return output.contains(shownLine) || process.state() == QProcess::NotRunning;
                   },
                   slowSettle) &&
               output.contains(shownLine);
    }

    // Whether the program ended normally in time.
    bool finishes() {
        const bool done = process.waitForFinished(settle);
        output += process.readAllStandardOutput();
        errors += process.readAllStandardError();
        return done && process.exitStatus() == QProcess::NormalExit;
    }

    // Sends the signal; the exit code, or -1 when the program did not end
    // normally in time.
    int endWith(int signal) {
        ::kill(pid_t(process.processId()), signal);
        return finishes() ? process.exitCode() : -1;
    }

    QProcess process;
    QByteArray output;
    QByteArray errors;
};

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    int port = 0;

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    // A second launch brings back the first instead of starting another; a
    // signal ends the first cleanly, leaving the server it adopted running,
    // and with its owner gone the next launch is a first one again.
    void aSecondLaunchBringsBackTheFirstAndEachSignalQuitsCleanly() {
        ExternalServer other("healthy", port);
        Program first(*tree);
        QVERIFY2(first.waitShown(), first.errors.constData());
        QTRY_VERIFY_WITH_TIMEOUT(
            readFile(ServerLog::filePath())
                .contains("Server already running on port " + QByteArray::number(port)),
            settle);

        Program second(*tree);
        QVERIFY(second.finishes());
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(!second.output.contains(shownLine));
        QVERIFY2(second.errors.contains("already running"), second.errors.constData());
        QCOMPARE(first.process.state(), QProcess::Running);

        QCOMPARE(first.endWith(SIGTERM), 0);
        QVERIFY2(first.errors.contains("SIGTERM received, quitting"), first.errors.constData());
        QVERIFY(other.isRunning());

        for (const int signal : {SIGINT, SIGHUP}) {
            Program next(*tree);
            QVERIFY2(next.waitShown(), next.errors.constData());
            QCOMPARE(next.endWith(signal), 0);
        }
    }
};

VESPERLINE_TEST_MAIN(TestProgram)
#include "tst_program_xvfb.moc"
