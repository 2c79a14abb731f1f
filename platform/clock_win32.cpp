#include "platform/clock.h"

#include <windows.h>

#include "platform/stop_event_win32.h"

namespace zek::platform {

// A stop ends the pause early, so that the run ends within about a second.
void sleepMs(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    HANDLE stop = stopWakeUpEvent();
    if (stop)
        WaitForSingleObject(stop, static_cast<DWORD>(milliseconds));
    else
        Sleep(static_cast<DWORD>(milliseconds));
}

bool localTime(std::time_t moment, std::tm* local)
{
    return localtime_s(local, &moment) == 0;
}

}  // namespace zek::platform
