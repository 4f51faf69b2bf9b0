#include "services/NodeChecker.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

class TestNodeChecker : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A stand-in for a node executable: a shell script with the given body.
    QString fakeNode(const QString& name, const QByteArray& body) {
        const QString path = dir.filePath(name);
        TestSupport::writeFile(path, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    }

private Q_SLOTS:
    void probeAcceptsOnlyNode20AndLaterThatAnswersAndExitsCleanly() {
        const QString node20 = fakeNode("node20", "echo '  v20.11.1  '");
        QCOMPARE(NodeChecker::probeNode(node20),
                 (NodeChecker::NodeInfo{node20, "v20.11.1", false}));
        const QString nightly = fakeNode("nightly", "echo v22.3.0-nightly");
        QCOMPARE(NodeChecker::probeNode(nightly),
                 (NodeChecker::NodeInfo{nightly, "v22.3.0-nightly", false}));
        QCOMPARE(NodeChecker::probeNode(fakeNode("node19", "echo v19.9.0")), std::nullopt);
        QCOMPARE(NodeChecker::probeNode(fakeNode("failing", "echo v22.0.0; exit 3")), std::nullopt);
        QCOMPARE(NodeChecker::probeNode(fakeNode("garbled", "printf 'v22\\377\\376'")),
                 std::nullopt);
        QCOMPARE(NodeChecker::probeNode(dir.filePath("missing")), std::nullopt);

        const QString hanging = fakeNode("hanging", "exec sleep 613");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(NodeChecker::probeNode(hanging), std::nullopt);
        // Bounded, and the candidate is gone rather than left running.
        QVERIFY(clock.elapsed() < 60'000);
        const QByteArray command = QByteArray("sleep") + '\0' + "613";
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs))
            QVERIFY(!TestSupport::readFile("/proc/" + pid + "/cmdline").startsWith(command));
    }

    void searchOrder() {
        const QString embedded18 = fakeNode("embedded18", "echo v18.20.0");
        const QString embedded20 = fakeNode("embedded20", "echo v20.1.0");
        const QString old = fakeNode("older", "echo v18.19.0");
        const QString good = fakeNode("usrlocal", "echo v21.7.3");
        const QString fromShell = fakeNode("shell", "echo v22.2.0");
        const auto noShell = [] { return std::optional<QString>(); };
        const auto shell = [&] { return std::optional<QString>(fromShell); };

        auto found = NodeChecker::findNode(embedded20, {good}, shell);
        QCOMPARE(found, (NodeChecker::NodeInfo{embedded20, "v20.1.0", true}));

        found = NodeChecker::findNode(embedded18, {dir.filePath("absent"), old, good}, shell);
        QCOMPARE(found, (NodeChecker::NodeInfo{good, "v21.7.3", false}));

        found = NodeChecker::findNode(std::nullopt, {old}, shell);
        QCOMPARE(found, (NodeChecker::NodeInfo{fromShell, "v22.2.0", false}));

        QCOMPARE(NodeChecker::findNode(embedded18, {old}, noShell), std::nullopt);
    }

    void nodeBinaryComesFirstAndTheRealNodeIsFound() {
        qunsetenv("NODE_BINARY");
        const QStringList installed = NodeChecker::candidatePaths();
        qputenv("NODE_BINARY", "/custom/node");
        QCOMPARE(NodeChecker::candidatePaths(), QStringList{"/custom/node"} + installed);
        qunsetenv("NODE_BINARY");

        // The real Node.js is found directly and through the login shell.
        const auto found = NodeChecker::findNode();
        QVERIFY(found && NodeChecker::majorVersion(found->version) >= 20 && !found->isEmbedded);
        const auto node = NodeChecker::shellWhich("node");
        QVERIFY(node && NodeChecker::probeNode(*node));
        QCOMPARE(NodeChecker::shellWhich("no-such-command-vesperline"), std::nullopt);
    }
};

VESPERLINE_TEST_MAIN(TestNodeChecker)
#include "tst_nodechecker.moc"
