#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace TestSupport {

// Points HOME, XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and
// XDG_RUNTIME_DIR at fresh folders for the life of the test program, so no
// test ever reads or writes the real support directory or preferences; and
// the session bus at nowhere, so none reaches the real keyring (keyring tests
// get a private bus from tests/run-with-keyring instead).
class IsolatedHome {
public:
    IsolatedHome();

private:
    QTemporaryDir dir;
};

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
int freePort();

QString fixturePath(const QString& name);
QString stageDir();

// The Node.js executable the tests run fixtures with.
QString nodeExecutable();

// Writes bytes to a path, creating parent folders; fails the test on error.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Lets tasks that were cancelled at the very end (a wait woken by its
// cancellation, a deferred delete) run to their end before the program exits,
// so the leak checker does not count their suspended frames.
void drainEventLoop();

} // namespace TestSupport

// A QtTest main() that isolates the home folders before anything else runs,
// then calls `beforeApplication` and makes the `Application` object.
#define VESPERLINE_TEST_MAIN_USING(TestClass, Application, beforeApplication)                      \
    int main(int argc, char** argv) {                                                              \
        TestSupport::IsolatedHome isolatedHome;                                                    \
        (beforeApplication)();                                                                     \
        Application app(argc, argv);                                                               \
        int result = 0;                                                                            \
        {                                                                                          \
            TestClass tc;                                                                          \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            result = QTest::qExec(&tc, argc, argv);                                                \
        }                                                                                          \
        TestSupport::drainEventLoop();                                                             \
        return result;                                                                             \
    }

#define VESPERLINE_TEST_MAIN(TestClass)                                                            \
    VESPERLINE_TEST_MAIN_USING(TestClass, QCoreApplication, [] {})
