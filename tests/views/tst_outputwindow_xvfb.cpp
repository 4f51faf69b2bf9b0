#include "app/AppTestSupport.h"
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

// Set in the child run that checks the monitors and placement on a second one:
// Xvfb offers one screen per display, the offscreen platform as many as a
// file lists.
constexpr char screensVariable[] = "VESPERLINE_OUTPUT_SCREENS";
// Set in the child runs from a copy of this program in an install tree.
constexpr char installedVariable[] = "VESPERLINE_OUTPUT_INSTALLED";

void chooseScreens() {
    const QByteArray config = qgetenv(screensVariable);
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

// The output page's stand-in: red, so that it shows.
constexpr char page[] =
    "<!doctype html><html><body style=\"margin:0;background:#ff0000\"><p>Output</p></body></html>";

// The offscreen platform builds its screens from this file, in name order,
// the first the primary one; a repeated connector name yields a second screen
// of the same name.
constexpr char threeScreens[] = R"({"screens": [
  {"name": "DP-1",   "x": 0,    "y": 0, "width": 1280, "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "HDMI-2", "x": 1280, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "HDMI-2", "x": 2304, "y": 0, "width": 640,  "height": 480, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})";

// Records the key presses and releases that reach one object.
class KeyTap : public QObject {
public:
    QList<std::pair<QEvent::Type, int>> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            keys.append({event->type(), static_cast<QKeyEvent*>(event)->key()});
        return false;
    }
};

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
        // A long cache lifetime, so that a cache in the way would show; and an
        // endpoint that never answers.
        TestSupport::HttpResponse output{200, page, "text/html; charset=utf-8"};
        output.headers = {{"Cache-Control", "max-age=3600"}};
        server.setResponse("/output", output);
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

    void cleanup() { controller.reset(); }

    void opensFullScreenShowsThePageAndEveryReloadAsksTheServer() {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QUrl wide = server.url("/output?width=1920");
        const QUrl narrow = server.url("/output?width=1280");
        controller->open(wide, screen);

        QWidget* window = controller->window();
        QVERIFY(controller->isOpen() && window);
        // The first load waits for the next turn of the event loop.
        QVERIFY(controller->webView()->property("url").toUrl().isEmpty());

        // Not a tool window: it must take the focus.
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->isFullScreen());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(wide)), 1, 30'000);

        controller->reload(narrow);
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(narrow)), 1, 30'000);
        // Back to a page the server called fresh for an hour: only a load that
        // bypasses the cache asks for it again.
        controller->reload(wide);
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(wide)), 2, 30'000);
        QCOMPARE(server.hits("/output?width=1920"), 2);

        // Opening again replaces the window whole, the old one closed once.
        const QPointer<QWidget> first = window;
        controller->open(narrow, screen);
        QCOMPARE(closedCount, 1);
        QVERIFY(first->isHidden() && controller->window()->isVisible());
        QTRY_VERIFY(first.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(narrow)), 2, 30'000);

        // Destroying the controller tears an open window down at once, without
        // the event loop (at exit there may be none left), and tells nobody.
        const QPointer<QWidget> open = controller->window(), view = controller->webView();
        controller.reset();
        QVERIFY(open.isNull() && view.isNull());
        QCOMPARE(closedCount, 1);
    }

    void eachMonitorIsListedOnceAndTheWindowGoesToTheChosenOne() {
        if (!qEnvironmentVariableIsSet(screensVariable)) {
            QTemporaryDir dir;
            const QString config = dir.filePath("screens.json");
            TestSupport::writeFile(config, threeScreens);
            runChild(QCoreApplication::applicationFilePath(), screensVariable, config);
            return;
        }
        // Reference values of 32-bit FNV-1a over UTF-8 bytes (not Latin-1 or
        // UTF-16 code units); stored preferences depend on them.
        QCOMPARE(DisplayScreen::displayNumber(""), 0x811c9dc5u);
        QCOMPARE(DisplayScreen::displayNumber("foobar"), 0xbf9cf968u);
        QCOMPARE(DisplayScreen::displayNumber(QStringLiteral("Écran")), 0x41bc67ebu);

        const QList<DisplayScreen> displays = DisplayScreen::enumerate();
        const DisplayScreen dp{DisplayScreen::displayNumber("DP-1"), "DP-1", true, 1280, 720};
        const DisplayScreen hdmi{DisplayScreen::displayNumber("HDMI-2"), "HDMI-2", false, 1024,
                                 768};
        QCOMPARE(displays, (QList<DisplayScreen>{dp, hdmi}));
        QCOMPARE(displays[0].label(), QStringLiteral("DP-1 (Main) · 1280×720"));
        QCOMPARE(displays[1].label(), QStringLiteral("HDMI-2 · 1024×768"));

        // The first screen of a repeated name answers for it.
        QScreen* second = DisplayScreen::screen(hdmi.id);
        QVERIFY(second);
        controller->open(server.url("/output"), second);
        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->screen(), second);
        QCOMPARE(window->geometry(), QRect(1280, 0, 1024, 768));
    }

    void escapeClosesTheOutputAndReachesNoOtherWindow() {
        // A normal window of the program, standing in for the main window.
        QWidget other;
        other.setFocusPolicy(Qt::StrongFocus);
        other.resize(300, 200);
        KeyTap otherKeys;
        other.installEventFilter(&otherKeys);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));

        QVERIFY(openAndWaitLoaded(server.url("/output")));
        QWidget* window = controller->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QWindow* handle = window->windowHandle();
        QWidget* renderWidget = QApplication::focusWidget();
        QVERIFY(renderWidget && renderWidget->window() == window);
        KeyTap tap;
        renderWidget->installEventFilter(&tap);

        // Other keys reach the web view, pressed and released.
        QTest::keyClick(handle, Qt::Key_A);
        QCOMPARE(tap.keys.size(), 2);

        // Esc in another window of the program stays that window's own.
        QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
        QCOMPARE(otherKeys.keys.size(), 2);
        QCoreApplication::processEvents();
        QVERIFY(controller->isOpen());
        otherKeys.keys.clear();

        // Esc in the output: the press closes it, reaches neither the web view
        // nor an application-wide shortcut, and its release, which lands
        // wherever the focus goes next, is swallowed too.
        int shortcutFired = 0;
        auto shortcut = std::make_unique<QShortcut>(
            QKeySequence(Qt::Key_Escape), &other, [&] { ++shortcutFired; },
            Qt::ApplicationShortcut);
        const QPointer<QWidget> closing = window;
        QTest::keyPress(handle, Qt::Key_Escape);
        QTRY_COMPARE(closedCount, 1);
        QCOMPARE(shortcutFired, 0);
        shortcut.reset();
        QCOMPARE(tap.keys.size(), 2);
        // Closing again tells nobody.
        controller->close();
        QCOMPARE(closedCount, 1);
        QCOMPARE(changedCount, 2);
        QTest::keyRelease(other.windowHandle(), Qt::Key_Escape);
        QVERIFY(otherKeys.keys.isEmpty());
        QTRY_VERIFY(closing.isNull());

        // Afterwards Esc works normally again everywhere.
        QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
        QCOMPARE(otherKeys.keys.size(), 2);
        QCOMPARE(closedCount, 1);
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

        // A server that never answers times out; the stop that the time-out
        // makes is not reported a second time.
        controller->setLoadTimeout(std::chrono::milliseconds(500));
        controller->reload(server.url("/hang"));
        const QString timedOut =
            "[Vesperline] Display output provisional load failed: The request timed out.";
        QTRY_COMPARE_WITH_TIMEOUT(logCount(timedOut), 1, 30'000);
        controller->reload(server.url("/output"));
        QTRY_COMPARE_WITH_TIMEOUT(logCount(loadedLine(server.url("/output"))), 1, 30'000);
        QCOMPARE(outputLog.filter("failed").size(), 2);
        // None of the failures closed the window.
        QCOMPARE(closedCount, 0);

        // Closed by the window manager (the same path a WM_DELETE_WINDOW takes).
        const QPointer<QWidget> closing = window;
        QVERIFY(window->windowHandle()->close());
        QCOMPARE(closedCount, 1);
        QTRY_VERIFY(closing.isNull());
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
            const auto tree = AppTest::InstallTree::withFixtureRuntime();
            const QString self = QCoreApplication::applicationFilePath();
            const QString program = tree->binDir() + "/" + QFileInfo(self).fileName();
            const QString lib = tree->binDir() + "/../lib/vesperline";
            QVERIFY(QFile::copy(self, program));
            if (!plugin.isEmpty()) {
                QVERIFY(QDir().mkpath(lib));
                QVERIFY(
                    QFile::copy(plugin, lib + "/" + QFileInfo(WebViewPlugin::path()).fileName()));
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
        QCOMPARE(centreColour(window), QColor(Qt::black));
        // With no web view there is nothing to reload.
        controller->reload(server.url("/output?again"));
        QCOMPARE(outputLog.size(), 1);

        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        QTRY_COMPARE(closedCount, 1);
    }
};

VESPERLINE_GUI_TEST_MAIN_WITH(TestOutputWindow, chooseScreens)
#include "tst_outputwindow_xvfb.moc"
