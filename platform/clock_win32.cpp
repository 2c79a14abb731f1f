#include "platform/clock.h"

#include <windows.h>

namespace zek::platform {

void sleepMs(int milliseconds)
{
    if (milliseconds > 0)
        Sleep(static_cast<DWORD>(milliseconds));
}

bool localTime(std::time_t moment, std::tm* local)
{
    return localtime_s(local, &moment) == 0;
}

}  // namespace zek::platform
