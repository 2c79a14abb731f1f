// The serial link as an operator meets it: the built zek on a
// pseudo-terminal, the test the controller on its master side.
#include "system_test.h"

namespace {

const std::string dc1 = "\x11";

// About 1500 bytes: three pieces of the plain sender.
std::string threePieceProgram()
{
    std::string text = "%\n";
    for (int line = 1; text.size() < 1500; ++line)
        text += "N" + std::to_string(line) + " G01 X" + std::to_string(line * 7) + ".5 Y-2.25\n";
    return text + "%\n";
}

struct FlowCase {
    const char* option;
    std::string stopCode;
    bool waitsForFirstDc1;
    const char* name;
};

// Test names from ctest stay the same from build to build.
void PrintTo(const FlowCase& flow, std::ostream* out)
{
    *out << flow.name;
}

class SerialLinkRun : public testing::Test {
protected:
    void start(const std::vector<std::string>& options, const std::string& started)
    {
        std::vector<std::string> args = {serialChannelOption(*pty), "-b0"};
        args.insert(args.end(), options.begin(), options.end());
        dir.write("PROG.NC", threePieceProgram());
        zek = std::make_unique<ZekProcess>(args, dir.path());
        ASSERT_TRUE(zek->waitForErr(started)) << zek->result().err;
    }
    std::string fromPort(int quietMs = 400) { return readUntilQuiet(pty->masterFd(), quietMs, 5000); }
    termios deviceSettings()
    {
        termios settings{};
        tcgetattr(pty->slaveFd(), &settings);
        return settings;
    }
    // 2400 bit/s with output XON/XOFF: as no run of zek leaves a device.
    termios settingsFoundAtStart()
    {
        termios found = deviceSettings();
        cfsetspeed(&found, B2400);
        found.c_iflag |= IXON;
        tcsetattr(pty->slaveFd(), TCSANOW, &found);
        return deviceSettings();
    }
    void expectSettingsAsFound(const termios& found)
    {
        termios after = deviceSettings();
        EXPECT_EQ(after.c_iflag, found.c_iflag);
        EXPECT_EQ(after.c_oflag, found.c_oflag);
        EXPECT_EQ(after.c_cflag, found.c_cflag);
        EXPECT_EQ(after.c_lflag, found.c_lflag);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.c_cc), NCCS),
                  std::string(reinterpret_cast<const char*>(found.c_cc), NCCS));
        EXPECT_EQ(cfgetospeed(&after), B2400);
    }
    TempDir dir;
    std::unique_ptr<PtyPair> pty = std::make_unique<PtyPair>();
    std::unique_ptr<ZekProcess> zek;
};

// Each mode in a test of its own: the cases take a while and run side by side.
class SerialLinkRunFlow : public SerialLinkRun, public testing::WithParamInterface<FlowCase> {};

TEST_P(SerialLinkRunFlow, SendingPortFollowsTheStopCodeOfItsModeAndDc1)
{
    const FlowCase& flow = GetParam();
    const std::string expected = isoTape(threePieceProgram());
    start({flow.option, "-n", "PROG.NC"}, "NO_SUB MODE START");
    if (flow.waitsForFirstDc1) {
        EXPECT_EQ(fromPort(), "") << "sent before the first DC1";
        writeAll(pty->masterFd(), dc1);
    }
    std::string received = readBytes(pty->masterFd(), 100, 5000);
    writeAll(pty->masterFd(), flow.stopCode);
    received += fromPort(300);
    EXPECT_EQ(fromPort(), "") << "sent while held";
    writeAll(pty->masterFd(), dc1);
    received += readBytes(pty->masterFd(), expected.size() - received.size(), 10000);
    EXPECT_TRUE(received == expected) << received.size();
    EXPECT_TRUE(zek->wait());
}

INSTANTIATE_TEST_SUITE_P(Modes, SerialLinkRunFlow,
                         testing::Values(FlowCase{"-d", "\x13", true, "Dc3"}, FlowCase{"-D", "\x93", true, "NcDc3"},
                                         FlowCase{"-q", "\x93", false, "NcDc3NoWait"}),
                         [](const auto& flow) { return std::string(flow.param.name); });

// A pseudo-terminal never sends the throttle codes itself, so the device's
// settings are the evidence that the driver would.
TEST_F(SerialLinkRun, ReceivingPortInvitesWithOneDc1AndThrottlesWithTheStopCodeOfItsMode)
{
    const FlowCase flows[] = {
        {"-d", "\x13", true, ""}, {"-D", "\x93", true, ""}, {"-q", "\x93", true, ""}, {"-b0", "", false, ""}};
    for (const FlowCase& flow : flows) {
        SCOPED_TRACE(flow.option);
        zek.reset();
        pty = std::make_unique<PtyPair>();
        start({flow.option, "-r", "IN.NC"}, "RECV(B) START");
        EXPECT_EQ(fromPort(), flow.waitsForFirstDc1 ? dc1 : "");
        if (runningWindowsBuild())
            continue;  // Wine keeps its own terminal settings
        termios settings = deviceSettings();
        EXPECT_EQ(bool(settings.c_iflag & IXOFF), flow.waitsForFirstDc1);
        EXPECT_FALSE(settings.c_iflag & IXON);
        EXPECT_FALSE(settings.c_cflag & CRTSCTS);
        if (flow.waitsForFirstDc1) {
            EXPECT_EQ(settings.c_cc[VSTOP], (unsigned char)flow.stopCode[0]);
        }
    }
}

