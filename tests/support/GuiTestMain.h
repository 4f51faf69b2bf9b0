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
