#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;

// The server child: launched once, its output handed over as it comes
// (decoded; a chunk that is not UTF-8 is dropped), its exit reported once,
// one event-loop turn later. Letting go of it never kills it or blocks: a
// child that still runs is parked until it exits by itself, since QProcess's
// destructor would SIGKILL it and wait. Tests of the manager's state machine
// derive a stand-in that launches nothing.
class ServerProcess : public QObject {
    Q_OBJECT

public:
    struct Launch {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QProcessEnvironment environment;
    };

    explicit ServerProcess(QObject* parent = nullptr);
    ~ServerProcess() override;

    // False when the program could not be started; errorString() says why.
    virtual bool start(const Launch& launch);
    virtual QString errorString() const;
    virtual qint64 processId() const;
    virtual bool isRunning() const;
    // SIGTERM.
    virtual void terminate();
    // Hands over what the pipes still hold; called before the exit is handled.
    virtual void drain();

Q_SIGNALS:
    void standardOutput(const QString& text);
    void standardError(const QString& text);
    void exited(int exitCode, bool normalExit);

private:
    void forward(const QByteArray& bytes, void (ServerProcess::*signal)(const QString&));

    QProcess* process_ = nullptr;
};