TEST_F(SerialLinkRun, OpenMessagesNameThePortSpeedAndFlowAndSpeedZeroKeepsTheDevicesSpeedButMakesItRaw)
{
    termios settings = deviceSettings();
    cfsetispeed(&settings, B2400);
    cfsetospeed(&settings, B2400);
    settings.c_lflag |= ICANON | ECHO;  // as a port is left by a terminal program
    settings.c_oflag |= OPOST | ONLCR;
    ASSERT_EQ(tcsetattr(pty->slaveFd(), TCSANOW, &settings), 0);
    start({"-r", "IN.NC"}, "RECV(B) START");
    EXPECT_TRUE(matches(zek->result().out, "^TTY OPEN \\S+ 0 bps W 0\n")) << zek->result().out;
    settings = deviceSettings();
    EXPECT_TRUE(runningWindowsBuild() || (cfgetospeed(&settings) == B2400 && !(settings.c_lflag & (ICANON | ECHO)) &&
                                          !(settings.c_oflag & OPOST)));
    zek.reset();
    start({"-b5", "-w7", "-D", "-n", "PROG.NC"}, "INIT. CTRL-C to END");
    EXPECT_TRUE(matches(zek->result().out, "^TTY OPEN \\S+ 9600 bps W 7\n")) << zek->result().out;
    EXPECT_TRUE(matches(zek->result().err, "\nZEK95706 9600bps M=2 \\S+ INIT\\. CTRL-C to END\n")) << zek->result().err;
    settings = deviceSettings();
    EXPECT_TRUE(runningWindowsBuild() || cfgetospeed(&settings) == B9600);
    // The ends of the speed index: 1 is 600 bit/s, 9 is 115200; a sending
    // port without software flow follows CTS.
    for (const auto& [index, speed, code] :
         {std::tuple{"-b1", "600", speed_t{B600}}, std::tuple{"-b9", "115200", speed_t{B115200}}}) {
        zek.reset();
        start({index, "-n", "PROG.NC"}, "INIT. CTRL-C to END");
        EXPECT_TRUE(matches(zek->result().out, std::string("^TTY OPEN \\S+ ") + speed + " bps")) << zek->result().out;
        settings = deviceSettings();
        EXPECT_TRUE(runningWindowsBuild() || (cfgetospeed(&settings) == code && (settings.c_cflag & CRTSCTS))) << index;
    }
}

// The device is left as zek found it, whatever speed and flow the run set,
// also when Ctrl-C or systemctl stop ends a waiting server, or a punch-out
// the controller holds with DC3: within about a second, in order, with
// PROG_END and the status the signal gives, as the shell and systemd see it.
TEST_F(SerialLinkRun, DeviceIsLeftAsFoundAtTheEndAndAtAStop)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "Windows writes the run's own settings back, and stops on console events";
    const termios found = settingsFoundAtStart();
    for (const char* speed : {"-b4800", "-b9600"}) {
        start({speed, "-d", "-n", "PROG.NC"}, "INIT. CTRL-C to END");
        writeAll(pty->masterFd(), dc1);
        readBytes(pty->masterFd(), isoTape(threePieceProgram()).size(), 5000);
        ASSERT_TRUE(zek->wait());
        expectSettingsAsFound(found);
    }
    std::mt19937 random(7);
    dir.write("BIG.NC", generatedProgram(200000, random));
    for (int signal : {SIGINT, SIGTERM}) {
        for (bool punching : {false, true}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + (punching ? ", punch-out held" : ", server waiting"));
            if (punching) {
                start({"-b9600", "-d", "-n", "BIG.NC"}, "NO_SUB MODE START");
                writeAll(pty->masterFd(), dc1);
                readBytes(pty->masterFd(), 1000, 5000);
                writeAll(pty->masterFd(), "\x13");
                fromPort();
            } else {
                start({"-s", "-b9600"}, "** PROT(B) SERVER MODE");
            }
            const auto stopped = std::chrono::steady_clock::now();
            zek->sendSignal(signal);
            ASSERT_TRUE(zek->wait(5000)) << zek->result().err;
            EXPECT_LT(millisecondsSince(stopped), 2500);
            EXPECT_EQ(zek->result().exitStatus, 128 + signal);
            expectSettingsAsFound(found);
            EXPECT_EQ(fromPort(100), "") << "nothing went out after the stop";
            EXPECT_TRUE(contains(zek->result().err, "\n" + stoppedLine(signal) + " ")) << zek->result().err;
        }
    }
    EXPECT_EQ(countOf(logOf(dir), "*** PROG_END ***"), 6u) << logOf(dir);
}

TEST_F(SerialLinkRun, SecondZekOnABusyPortIsRefused)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "Wine opens a COM port a second time although the first open shares it "
                        "with no one (Windows refuses it with ERROR_ACCESS_DENIED); the refused "
                        "open is checked among the refused settings of the run";
    zek =
        std::make_unique<ZekProcess>(std::vector<std::string>{serialChannelOption(*pty), "-d", "PROG.NC"}, dir.path());
    ASSERT_TRUE(zek->waitForErr("INIT. CTRL-C to END")) << zek->result().err;
    ZekResult second = runZek({serialChannelOption(*pty), "PROG.NC"}, dir.path());
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_TRUE(matches(second.err, "\\*\\*\\* TTY OPEN ERROR  \\*\\*\\*: Device or resource busy\n$")) << second.err;
    zek->kill();
    EXPECT_TRUE(matches(zek->result().out, "TTY OPEN \\S+ 4800 bps W 0\n")) << zek->result().out;
    EXPECT_TRUE(matches(logOf(dir), "ZEK95706 4800bps  M=1 \\S+ INIT.\n")) << logOf(dir);
    EXPECT_FALSE(contains(logOf(dir), "CTRL-C")) << logOf(dir);  // the console's text alone
}

}  // namespace
