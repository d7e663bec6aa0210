#include "StopSignals.h"

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "PlatformLog.h"

namespace {

constexpr std::array<int, 3> STOP_SIGNALS = {SIGINT, SIGTERM, SIGHUP};

// The handler may only write to a pipe; the main thread reads the other end.
int pipeEnds[2] = {-1, -1};

void onStopSignal(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcPlatform) << "cannot make the pipe for stop signals";
        return;
    }
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < STOP_SIGNALS.size(); ++i) {
        if (::sigaction(STOP_SIGNALS[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN)
            continue;
        taken[i] = ::sigaction(STOP_SIGNALS[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals()
{
    for (size_t i = 0; i < STOP_SIGNALS.size(); ++i) {
        if (taken[i])
            ::sigaction(STOP_SIGNALS[i], &previous[i], nullptr);
    }
}

void StopSignals::readSignal()
{
    unsigned char number = 0;
    while (::read(pipeEnds[0], &number, 1) == 1)
        emit stopRequested(number);
}
