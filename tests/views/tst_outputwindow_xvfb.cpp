#include "services/DisplayScreen.h"
#include "services/OutputWindowController.h"
#include "services/WebViewPlugin.h"
#include "support/GuiTestMain.h"
#include "support/HttpTestServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>

namespace {

// Set in the child run that checks placement on a second monitor: Xvfb offers
// one screen per display, the offscreen platform as many as a file lists.
constexpr char twoScreensVariable[] = "VESPERLINE_OUTPUT_TWO_SCREENS";
// Set in the child runs from a copy of this program in an install tree.
constexpr char installedVariable[] = "VESPERLINE_OUTPUT_INSTALLED";

void chooseScreens() {
    const QByteArray config = qgetenv(twoScreensVariable);
    if (!config.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
}

// Lines of the display output's logging category, in order.
QStringList outputLog;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrcmp(context.category, "vesperline.displayoutput") == 0)
        outputLog.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

int logCount(const QString& line) {
    return int(outputLog.count(line));
}

// The output page's stand-in: a red page whose script reports to the server
// when the page has the focus and every key it sees.
constexpr char page[] =
    "<!doctype html><html><head><script src=\"/keys.js\"></script>"
    "</head><body style=\"margin:0;background:#ff0000\"><p>Output</p></body></html>";
constexpr char script[] =
    "const keysSeen = [];"
    "addEventListener('keydown', event => {"
    "  keysSeen.push(event.key);"
    "  fetch('/seen?keys=' + keysSeen.join(','));"
    "});"
    "const focusWatch = setInterval(() => {"
    "  if (document.hasFocus()) { clearInterval(focusWatch); fetch('/seen?focus'); }"
    "}, 50);";

// A normal window of the program standing in for the main window: it records
// every key event that reaches it.
class KeyRecorder : public QWidget {
public:
    KeyRecorder() {
        setFocusPolicy(Qt::StrongFocus);
        resize(300, 200);
    }
    QList<std::pair<QEvent::Type, int>> keys;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            keys.append({event->type(), static_cast<QKeyEvent*>(event)->key()});
        return QWidget::event(event);
    }
};

// Records the key events that reach one object (the web view's render widget).
class KeyTap : public QObject {
public:
    QList<int> pressed;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            pressed.append(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

QList<QWidget*> visibleOutputWindows() {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<OutputWindow*>(widget); window && window->isVisible())
            found.append(window);
    return found;
}

// The colour at the centre of a window, web view included.
QColor centreColour(QWidget* window) {
    const QImage image = window->grab().toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.rect().center());
}

} // namespace

class TestOutputWindow : public QObject {
    Q_OBJECT

    TestSupport::HttpTestServer server;
    std::unique_ptr<OutputWindowController> controller;
    int closedCount = 0;
    int changedCount = 0;

