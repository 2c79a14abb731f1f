#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/run_settings.h"
#include "link/progress.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// Moves total bytes in blocks of the given size; what the console showed.
std::string marks(void (*advance)(int32_t), int32_t total, int32_t block)
{
    CaptureStderr();
    for (int32_t moved = 0; moved < total; moved += block)
        advance(block);
    return GetCapturedStderr();
}

struct Meter {
    bool kilobytes;   // the receivers' meter, which knows no total
    int16_t monitor;
    int32_t total;
    int32_t bytes;
    int32_t block;
    std::string shown;
    int32_t percent;
    int32_t progressMarks;
    int32_t counted;
};

}  // namespace

TEST(Progress, MarksAndCountsOfBothMeters)
{
    const Meter meters[] = {
        {false, 0, 1000, 1000, 100, "10%20%30%40%\n50%60%70%80%90%100%", 100, 10, 1000},
        {false, 0, 1000, 1000, 300, "30%60%90%120%", 120, 4, 1200},   // past 100 without a line break
        {false, 1, 1000, 1000, 10, "", 100, 11, 1000},
        {false, 0, 0, 500, 100, "", 0, 0, 0},                          // no total: the meter is off
        {true, 0, 0, 61000, 1000,
         "\r1KB........10KB.........20KB.........30KB.........40KB.........\r50KB.........60KB.", 61, 7, 61000},
        {true, 0, 0, 2500, 1, "\r1KB.", 2, 1, 2500},
        {true, 1, 0, 25000, 500, "", 25, 3, 25000},
    };
    for (const Meter& meter : meters) {
        SCOPED_TRACE(meter.shown);
        runSettings = RunSettings{};
        runSettings.monitor = meter.monitor;
        runSettings.progressTotal = meter.total;
        EXPECT_EQ(marks(meter.kilobytes ? showKilobyteProgress : advanceProgress, meter.bytes, meter.block),
                  meter.shown);
        EXPECT_EQ(runSettings.percentSent, meter.percent);
        EXPECT_EQ(runSettings.progressMarks, meter.progressMarks);
        EXPECT_EQ(runSettings.bytesSent, meter.counted);
        EXPECT_EQ(runSettings.progressFileBytes, meter.counted);
    }
}

TEST(Progress, SmallBlocksShowADotPerPercentBetweenMarks)
{
    runSettings = RunSettings{};
    runSettings.progressTotal = 1000;
    std::string shown = marks(advanceProgress, 1000, 10);
    EXPECT_EQ(shown.substr(0, 27), "1%........10%.........20%..");
    EXPECT_NE(shown.find("40%.........\n50%"), std::string::npos);
    // 290 and 580 bytes truncate to 28 and 57 percent: 29 and 58 pass without a dot.
    EXPECT_NE(shown.find("20%........30%"), std::string::npos);
    EXPECT_NE(shown.find("50%........60%"), std::string::npos);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '.'), 87);
    EXPECT_EQ(shown.substr(shown.size() - 13), ".........100%");
}

TEST(Progress, NoStepNoMarkAndResetsStartTheNextFileAnew)
{
    runSettings = RunSettings{};
    runSettings.progressTotal = 1000;
    CaptureStderr();
    advanceProgress(100);
    advanceProgress(5);   // still 10 percent
    advanceProgress(495);
    EXPECT_EQ(GetCapturedStderr(), "10%60%");

    resetFileProgress();
    EXPECT_EQ(runSettings.progressFileBytes, 0);
    EXPECT_EQ(runSettings.percentSent, 0);
    EXPECT_EQ(runSettings.progressMarks, 0);
    EXPECT_EQ(runSettings.bytesSent, 600);
    EXPECT_EQ(marks(advanceProgress, 100, 100), "10%");

    resetProgress();
    EXPECT_EQ(runSettings.bytesSent, 0);
    EXPECT_EQ(runSettings.progressFileBytes, 0);
}
