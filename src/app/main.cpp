#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/VesperlineApp.h"
#include "views/AppDetailView.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QTextStream>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcApp, "vesperline.app")

void prepareWebEngine() {
    // Chromium refuses to start its sandbox as root; a root session (a kiosk,
    // a container) would otherwise get no display output at all.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // No Qt::AA_ShareOpenGLContexts here: set before QApplication it loads the
    // OpenGL driver at every start. WebViewPlugin shares the contexts when the
    // first web view needs it.
}

} // namespace

int main(int argc, char** argv) {
    // Answered before QApplication exists, so they need no display.
    if (const auto exitCode = CommandLine::answer(argc, argv))
        return *exitCode;
    prepareWebEngine();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vesperline"));
    QApplication::setApplicationVersion(QStringLiteral(VESPERLINE_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("vesperline.org"));
    QApplication::setDesktopFileName(QStringLiteral("org.vesperline.Vesperline"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/AppLogo.svg")));

    if (SingleInstance::activateRunningInstance()) {
        qCInfo(lcApp, "Vesperline is already running; its window was brought to the front");
        return 0;
    }

    TerminationSignals terminationSignals;
    QObject::connect(
        &terminationSignals, &TerminationSignals::received, &application, [](int signal) {
            qCInfo(lcApp, "%s received, quitting", qPrintable(TerminationSignals::name(signal)));
            // exit(), not quit(): quit() first asks every window to close, and
            // the startup sheet refuses while a start is under way, which
            // would leave a logout or kill waiting for good.
            QCoreApplication::exit(0);
        });

    SingleInstance instance;
    switch (instance.listen()) {
    case SingleInstance::Claim::listening:
        break;
    case SingleInstance::Claim::otherInstance:
        return 0;
    case SingleInstance::Claim::failed:
        qCWarning(lcApp,
                  "Cannot take the single-instance socket %s; a second launch will "
                  "start a second program",
                  qPrintable(SingleInstance::socketPath()));
        break;
    }

    VesperlineApp vesperline;
    QObject::connect(&instance, &SingleInstance::activationRequested, &vesperline,
                     &VesperlineApp::showMainWindow);

    // For bench/startup: a line on stdout once the window has painted, and
    // one once its first screen is built.
    if (qEnvironmentVariableIsSet("VESPERLINE_REPORT_SHOWN")) {
        MainWindow& window = vesperline.mainWindow();
        QObject::connect(&window, &MainWindow::firstPainted, [] {
            QTextStream(stdout) << "vesperline: main window shown" << Qt::endl;
        });
        QObject::connect(&window.content().detail(), &AppDetailView::screenBuilt, [] {
            QTextStream(stdout) << "vesperline: first screen built" << Qt::endl;
        });
    }
    vesperline.showMainWindow();
    return application.exec();
}
