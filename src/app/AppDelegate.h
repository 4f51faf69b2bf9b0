#pragma once

#include <QObject>
#include <QPointer>

class AppViewModel;

// Runs the termination steps when the program quits, by Quit, by the session
// ending or by a signal. It holds the state object weakly, and only once the
// main window has been on screen: a program that quits before that has
// nothing of the user's to clean up.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);

    QPointer<AppViewModel> appViewModel;

    // Closes the display output, cancels a running translation import
    // (waiting for its script to clean up), then lets the server manager end a server
    // this program started (one it only adopted keeps running). Synchronous:
    // the process exits right after.
    void applicationWillTerminate();
};
