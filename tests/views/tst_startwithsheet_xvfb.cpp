#include "services/ApplicationSupport.h"
#include "services/Preferences.h"
#include "services/ServerManager.h"
#include "support/ServerFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace TestSupport;

namespace {

// Drives the X server the way a person at the keyboard would.
QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QString logText() {
    return QString::fromUtf8(readFile(ServerLog::filePath()));
}

} // namespace

// The staged program as an operator meets it: a fresh machine, Ctrl+R on the
// Dashboard, the progress sheet following the start to success and closing
// itself, Ctrl+. to stop, and the port free again.
class TestStartWithSheet : public QObject {
    Q_OBJECT

    QProcess program;
    int port = 0;

private Q_SLOTS:
    void initTestCase() {
        const QString executable = stageDir() + "/bin/vesperline";
        if (!QFileInfo(executable).isExecutable())
            QFAIL("the staged program is missing: run `make stage` first");
        port = freePort();
        QVERIFY(Preferences::setInteger("serverPort", port).ok());
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(executable, {});
        QVERIFY(program.waitForStarted());
    }

    void ctrlRStartsTheServerAndTheSheetClosesItselfOnSuccess() {
        QString window;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(window = xdotool({"search", "--onlyvisible", "--name", "^Vesperline$"})
                           .section('\n', 0, 0))
                 .isEmpty(),
            slowSettle);
        // First launch seeded the support directory from the staged runtime.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(ApplicationSupport::path("data/bible.sqlite")),
                                 settle);
        // A window that has just been mapped may not take keys yet: press
        // again until the start shows in the log (Start is disabled once a
        // start runs, so a late first press cannot start twice).
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
        QVERIFY(PortOwner::isLocalTCPPortOpen(port));
        // Three quiet seconds and a five-second countdown, then the sheet goes.
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains("Sheet dismissed (success)"), slowSettle);
        QVERIFY(PortOwner::isLocalTCPPortOpen(port));

        xdotool({"windowfocus", "--sync", window});
        xdotool({"key", "--clearmodifiers", "ctrl+period"});
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains("Server stopped"), slowSettle);
        QTRY_VERIFY_WITH_TIMEOUT(!PortOwner::isLocalTCPPortOpen(port), settle);
    }

    void quittingBySigtermEndsTheServerItStarted() {
        QFile::remove(ServerLog::filePath());
        const QString window =
            xdotool({"search", "--onlyvisible", "--name", "^Vesperline$"}).section('\n', 0, 0);
        bool started = false;
        for (int attempt = 0; attempt < 15 && !started; ++attempt) {
            xdotool({"windowfocus", "--sync", window});
            xdotool({"key", "--clearmodifiers", "ctrl+r"});
            started = QTest::qWaitFor([] { return logText().contains("Start clicked"); }, 2000);
        }
        QVERIFY(started);
        QTRY_VERIFY2_WITH_TIMEOUT(
            logText().contains("Server started on port " + QString::number(port)),
            qPrintable(logText()), slowSettle);
        const auto pid = PidFile::read();
        QVERIFY(pid.has_value());

        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(*pid), settle);
        QTRY_VERIFY_WITH_TIMEOUT(!PortOwner::isLocalTCPPortOpen(port), settle);
        QVERIFY(!QFileInfo::exists(PidFile::path()));
    }

    void cleanupTestCase() {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            QVERIFY(program.waitForFinished(20000));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!PortOwner::isLocalTCPPortOpen(port), settle);
    }
};

VESPERLINE_TEST_MAIN(TestStartWithSheet)
#include "tst_startwithsheet_xvfb.moc"
