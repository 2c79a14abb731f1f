// The serial link on a pseudo-terminal, driven in process through the
// Channel: the test plays the controller on the master side. A write that
// has to wait for the controller runs on a second thread meanwhile.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <regex>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>

#include "app/run_settings.h"
#include "link/channel.h"
#include "link/link_open.h"
#include "in_process_link.h"
#include "support/controller.h"
#include "support/zek_process.h"

namespace {

const std::string dc1 = "\x11";
const std::string dc3 = "\x13";
const std::string ncDc3 = "\x93";
constexpr int quietMs = 300;      // long enough to see that nothing comes
constexpr int arriveMs = 5000;    // bound for what must come

// writeBytes beside the test; a write still held when the test ends is
// released with a DC1.
class BackgroundWrite : public BackgroundCall {
public:
    BackgroundWrite(const std::string& bytes, int controllerFd)
        : BackgroundCall([bytes] { return writeBytes(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                     int(bytes.size())); },
                         [controllerFd] { writeAll(controllerFd, dc1); })
    {
    }
};

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        runSettings = RunSettings{};
        runSettings.baudRate = 9600;
        useChannel(pty.slavePath());
    }

    void TearDown() override { releaseLink(); }

    void openPort(int32_t flowMode, int32_t startWait)
    {
        runSettings.flowMode = flowMode;
        runSettings.startWait = startWait;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int result = openChannel();
        openOut = testing::internal::GetCapturedStdout();
        openErr = testing::internal::GetCapturedStderr();
        ASSERT_EQ(result, 0) << openErr;
    }

    void toPort(const std::string& bytes) { ASSERT_TRUE(writeAll(pty.masterFd(), bytes)); }
    std::string fromPort() { return readUntilQuiet(pty.masterFd(), quietMs, arriveMs); }
    std::string fromPort(size_t count) { return readBytes(pty.masterFd(), count, arriveMs); }

    // True once the port has input waiting, without taking it.
    bool portHasInput()
    {
        pollfd watch{pty.slaveFd(), POLLIN, 0};
        return poll(&watch, 1, arriveMs) == 1;
    }

    termios deviceSettings()
    {
        termios settings{};
        tcgetattr(pty.slaveFd(), &settings);
        return settings;
    }

    PtyPair pty;
    std::string openOut;
    std::string openErr;
};

struct FlowCase {
    int32_t mode;
    std::string stopCode;
    bool waitsForFirstDc1;
};

class SerialLinkFlow : public SerialLink, public ::testing::WithParamInterface<FlowCase> {};

TEST_P(SerialLinkFlow, SendingPortFollowsTheStopCodeOfItsModeAndDc1)
{
    const FlowCase& flow = GetParam();
    openPort(flow.mode, 1);
    {
        BackgroundWrite write("N1\n", pty.masterFd());
        if (flow.waitsForFirstDc1) {
            EXPECT_EQ(fromPort(), "") << "sent before the first DC1";
            toPort(dc1);
        }
        EXPECT_EQ(fromPort(3), "N1\n");
        ASSERT_TRUE(write.finished(arriveMs));
        EXPECT_EQ(write.result(), 0);
    }
    // Z waiting unread shows that the stop code before it has come; nobody
    // reads it, so only the driver can stop the next write.
    toPort(flow.stopCode + "Z");
    ASSERT_TRUE(portHasInput());
    {
        BackgroundWrite write("N2\n", pty.masterFd());
        EXPECT_EQ(fromPort(), "");
        EXPECT_FALSE(write.finished(0));
        toPort(dc1);
        EXPECT_EQ(fromPort(3), "N2\n");
        ASSERT_TRUE(write.finished(arriveMs));
        EXPECT_EQ(write.result(), 0);
    }
    EXPECT_EQ(readByte(arriveMs), 'Z');   // the flow codes never reach the reader
    EXPECT_EQ(readByte(0), noByte);
}

INSTANTIATE_TEST_SUITE_P(Modes, SerialLinkFlow,
                         ::testing::Values(FlowCase{FlowDc3, dc3, true}, FlowCase{FlowNcDc3, ncDc3, true},
                                           FlowCase{FlowNcNoWait, ncDc3, false}));

TEST_F(SerialLink, BytesFromTheControllerWhileHeldAreKeptInOrder)
{
    openPort(FlowDc3, 1);
    {
        BackgroundWrite write("OUT", pty.masterFd());
        toPort("ab" + dc3 + "c");
        EXPECT_EQ(fromPort(), "");
        toPort(dc1 + "de");
        EXPECT_EQ(fromPort(3), "OUT");
        ASSERT_TRUE(write.finished(arriveMs));
    }
    std::string read;
    for (int byte = readByte(arriveMs); byte != noByte; byte = readByte(quietMs))
        read += char(byte);
    EXPECT_EQ(read, "abcde");
}

// A pseudo-terminal never sends the throttle codes itself, so the device's
// settings are the evidence that the driver would. Opening anew, as after an
// EIA tape is recognised, takes the stop code of the new mode.
TEST_F(SerialLink, ReceivingPortInvitesWithOneDc1AndThrottlesWithTheStopCodeOfItsMode)
{
    for (const auto& [mode, stopCode] : {std::pair<int32_t, int>{FlowDc3, 0x13}, {FlowNcDc3, 0x93}, {FlowNcNoWait, 0x93}}) {
        SCOPED_TRACE(mode);
        openPort(mode, 0);
        termios settings = deviceSettings();
        EXPECT_TRUE(settings.c_iflag & IXOFF);
        EXPECT_FALSE(settings.c_iflag & IXON);
        EXPECT_EQ(settings.c_cc[VSTOP], stopCode);
        EXPECT_EQ(settings.c_cc[VSTART], 0x11);
        EXPECT_EQ(fromPort(), dc1);
    }
    openPort(FlowHardware, 0);
    EXPECT_FALSE(deviceSettings().c_iflag & (IXOFF | IXON));
    EXPECT_EQ(fromPort(), "");
}

