// Waiting a fixed time, and the local time of day.
#pragma once

#include <ctime>

namespace zek::platform {

// A pause; a stop of the run (see stop_signal.h) ends it early.
void sleepMs(int milliseconds);

// The local time of a moment; false when the system cannot convert it. Reads
// the time zone once, not again for every time stamp.
bool localTime(std::time_t moment, std::tm* local);

}  // namespace zek::platform
