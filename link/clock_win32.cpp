#include "link/clock.h"

#include <windows.h>

namespace zek::link {

void sleepMs(int milliseconds)
{
    if (milliseconds > 0)
        Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace zek::link
