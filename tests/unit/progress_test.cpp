#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/run_settings.h"
#include "link/progress.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// Sends total bytes in blocks of the given size and returns what the console showed.
std::string percentMarks(int32_t total, int32_t block)
{
    runSettings.progressTotal = total;
    CaptureStderr();
    for (int32_t sent = 0; sent < total; sent += block)
        advanceProgress(block);
    return GetCapturedStderr();
}

std::string kilobyteMarks(int32_t bytes, int32_t block)
{
    CaptureStderr();
    for (int32_t received = 0; received < bytes; received += block)
        showKilobyteProgress(block);
    return GetCapturedStderr();
}

class Progress : public testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{}; }
};

}  // namespace

TEST_F(Progress, TenPercentBlocksWrapTheLineAtFiftyPercent)
{
    EXPECT_EQ(percentMarks(1000, 100), "10%20%30%40%\n50%60%70%80%90%100%");
    EXPECT_EQ(runSettings.bytesSent, 1000);
    EXPECT_EQ(runSettings.progressMarks, 10);
}

TEST_F(Progress, ValuesMayPassOneHundredWithoutALineBreak)
{
    EXPECT_EQ(percentMarks(1000, 300), "30%60%90%120%");
    EXPECT_EQ(runSettings.percentSent, 120);
}

TEST_F(Progress, SmallBlocksShowADotPerPercentBetweenMarks)
{
    std::string shown = percentMarks(1000, 10);
    EXPECT_EQ(shown.substr(0, 27), "1%........10%.........20%..");
    EXPECT_NE(shown.find("40%.........\n50%"), std::string::npos);
    // 290 and 580 bytes truncate to 28 and 57 percent: 29 and 58 pass without a dot.
    EXPECT_NE(shown.find("20%........30%"), std::string::npos);
    EXPECT_NE(shown.find("50%........60%"), std::string::npos);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '.'), 87);
    EXPECT_EQ(shown.substr(shown.size() - 13), ".........100%");
}

TEST_F(Progress, PercentIsTruncatedFromAFloatingQuotient)
{
    runSettings.progressTotal = 1000;
    advanceProgress(290);
    EXPECT_EQ(runSettings.percentSent, 28);
}

TEST_F(Progress, NoStepNoMark)
{
    runSettings.progressTotal = 1000;
    CaptureStderr();
    advanceProgress(100);
    advanceProgress(5);   // still 10 percent
    EXPECT_EQ(GetCapturedStderr(), "10%");
    EXPECT_EQ(runSettings.progressFileBytes, 105);
}

TEST_F(Progress, MonitorPrintsNothingButCounts)
{
    runSettings.monitor = 1;
    EXPECT_EQ(percentMarks(1000, 10), "");
    EXPECT_EQ(runSettings.percentSent, 100);
    EXPECT_EQ(runSettings.progressMarks, 11);
    EXPECT_EQ(runSettings.bytesSent, 1000);
}

TEST_F(Progress, ZeroTotalSwitchesTheMeterOff)
{
    EXPECT_EQ(percentMarks(0, 100), "");
    advanceProgress(500);
    EXPECT_EQ(runSettings.progressFileBytes, 0);
    EXPECT_EQ(runSettings.bytesSent, 0);
}

TEST_F(Progress, ResetsClearPerFileCountersAndOptionallyTheRunTotal)
{
    runSettings.progressTotal = 1000;
    advanceProgress(600);
    resetFileProgress();
    EXPECT_EQ(runSettings.progressFileBytes, 0);
    EXPECT_EQ(runSettings.percentSent, 0);
    EXPECT_EQ(runSettings.progressMarks, 0);
    EXPECT_EQ(runSettings.bytesSent, 600);

    CaptureStderr();
    advanceProgress(100);
    EXPECT_EQ(GetCapturedStderr(), "10%") << "the next file starts its marks anew";

    resetProgress();
    EXPECT_EQ(runSettings.bytesSent, 0);
    EXPECT_EQ(runSettings.progressFileBytes, 0);
}

TEST_F(Progress, KilobytesMarkEveryTenAndRestartTheLineEveryFifty)
{
    std::string shown = kilobyteMarks(61000, 1000);
    EXPECT_EQ(shown,
              "\r1KB........10KB.........20KB.........30KB.........40KB........."
              "\r50KB.........60KB.");
    EXPECT_EQ(runSettings.bytesSent, 61000);
    EXPECT_EQ(runSettings.percentSent, 61);
}

TEST_F(Progress, KilobytesCountedByteByByte)
{
    EXPECT_EQ(kilobyteMarks(2500, 1), "\r1KB.");
    EXPECT_EQ(runSettings.bytesSent, 2500);
    EXPECT_EQ(runSettings.progressFileBytes, 2500);
    EXPECT_EQ(runSettings.percentSent, 2);
}

TEST_F(Progress, KilobytesUnderMonitorPrintNothingButCountMarks)
{
    runSettings.monitor = 1;
    EXPECT_EQ(kilobyteMarks(25000, 500), "");
    EXPECT_EQ(runSettings.progressMarks, 3);
    EXPECT_EQ(runSettings.percentSent, 25);
}

TEST_F(Progress, KilobytesAlsoCountWithoutATotal)
{
    // The receivers never know the size of what comes.
    kilobyteMarks(3000, 1000);
    EXPECT_EQ(runSettings.progressFileBytes, 3000);
}
