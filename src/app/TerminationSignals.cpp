#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1};
struct sigaction previousActions[NSIG];

void handleSignal(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe drops the byte; an earlier one is already waiting.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &number, 1);
    errno = savedErrno;
}

} // namespace

const QList<int>& TerminationSignals::handledSignals() {
    static const QList<int> list{SIGTERM, SIGINT, SIGHUP};
    return list;
}

QString TerminationSignals::name(int signal) {
    switch (signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    }
    return QStringLiteral("signal %1").arg(signal);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    Q_ASSERT(pipeFds[0] == -1);
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Cannot watch for termination signals: %s", strerror(errno));
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals())
        ::sigaction(signal, &action, &previousActions[signal]);
}

TerminationSignals::~TerminationSignals() {
    if (pipeFds[0] == -1)
        return;
    for (const int signal : handledSignals())
        ::sigaction(signal, &previousActions[signal], nullptr);
    delete notifier;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void TerminationSignals::drain() {
    unsigned char numbers[16];
    ssize_t count;
    while ((count = ::read(pipeFds[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            Q_EMIT received(numbers[i]);
    }
}
