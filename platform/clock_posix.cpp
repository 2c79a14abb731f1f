#include "platform/clock.h"

#include <cerrno>
#include <ctime>

#include "platform/stop_signal.h"

namespace zek::platform {

void sleepMs(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    timespec rest{};
    rest.tv_sec = milliseconds / 1000;
    rest.tv_nsec = (milliseconds % 1000) * 1000000L;
    // A signal that is handled must not shorten a pause the protocol counts
    // on; only a stop does, so that the run ends within about a second.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR && !stopRequested()) {
    }
}

bool localTime(std::time_t moment, std::tm* local)
{
    return localtime_r(&moment, local) != nullptr;
}

}  // namespace zek::platform
