#include "platform/clock.h"

#include <windows.h>

namespace zek::platform {

void sleepMs(int milliseconds)
{
    if (milliseconds > 0)
        Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace zek::platform
