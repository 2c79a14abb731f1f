// The wait for bytes on a PC that has been up for 24.8 days: a count of
// milliseconds in 32 bits wraps there, a deadline on the steady clock does not.
#include <gtest/gtest.h>

#include "link/read_deadline.h"

using zek::link::ReadDeadline;
using namespace std::chrono_literals;

static ReadDeadline::Clock::time_point testNow;

static ReadDeadline::Clock::time_point readTestClock()
{
    return testNow;
}

TEST(ReadDeadline, CountsDownAcrossTwoToTheThirtyFirstMilliseconds)
{
    testNow = ReadDeadline::Clock::time_point(std::chrono::milliseconds((1LL << 31) - 5));
    const ReadDeadline deadline(100ms, readTestClock);
    EXPECT_EQ(deadline.remainingMs(), 100);
    testNow += 10ms;
    EXPECT_EQ(deadline.remainingMs(), 90);
    EXPECT_FALSE(deadline.passed());
    testNow += 89ms;
    EXPECT_EQ(deadline.remainingMs(), 1);
    testNow += 24h * 30;
    EXPECT_EQ(deadline.remainingMs(), 0);
    EXPECT_TRUE(deadline.passed());
}
