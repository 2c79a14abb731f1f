// The event that is set when a stop is asked for, so that a pause can end
// early. Windows builds only.
#pragma once

#include <windows.h>

namespace zek::platform {

// nullptr before catchStopSignals.
HANDLE stopWakeUpEvent();

}  // namespace zek::platform
