#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/run_settings.h"
#include "link/channel.h"
#include "support/scratch_dir.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class ChannelChoice : public testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{}; }
    void TearDown() override { closeChannel(); }

    void nameChannel(const std::string& name)
    {
        ASSERT_LT(name.size(), sizeof runSettings.channelName);
        std::strcpy(runSettings.channelName, name.c_str());
    }

    int open()
    {
        CaptureStderr();
        int result = openChannel();
        GetCapturedStderr();
        return result;
    }

    void write(const char* text)
    {
        ASSERT_EQ(writeBytes(reinterpret_cast<const unsigned char*>(text), int(std::strlen(text))), 0);
    }

    ScratchDir dir;
};

}  // namespace

TEST_F(ChannelChoice, BackslashMakesAnOutputFileAndReopeningReleasesThePrevious)
{
    dir.write("first.nc", "stale bytes");
    nameChannel("\\" + dir.file("first.nc"));
    ASSERT_EQ(open(), 0);
    write("ONE");
    nameChannel("\\" + dir.file("second.nc"));
    ASSERT_EQ(open(), 0);
    write("TWO");
    closeChannel();
    EXPECT_EQ(dir.read("first.nc"), "ONE");
    EXPECT_EQ(dir.read("second.nc"), "TWO");
}

TEST_F(ChannelChoice, SpeedIndexAndKnownSpeedsAreAccepted)
{
    nameChannel("\\" + dir.file("out.nc"));
    for (int32_t speed : {0, 1, 9, 600, 9600, 115200}) {
        runSettings.baudRate = speed;
        EXPECT_EQ(open(), 0) << speed;
    }
}

TEST_F(ChannelChoice, OutputFileNameOfSixtyThreeCharactersIsTheLongestTaken)
{
    std::string base = dir.file("");
    if (base.size() > 60)
        GTEST_SKIP() << "the temporary directory's path is too long for this case";
    std::string longest = base + std::string(63 - base.size(), 'n');
    nameChannel("\\" + longest);
    EXPECT_EQ(open(), 0);
    closeChannel();

    std::string tooLong = longest + "x";
    nameChannel("\\" + tooLong);
    CaptureStderr();
    EXPECT_EQ(openChannel(), -1);
    EXPECT_NE(GetCapturedStderr().find(tooLong), std::string::npos);
    EXPECT_EQ(dir.read(tooLong.substr(base.size())), "");
    EXPECT_EQ(writeBytes(reinterpret_cast<const unsigned char*>("A"), 1), -1);
}

using ChannelChoiceDeathTest = ChannelChoice;

TEST_F(ChannelChoiceDeathTest, UnknownSpeedEndsTheRunBeforeAnyLinkIsTouched)
{
    nameChannel("\\" + dir.file("out.nc"));
    runSettings.baudRate = 7200;
    EXPECT_EXIT(openChannel(), testing::ExitedWithCode(1), " 7200bps CAN NOT SET SPEED\\.");
    runSettings.baudRate = 10;
    EXPECT_EXIT(openChannel(), testing::ExitedWithCode(1), " 10bps CAN NOT SET SPEED\\.");
}

TEST_F(ChannelChoiceDeathTest, OverlongHostAndPortEndsTheRun)
{
    nameChannel(std::string(60, 'h') + ":8000");
    EXPECT_EXIT(openChannel(), testing::ExitedWithCode(1), "TOO LONG");
}