    // Runs the current test function (and data row) again in `program`, with
    // `variable` set to `value`, and fails unless it passes there.
    static void runChild(const QString& program, const char* variable, const QString& value) {
        QString function = QString::fromLatin1(QTest::currentTestFunction());
        if (QTest::currentDataTag())
            function += ':' + QString::fromLatin1(QTest::currentDataTag());
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(variable, value);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(program, {function});
        QVERIFY(child.waitForFinished(120'000));
        const QByteArray output = child.readAll();
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            QFAIL(output.constData());
        QVERIFY2(output.contains("PASS   : TestOutputWindow::" +
                                 QByteArray(QTest::currentTestFunction())),
                 output.constData());
    }

    QString loadedLine(const QUrl& url) const {
        return "[Vesperline] Display output loaded " + url.toString(QUrl::FullyEncoded);
    }

    bool openAndWaitLoaded(const QUrl& url) {
        controller->open(url, QGuiApplication::primaryScreen());
        return QTest::qWaitFor([&] { return logCount(loadedLine(url)) > 0; }, 30'000);
    }

private Q_SLOTS:
    void initTestCase() {
        previousHandler = qInstallMessageHandler(recordMessage);
        // Long cache lifetimes, so that a cache in the way would show; an
        // endpoint that fails with 500, and one that never answers.
        const auto cached = [](int status, const QByteArray& body, const QByteArray& type) {
            TestSupport::HttpResponse response{status, body, type + "; charset=utf-8"};
            response.headers = {{"Cache-Control", "max-age=3600"}};
            return response;
        };
        server.setResponse("/output", cached(200, page, "text/html"));
        server.setResponse("/keys.js", cached(200, script, "text/javascript"));
        server.setResponse("/seen", cached(204, {}, "text/plain"));
        server.setResponse("/broken", cached(500, "<p>broken</p>", "text/html"));
        TestSupport::HttpResponse hang;
        hang.neverAnswer = true;
        server.setResponse("/hang", hang);
    }

    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void init() {
        outputLog.clear();
        closedCount = 0;
        changedCount = 0;
        controller = std::make_unique<OutputWindowController>();
        controller->onClosed = [this] { ++closedCount; };
        connect(controller.get(), &OutputWindowController::changed, this,
                [this] { ++changedCount; });
    }

    void cleanup() {
        controller.reset();
        QVERIFY(visibleOutputWindows().isEmpty());
    }

    void opensFullScreenShowsThePageAndEveryReloadAsksTheServer() {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QUrl wide = server.url("/output?width=1920");
        const QUrl narrow = server.url("/output?width=1280");
        controller->open(wide, screen);

        QWidget* window = controller->window();
        QVERIFY(controller->isOpen() && window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vesperline — Display Output"));
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        // The first load waits for the next turn of the event loop.
        QVERIFY(controller->webView()->property("url").toUrl().isEmpty());

        // Not a tool window: it must take the focus.
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->geometry(), screen->geometry());
        QVERIFY(window->isFullScreen());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(wide)), 1, 30'000);
        QTRY_COMPARE(centreColour(window), QColor(Qt::red));

        controller->reload(narrow);
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(narrow)), 1, 30'000);
        // Back to a page the server called fresh for an hour: only a load that
        // bypasses the cache asks for it again.
        controller->reload(wide);
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(wide)), 2, 30'000);
        QCOMPARE(server.hits("/output?width=1920"), 2);

        // Destroying the controller tears an open window down at once, without
        // the event loop (at exit there may be none left), and tells nobody.
        const QPointer<QWidget> open = window, view = controller->webView();
        controller.reset();
        QVERIFY(open.isNull() && view.isNull());
        QCOMPARE(closedCount, 0);
    }

