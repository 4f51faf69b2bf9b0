#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM (a session logout), SIGINT and SIGHUP into a Qt signal on the
// main thread, so that they end the event loop and the program quits through
// its normal path instead of dying mid-way. The handler itself only writes the
// signal number into a pipe; everything else happens when the event loop reads
// it. One instance at a time; its destructor puts the previous handlers back.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    static const QList<int>& handledSignals();
    // "SIGTERM", "SIGINT", "SIGHUP".
    static QString name(int signal);

Q_SIGNALS:
    void received(int signal);

private:
    void drain();

    QSocketNotifier* notifier = nullptr;
};
