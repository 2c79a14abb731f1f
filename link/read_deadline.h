// The end of a wait for bytes, on the steady clock: a 64-bit count that does
// not wrap in any uptime a PC reaches (a 32-bit count of milliseconds wraps
// after 24.8 days).
#pragma once

#include <chrono>

namespace zek::link {

class ReadDeadline {
public:
    using Clock = std::chrono::steady_clock;
    using Now = Clock::time_point (*)();

    // now: where the time is read; tests start a clock of their own anywhere.
    explicit ReadDeadline(std::chrono::milliseconds wait, Now now = Clock::now) : now_(now), end_(now() + wait) {}

    // What is left of the wait, 0 once it has passed.
    int remainingMs() const
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - now_());
        return left.count() > 0 ? int(left.count()) : 0;
    }

    bool passed() const { return now_() >= end_; }

private:
    Now now_;
    Clock::time_point end_;
};

}  // namespace zek::link