    void placesTheWindowOnTheChosenScreen() {
        if (!qEnvironmentVariableIsSet(twoScreensVariable)) {
            QTemporaryDir dir;
            const QString config = dir.filePath("screens.json");
            TestSupport::writeFile(config, TestSupport::twoScreensConfig);
            runChild(QCoreApplication::applicationFilePath(), twoScreensVariable, config);
            return;
        }

        QScreen* second = DisplayScreen::screen(DisplayScreen::displayNumber("HDMI-2"));
        QVERIFY(second);
        controller->open(server.url("/output"), second);
        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->screen(), second);
        QCOMPARE(window->geometry(), QRect(1280, 0, 1024, 768));
    }

    void escapeClosesTheOutputAndReachesNoOtherWindow() {
        KeyRecorder other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));

        const int focusedBefore = server.hits("/seen?focus");
        QVERIFY(openAndWaitLoaded(server.url("/output")));
        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QWindow* handle = window->windowHandle();
        QWidget* renderWidget = QApplication::focusWidget();
        QVERIFY(renderWidget && renderWidget->window() == window);
        KeyTap tap;
        renderWidget->installEventFilter(&tap);

        // Other keys reach the page. Chromium drops input that comes before
        // the page's first paint or before its renderer has the focus.
        QTRY_COMPARE(centreColour(window), QColor(Qt::red));
        QTRY_COMPARE_WITH_TIMEOUT(server.hits("/seen?focus"), focusedBefore + 1, 10'000);
        QTest::keyClick(handle, Qt::Key_A);
        QTest::keyClick(handle, Qt::Key_B);
        QTRY_COMPARE(server.hits("/seen?keys=a,b"), 1);

        // Esc in another window of the program stays that window's own.
        QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
        QCOMPARE(other.keys.size(), 2);
        QCoreApplication::processEvents();
        QVERIFY(controller->isOpen());
        other.keys.clear();

        // Esc in the output: the press closes it, fires no application-wide
        // shortcut, and its release, which lands wherever the focus goes next,
        // is swallowed too.
        int shortcutFired = 0;
        auto shortcut = std::make_unique<QShortcut>(
            QKeySequence(Qt::Key_Escape), &other, [&] { ++shortcutFired; },
            Qt::ApplicationShortcut);
        const QPointer<QWidget> closing = window;
        QTest::keyPress(handle, Qt::Key_Escape);
        QTRY_COMPARE(closedCount, 1);
        QCOMPARE(shortcutFired, 0);
        shortcut.reset();
        QVERIFY(!controller->isOpen());
        QCOMPARE(tap.pressed, (QList<int>{Qt::Key_A, Qt::Key_B}));
        QTest::keyRelease(other.windowHandle(), Qt::Key_Escape);
        QVERIFY(other.keys.isEmpty());
        QTRY_VERIFY(closing.isNull());

        // Afterwards Esc works normally again everywhere.
        QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
        QCOMPARE(other.keys.size(), 2);
        QCOMPARE(closedCount, 1);
    }

    void eachWindowIsClosedOnceAndReplacedWhole() {
        controller->open(server.url("/output"), QGuiApplication::primaryScreen());
        controller->close();
        controller->close();
        QCOMPARE(closedCount, 1);
        QCOMPARE(changedCount, 2);

        QVERIFY(openAndWaitLoaded(server.url("/output?first")));
        const QPointer<QWidget> first = controller->window();
        controller->open(server.url("/output?second"), QGuiApplication::primaryScreen());
        QCOMPARE(closedCount, 2);
        QCOMPARE(visibleOutputWindows(), QList<QWidget*>{controller->window()});
        QTRY_VERIFY(first.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(server.url("/output?second"))), 1, 30'000);

        // Closed by the window manager (the same path a WM_DELETE_WINDOW takes).
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        const QPointer<QWidget> window = controller->window();
        QVERIFY(window->windowHandle()->close());
        QCOMPARE(closedCount, 3);
        QVERIFY(!controller->isOpen());
        QTRY_VERIFY(window.isNull());
    }

    void failedLoadsLeaveTheWindowOpenAndBlack() {
        // Nothing listens here: the load fails before any response.
        const QUrl refused(
            QStringLiteral("http://127.0.0.1:%1/output").arg(TestSupport::freePort()));
        controller->open(refused, QGuiApplication::primaryScreen());
        QTRY_COMPARE_WITH_TIMEOUT(logCount("[Vesperline] Display output provisional load failed: "
                                           "net::ERR_CONNECTION_REFUSED"),
                                  1, 30'000);
        // Black, not a browser error page.
        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE(centreColour(window), QColor(Qt::black));

        // The server answers, but with an error: a committed navigation failed.
        controller->reload(server.url("/broken"));
        QTRY_COMPARE_WITH_TIMEOUT(
            logCount("[Vesperline] Display output navigation failed: The server answered with "
                     "HTTP status 500."),
            1, 30'000);

        // A server that never answers times out; the stop that the time-out
        // makes is not reported a second time.
        controller->setLoadTimeout(std::chrono::milliseconds(500));
        controller->reload(server.url("/hang"));
        const QString timedOut =
            "[Vesperline] Display output provisional load failed: The request timed out.";
        QTRY_COMPARE_WITH_TIMEOUT(logCount(timedOut), 1, 30'000);
        controller->reload(server.url("/output"));
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(server.url("/output"))), 1, 30'000);
        QCOMPARE(logCount(timedOut), 1);
        QCOMPARE(outputLog.filter("navigation failed").size(), 1);
        // None of the failures closed the window.
        QVERIFY(controller->isOpen());
        QCOMPARE(closedCount, 0);
    }

    void anInstalledProgramFindsItsPluginOrSaysWhyItCannot_data() {
        QTest::addColumn<QString>("plugin");
        // The reason logged, with %1 for where the plugin was looked for;
        // empty when the page shows.
        QTest::addColumn<QString>("reason");
        QTest::newRow("its own") << WebViewPlugin::path() << QString();
        QTest::newRow("missing") << QString()
                                 << R"(the web view plugin is missing \(looked for %1\))";
        QTest::newRow("not a library") << VESPERLINE_FIXTURES_DIR "/fixture-server.mjs"
                                       << R"(the web view plugin did not load \(.*%1.*\))";
        QTest::newRow("another plugin")
            << QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/imageformats/libqgif.so"
            << R"(%1 is not the web view plugin)";
    }

    void anInstalledProgramFindsItsPluginOrSaysWhyItCannot() {
        QFETCH(QString, plugin);
        QFETCH(QString, reason);
        if (!qEnvironmentVariableIsSet(installedVariable)) {
            // Again from a copy of this program installed in a temporary tree
            // (bin/ beside share/vesperline) whose lib/vesperline holds a copy
            // of `plugin` under the plugin's name, or nothing.
            QVERIFY(plugin.isEmpty() || QFileInfo::exists(plugin));
            QTemporaryDir tree;
            const QString program = tree.filePath(
                "bin/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
            QVERIFY(QDir().mkpath(tree.filePath("bin")));
            QVERIFY(QDir().mkpath(tree.filePath("share/vesperline")));
            QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
            if (!plugin.isEmpty()) {
                QVERIFY(QDir().mkpath(tree.filePath("lib/vesperline")));
                QVERIFY(QFile::copy(plugin,
                                    tree.filePath("lib/vesperline/" +
                                                  QFileInfo(WebViewPlugin::path()).fileName())));
            }
            runChild(program, installedVariable, "1");
            return;
        }
        if (reason.isEmpty()) {
            QVERIFY(openAndWaitLoaded(server.url("/output")));
            QVERIFY(controller->problem().isEmpty());
            QTRY_COMPARE(centreColour(controller->window()), QColor(Qt::red));
            return;
        }
        const QUrl url = server.url("/output?unplugged");
        controller->open(url, QGuiApplication::primaryScreen());
        QVERIFY(controller->isOpen());
        QCOMPARE(controller->webView(), nullptr);
        const QRegularExpression expected(QRegularExpression::anchoredPattern(
            QRegularExpression::escape("[Vesperline] Display output cannot show the page: ") +
            reason.arg(QRegularExpression::escape(WebViewPlugin::path())) + "\\."));
        QCOMPARE(outputLog.size(), 1);
        QVERIFY2(expected.match(outputLog.value(0)).hasMatch(), qPrintable(outputLog.value(0)));
        // What the main window shows: the same reason and what to do about it.
        QCOMPARE(controller->problem(),
                 outputLog.value(0).mid(QStringLiteral("[Vesperline] ").size()) +
                     " Reinstall Vesperline.");

        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->isFullScreen());
        QCOMPARE(centreColour(window), QColor(Qt::black));
        // With no web view there is nothing to reload.
        controller->reload(server.url("/output?again"));
        QCOMPARE(outputLog.size(), 1);

        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        QTRY_COMPARE(closedCount, 1);
        QVERIFY(!controller->isOpen());
    }
};

VESPERLINE_GUI_TEST_MAIN_WITH(TestOutputWindow, chooseScreens)
#include "tst_outputwindow_xvfb.moc"
