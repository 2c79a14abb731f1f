#include "link/line_pace.h"

#include <algorithm>
#include <climits>

namespace zek::link {

namespace {

constexpr long bitsPerByte = 10;  // a start bit, 8 data bits, a stop bit
// What zek lets the box hold ahead of its line: few characters, so that a
// DC3 stops the tape nearly as soon as on a cable; but never less than a
// pause the system keeps to, so that the line does not wait for zek.
constexpr long leadBytes = 16;
constexpr std::chrono::milliseconds shortestLead(5);
constexpr LinePace::Clock::duration second = std::chrono::seconds(1);

}  // namespace

void LinePace::start(long bitsPerSecond)
{
    bytesPerSecond_ = bitsPerSecond / bitsPerByte;
    lineFree_ = Clock::now();
    if (bytesPerSecond_ > 0)
        lead_ = std::max<Clock::duration>(shortestLead, second * leadBytes / bytesPerSecond_);
}

LinePace::Clock::duration LinePace::busy(Clock::time_point now) const
{
    return std::max(lineFree_ - now, Clock::duration::zero());
}

int LinePace::room() const
{
    if (bytesPerSecond_ == 0)
        return INT_MAX;
    auto free = lead_ - busy(Clock::now());
    if (free <= Clock::duration::zero())
        return 0;
    long long bytes = free * bytesPerSecond_ / second;
    return int(std::max(bytes, 1LL));
}

int LinePace::waitMs() const
{
    if (room() > 0)
        return 0;
    auto wait = busy(Clock::now()) - lead_;
    return std::max(1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
}

void LinePace::sent(int count)
{
    if (bytesPerSecond_ == 0)
        return;
    auto now = Clock::now();
    lineFree_ = now + busy(now) + second * count / bytesPerSecond_;
}

}  // namespace zek::link