TEST_F(SerialLink, BreakCodeWhilePunchingOutStopsTheSend)
{
    openPort(FlowNcNoWait, 1);
    for (const std::string code : {"%", "\xA5", "\x0B", "\x96"}) {
        toPort(code);
        ASSERT_TRUE(portHasInput());
        testing::internal::CaptureStderr();
        EXPECT_EQ(checkLine(), -1) << int(code[0]);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "BREAK CODE DEFINE \n");
    }
    toPort("Q");
    ASSERT_TRUE(portHasInput());
    EXPECT_EQ(checkLine(), 0);
    EXPECT_EQ(readByte(0), noByte);   // the other byte was dropped
}

TEST_F(SerialLink, OpenMessagesNameThePortSpeedAndFlow)
{
    runSettings.baudRate = 5;
    runSettings.charWaitMs = 7;
    openPort(FlowNcDc3, 1);
    const std::string& path = pty.slavePath();
    EXPECT_EQ(openOut, "TTY OPEN " + path + " 9600 bps W 7\n");
    EXPECT_EQ(openErr, "ZEK95706 9600bps M=2 " + path + " INIT. CTRL-C to END\n");
    termios settings = deviceSettings();
    EXPECT_EQ(cfgetospeed(&settings), speed_t(B9600));
}

TEST_F(SerialLink, SpeedZeroKeepsTheDevicesSpeed)
{
    termios settings = deviceSettings();
    cfsetispeed(&settings, B2400);
    cfsetospeed(&settings, B2400);
    ASSERT_EQ(tcsetattr(pty.slaveFd(), TCSANOW, &settings), 0);
    runSettings.baudRate = 0;
    openPort(FlowHardware, 1);
    EXPECT_EQ(openOut, "TTY OPEN " + pty.slavePath() + " 0 bps W 0\n");
    settings = deviceSettings();
    EXPECT_EQ(cfgetospeed(&settings), speed_t(B2400));
}

TEST_F(SerialLink, HeldWriteFailsWhenTheControllerHangsUp)
{
    int master = -1;
    int slave = -1;
    char path[256] = {};
    ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
    useChannel(path);
    openPort(FlowDc3, 1);
    {
        BackgroundWrite write("LOST", master);
        EXPECT_FALSE(write.finished(quietMs));
        close(master);   // the controller's end of the cable is gone
        ASSERT_TRUE(write.finished(arriveMs));
        EXPECT_EQ(write.result(), -1);
    }
    releaseLink();
    close(slave);
}

using SerialLinkDeathTest = SerialLink;

TEST_F(SerialLinkDeathTest, MissingDeviceEndsTheRun)
{
    useChannel("/dev/zek-no-such-port");
    EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1),
                "^\\*\\*\\* TTY OPEN ERROR  \\*\\*\\*: No such file or directory\n$");
    useChannel("X9");
    EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1), "^\\*\\*\\* TTY OPEN ERROR  \\*\\*\\*: ");
}

TEST_F(SerialLinkDeathTest, SecondOpenOfALockedDeviceIsRefused)
{
    openPort(FlowHardware, 1);
    // The child's fresh open meets the lock that this process holds.
    EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1),
                "^\\*\\*\\* TTY OPEN ERROR  \\*\\*\\*: Device or resource busy\n$");
}

// The same refusals as an operator meets them, through the built program.
TEST(SerialLinkRun, PortThatCannotBeOpenedEndsTheRunAtStartUp)
{
    TempDir dir;
    dir.write("PROG.NC", "%\nO0001\nM30\n%\n");
    ZekResult run = runZek({"-c251", "PROG.NC"}, dir.path());   // no such port here
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("*** TTY OPEN ERROR  ***: "), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("TTY OPEN"), std::string::npos);
}

TEST(SerialLinkRun, SecondZekOnABusyPortIsRefused)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "Wine opens a COM port a second time although the first open shares it "
                        "with no one (Windows refuses it with ERROR_ACCESS_DENIED); the refused "
                        "open is checked by PortThatCannotBeOpenedEndsTheRunAtStartUp";
    TempDir dir;
    dir.write("PROG.NC", "%\nO0001\nM30\n%\n");
    PtyPair pty;
    ZekProcess first({serialChannelOption(pty), "-d", "PROG.NC"}, dir.path());
    ASSERT_TRUE(first.waitForErr("INIT. CTRL-C to END")) << first.result().err;
    ZekResult second = runZek({serialChannelOption(pty), "PROG.NC"}, dir.path());
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("*** TTY OPEN ERROR  ***: "), std::string::npos) << second.err;
    first.kill();
    first.wait();
    EXPECT_TRUE(std::regex_search(first.result().out, std::regex("TTY OPEN \\S+ 4800 bps W 0\n")))
        << first.result().out;
    EXPECT_TRUE(std::regex_search(dir.readLog(), std::regex("ZEK95706 4800bps  M=1 \\S+ INIT.\n")))
        << dir.readLog();
}

}  // namespace
