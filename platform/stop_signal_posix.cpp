#include "platform/stop_signal.h"

#include <csignal>
#include <cstring>

#include <unistd.h>

namespace zek::platform {

namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t stopSignal = 0;

// Async-signal-safe: a flag, or the default action at once.
void onStopSignal(int signal)
{
    if (stopSignal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stopSignal = signal;
}

bool ignoredAtStart(int signal)
{
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

// No SA_RESTART: a wait in a system call returns with EINTR, so the run sees
// the request at once rather than after the call's own time.
void catchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : stopSignals)
        if (!ignoredAtStart(signal))
            sigaction(signal, &action, nullptr);
}

bool stopRequested()
{
    return stopSignal != 0;
}

const char* stopSignalName()
{
    switch (stopSignal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "";
    }
}

void endAsStopped()
{
    int signal = stopSignal != 0 ? int(stopSignal) : SIGTERM;
    std::signal(signal, SIG_DFL);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
    _exit(128 + signal);  // the shell's form, should the signal not end the process
}

}  // namespace zek::platform
