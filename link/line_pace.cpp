#include "link/line_pace.h"

#include <algorithm>
#include <climits>

namespace zek::link {

namespace {

constexpr long bitsPerByte = 10;  // a start bit, 8 data bits, a stop bit
// What zek lets the box hold ahead of its line: enough that the line never
// waits for the next send, little enough that a DC3 stops it soon.
constexpr std::chrono::milliseconds lead(50);

}  // namespace

void LinePace::start(long bitsPerSecond)
{
    bytesPerSecond_ = bitsPerSecond / bitsPerByte;
    lineFree_ = Clock::now();
}

LinePace::Clock::duration LinePace::busy(Clock::time_point now) const
{
    return std::max(lineFree_ - now, Clock::duration::zero());
}

int LinePace::room() const
{
    if (bytesPerSecond_ == 0)
        return INT_MAX;
    auto free = lead - busy(Clock::now());
    if (free <= Clock::duration::zero())
        return 0;
    long long bytes = free * bytesPerSecond_ / std::chrono::seconds(1);
    return int(std::max(bytes, 1LL));
}

int LinePace::waitMs() const
{
    if (room() > 0)
        return 0;
    auto wait = busy(Clock::now()) - lead;
    return std::max(1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
}

void LinePace::sent(int count)
{
    if (bytesPerSecond_ == 0)
        return;
    auto now = Clock::now();
    const Clock::duration second = std::chrono::seconds(1);
    lineFree_ = now + busy(now) + second * count / bytesPerSecond_;
}

}  // namespace zek::link
