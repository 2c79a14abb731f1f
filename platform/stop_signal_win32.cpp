#include "platform/stop_signal.h"

#include <windows.h>

#include <atomic>

#include "platform/stop_event_win32.h"

namespace zek::platform {

namespace {

// The status Windows gives a console program ended by Ctrl-C.
constexpr UINT controlCExit = 0xC000013AU;
// Windows ends the process this long after a close event's handler was
// called; the orderly end needs about a second of it.
constexpr DWORD closeGraceMs = 4500;

std::atomic<DWORD> stopEvent{~DWORD(0)};
HANDLE wakeUp = nullptr;

bool isStopEvent(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
           event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

// Runs on a thread of its own. After a close, logoff or shutdown event the
// process ends when the handler returns: it waits for the run's orderly end,
// which ends the process first.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (!isStopEvent(event))
        return FALSE;
    DWORD none = ~DWORD(0);
    if (!stopEvent.compare_exchange_strong(none, event))
        ExitProcess(controlCExit);
    if (wakeUp)
        SetEvent(wakeUp);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(closeGraceMs);
    return TRUE;
}

}  // namespace

void catchStopSignals()
{
    wakeUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested()
{
    return stopEvent.load() != ~DWORD(0);
}

const char* stopSignalName()
{
    switch (stopEvent.load()) {
    case CTRL_C_EVENT:
        return "CTRL-C";
    case CTRL_BREAK_EVENT:
        return "CTRL-BREAK";
    case CTRL_CLOSE_EVENT:
        return "CONSOLE CLOSED";
    case CTRL_LOGOFF_EVENT:
        return "LOGOFF";
    case CTRL_SHUTDOWN_EVENT:
        return "SHUTDOWN";
    default:
        return "";
    }
}

HANDLE stopWakeUpEvent()
{
    return wakeUp;
}

void endAsStopped()
{
    ExitProcess(controlCExit);
}

}  // namespace zek::platform
