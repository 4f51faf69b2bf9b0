#pragma once

#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>

namespace TestSupport {

// Web engine settings every widget test needs before QApplication exists:
// the tests run as root in a container, where Chromium's sandbox cannot start,
// and Xvfb has no GPU. Values already in the environment win.
inline void prepareWebEngineEnvironment() {
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}

// The widget named `name` under `root`; a missing one ends the test program,
// as the test could only crash on it.
template <typename T = QWidget> T* child(const QWidget& root, const char* name) {
    auto* found = root.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget named %s", name);
    return found;
}

// The offscreen platform's screens for a test of two monitors, as a file for
// QT_QPA_PLATFORM=offscreen:configfile=.
constexpr char twoScreensConfig[] = R"({"screens": [
  {"name": "DP-1", "x": 0, "y": 0, "width": 1280, "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "HDMI-2", "x": 1280, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})";

} // namespace TestSupport

// VESPERLINE_TEST_MAIN for tests with widgets: home folders isolated first,
// then the web engine settings and `beforeApplication` (a callable, for
// example to choose the platform plugin), then a QApplication.
#define VESPERLINE_GUI_TEST_MAIN_WITH(TestClass, beforeApplication)                                \
    VESPERLINE_TEST_MAIN_USING(TestClass, QApplication, [] {                                       \
        TestSupport::prepareWebEngineEnvironment();                                                \
        (beforeApplication)();                                                                     \
    })

#define VESPERLINE_GUI_TEST_MAIN(TestClass) VESPERLINE_GUI_TEST_MAIN_WITH(TestClass, [] {})
