// --idle-end: how long a tape has been silent. The clock starts when the
// tape begins and starts again at every byte; before the tape has begun
// there is no limit.
#pragma once

#include <chrono>

namespace zek::protocol_b {

class TapeSilence {
public:
    explicit TapeSilence(int limitSeconds) : limit_(limitSeconds) {}

    // The tape begins, or a byte came. Without a limit the clock is not
    // read: a tape of megabytes comes byte by byte.
    void restart()
    {
        if (limit_.count() == 0)
            return;
        begun_ = true;
        last_ = Clock::now();
    }

    // A limit of 0 is none.
    bool tooLong() const { return begun_ && Clock::now() - last_ >= limit_; }

private:
    using Clock = std::chrono::steady_clock;
    std::chrono::seconds limit_;
    bool begun_ = false;
    Clock::time_point last_;
};

}  // namespace zek::protocol_b
