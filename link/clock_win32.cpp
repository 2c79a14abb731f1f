#include "link/clock.h"

#include <windows.h>

void sleepMs(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}
