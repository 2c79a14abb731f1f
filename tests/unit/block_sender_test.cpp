#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/run_settings.h"
#include "link/block_sender.h"
#include "link/channel.h"
#include "tape/tape_code.h"
#include "support/scratch_dir.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

// sendBlock and writeBytes on the output-file link: the file gets exactly the
// bytes a port would carry.
class OutputFileLink : public testing::Test {
protected:
    void SetUp() override { start(); }

    // Fresh settings and an emptied out.nc.
    void start()
    {
        runSettings = RunSettings{};
        runSettings.progressTotal = 1000;
        std::string channel = "\\" + dir.file("out.nc");
        CaptureStderr();
        int opened = openOutputFile(channel.c_str());
        openMessage = GetCapturedStderr();
        ASSERT_EQ(opened, 0);
    }

    void TearDown() override { closeChannel(); }

    std::string sent()
    {
        closeChannel();
        return dir.read("out.nc");
    }

    int send(const std::string& text) { return sendBlock(text.data(), static_cast<int>(text.size())); }

    ScratchDir dir;
    std::string openMessage;
};

std::string bytes(std::initializer_list<unsigned char> list)
{
    return std::string(list.begin(), list.end());
}

long elapsedMs(std::chrono::steady_clock::time_point start)
{
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

}  // namespace

TEST_F(OutputFileLink, OpeningAnnouncesTheFileAndTheLinkHasNoLineNorInput)
{
    EXPECT_EQ(openMessage, "ZEK95706 FILE " + dir.file("out.nc") + " OPEN \n");
    EXPECT_EQ(runSettings.baudRate, 0);
    EXPECT_EQ(checkLine(), 0);
    EXPECT_EQ(txQueueCount(), 0);
    EXPECT_EQ(readByte(10), noByte);
    drainOutput();
}

// Line feeds count twice in the progress whether or not a CR is added.
TEST_F(OutputFileLink, EachCodeWithAndWithoutCrLf)
{
    struct Case {
        int16_t codeMode;
        int16_t crlf;
        std::string text;
        int32_t counted;
        std::string bytes;
    };
    const Case cases[] = {
        {IsoDefault, 1, "G1\n", 4, bytes({0x47, 0xB1, 0xA0, 0x8D, 0x0A})},
        {IsoDefault, 0, "%\nO1\n", 7, bytes({0xA5, 0x0A, 0xCF, 0xB1, 0x0A})},
        {Iso, 0, "N", 1, bytes({0x4E})},
        {Eia, 1, "G1\n", 4, bytes({0x67, 0x01, 0x80})},
        {Ascii, 1, "G1\n", 4, "G1 \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " in code " + std::to_string(c.codeMode));
        start();
        runSettings.codeMode = c.codeMode;
        runSettings.crlf = c.crlf;
        EXPECT_EQ(send(c.text), 0);
        EXPECT_EQ(runSettings.progressFileBytes, c.counted);
        EXPECT_EQ(sent(), c.bytes);
    }
}

TEST_F(OutputFileLink, MonitorEchoesTheSourceText)
{
    runSettings.monitor = 1;
    runSettings.codeMode = Eia;
    CaptureStdout();
    EXPECT_EQ(send("x1\n"), 0);
    EXPECT_EQ(GetCapturedStdout(), "x1\n");
    EXPECT_EQ(sent(), bytes({0x37, 0x01, 0x80}));
}

TEST_F(OutputFileLink, BlocksFollowOneAnother)
{
    runSettings.codeMode = Ascii;
    EXPECT_EQ(send("%\n"), 0);
    EXPECT_EQ(send("M30\n"), 0);
    EXPECT_EQ(send(""), 0);
    EXPECT_EQ(sent(), "%\nM30\n");
}

TEST_F(OutputFileLink, BlockThatFillsTheBufferExactlyIsSent)
{
    runSettings.crlf = 1;
    runSettings.codeMode = Ascii;
    runSettings.progressTotal = 0;
    std::string text = std::string(sendBufferSize - 3, 'X') + "\n";
    EXPECT_EQ(send(text), 0);
    EXPECT_EQ(sent().size(), size_t(sendBufferSize));
}

TEST_F(OutputFileLink, BlockTooLargeForTheBufferIsRefusedWithoutOutput)
{
    runSettings.crlf = 1;
    runSettings.monitor = 1;
    std::string text = std::string(sendBufferSize - 2, 'X') + "\n";
    CaptureStdout();
    EXPECT_EQ(send(text), -1);
    EXPECT_EQ(send(std::string(sendBufferSize + 1, 'X')), -1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(runSettings.progressFileBytes, 0);
    EXPECT_EQ(sent(), "");
}

TEST_F(OutputFileLink, CharacterWaitWritesTheSameBytesWithAPauseEach)
{
    runSettings.charWait = 1;
    runSettings.charWaitMs = 20;
    runSettings.codeMode = Ascii;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send("G1X2\n"), 0);
    EXPECT_GE(elapsedMs(start), 5 * 20);
    EXPECT_EQ(sent(), "G1X2\n");
}

TEST_F(OutputFileLink, ZeroCharacterWaitWritesWithoutPause)
{
    runSettings.charWait = 1;
    EXPECT_EQ(writeBytes(reinterpret_cast<const unsigned char*>("ABC"), 3), 0);
    EXPECT_EQ(writeBytes(reinterpret_cast<const unsigned char*>(""), 0), 0);
    EXPECT_EQ(sent(), "ABC");
}

TEST_F(OutputFileLink, BlockWaitPausesOncePerBlock)
{
    runSettings.charWait = 1;
    runSettings.charWaitUpper = 1;
    runSettings.charWaitMs = 30;
    runSettings.codeMode = Ascii;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send("G1\n"), 0);
    EXPECT_EQ(send("G2\n"), 0);
    EXPECT_GE(elapsedMs(start), 2 * 30);
    EXPECT_EQ(sent(), "G1\nG2\n");
}

TEST(OutputFileLinkFailure, UncreatableFileReportsAndEveryWriteFails)
{
    runSettings = RunSettings{};
    ScratchDir dir;
    std::string name = dir.file("no-such-dir/out.nc");
    std::string channel = "\\" + name;
    CaptureStderr();
    EXPECT_EQ(openOutputFile(channel.c_str()), -1);
    std::string shown = GetCapturedStderr();
    EXPECT_NE(shown.find("Write file open error : " + name + "\n"), std::string::npos);
    EXPECT_EQ(runSettings.baudRate, 4800) << "the speed is cleared only for an open file";
    EXPECT_EQ(sendBlock("G1\n", 3), -1);
    EXPECT_EQ(writeBytes(reinterpret_cast<const unsigned char*>("A"), 1), -1);
    closeChannel();
}
