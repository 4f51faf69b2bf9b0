#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One program per user. Closing the main window leaves the program running
// (it may be supervising the server), so launching it again from the desktop
// must bring that window back rather than start a second program that would
// fight the first over the server, its PID file and its log.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr int answerTimeoutMs = 1500;

    explicit SingleInstance(QObject* parent = nullptr);

    // In the per-user runtime directory, which only this user can enter.
    static QString socketPath();

    // Asks an instance already running to show its window; true when one
    // acknowledged, so this launch has nothing left to do.
    static bool activateRunningInstance();

    enum class Claim { listening, otherInstance, failed };

    // Takes the socket for this instance, replacing a stale one left by a
    // crash. otherInstance: one started at the same moment holds it, and has
    // been asked to show its window.
    Claim listen();

Q_SIGNALS:
    void activationRequested();

private:
    QLocalServer server;
};
