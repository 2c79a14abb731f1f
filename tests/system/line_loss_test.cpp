// A line that goes away: the controller's end of the cable closes (a pulled
// adapter, a dropped device server), the device name vanishes and comes back,
// or a TCP controller just has nothing to say. And the exit status by which a
// batch file tells a failed transfer from a good one.

#include "system_test.h"

namespace {

constexpr int statusCompleted = 0;
constexpr int statusFailed = 2;
constexpr int statusInterrupted = 130;  // 128 + SIGINT, as the shell sees Ctrl-C
// Seconds over a run of several; spinning takes them all. Wine's own start
// counts here too, and takes most of a second on a busy machine.
const double idleCpuLimit = runningWindowsBuild() ? 2.0 : 1.0;
const std::string lineLost = "\n LINE LOST !!\n";
const std::string deviceGone = "GONE, WAITING FOR IT";

// Wine ends a program without a console on SIGINT with status 0: only the
// native build can show the status of an interrupt.
void expectStatus(const ZekResult& result, int status)
{
    if (status != statusInterrupted || !runningWindowsBuild()) {
        EXPECT_EQ(result.exitStatus, status) << result.err;
    }
}

// A punch-out larger than the pseudo-terminal holds, so that zek is still
// writing when the controller goes.
std::string largeProgram()
{
    std::string text = "%\n";
    for (int i = 0; i < 3000; ++i)
        text += "N" + std::to_string(i) + " G1 X" + std::to_string(i) + ".\n";
    return text + "%\n";
}

// A device name that outlives the pseudo-terminal behind it, as a
// /dev/serial/by-id name does for an adapter plugged in again. Under Wine
// the COM port's link in the prefix is that name; it is left pointing
// nowhere, since without it Wine would open /dev/ttyS(N-1) instead. Its
// number is one of its own per shard, above those that follow a terminal's
// number: a shard beside it may get the freed terminal's number meanwhile.
class DeviceName {
public:
    DeviceName(const TempDir& dir, const PtyPair& first)
    {
        const char* prefix = std::getenv("WINEPREFIX");
        if (runningWindowsBuild() && prefix) {
            const char* shard = std::getenv("GTEST_SHARD_INDEX");
            option_ = "-c" + std::to_string(250 + (shard ? std::atoi(shard) : 0));
            link_ = std::filesystem::path(prefix) / "dosdevices" / ("com" + option_.substr(2));
        } else {
            link_ = dir.file("ttyCNC");
            option_ = "-c" + link_.string();
        }
        pointAt(first);
    }
    void pointAt(const PtyPair& pty) { pointAt(pty.slavePath()); }
    void remove() { pointAt(link_.string() + ".gone"); }
    const std::string& option() const { return option_; }

private:
    void pointAt(const std::string& target)
    {
        std::error_code ignored;
        std::filesystem::remove(link_, ignored);
        std::filesystem::create_symlink(target, link_);
    }
    std::filesystem::path link_;
    std::string option_;
};

// What the controller does on its end before the line goes.
using ControllerPart = std::function<void(int controller)>;

void sendsNothing(int)
{
}

void punchesOneLine(int controller)
{
    writeAll(controller, "\xA5\xCF\xB1\x0A");  // "%O1\n" in ISO
}

// Okuma receive: the opening, the request, one DAT of "O1\n", its GTD.
void deliversOneRecord(int controller)
{
    RecordPeer peer(controller);
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().letters, "GTD");
    peer.send("DAT", isoTape("O1\n"));
    EXPECT_EQ(peer.read().letters, "GTD");
}

struct HangUpCase {
    const char* mode;
    std::vector<std::string> args;
    ControllerPart beforeHangUp;
    int exitStatus;
    std::string stored;              // IN.NC afterwards, when not empty
    std::vector<std::string> shown;  // regexes, in this order
    std::string absent;
};

TEST(LineLoss, ControllerHangUpEndsEachModeWithoutSpinning)
{
    const std::vector<HangUpCase> cases = {
        {"receive",
         {"-r", "IN.NC"},
         punchesOneLine,
         statusFailed,
         "%O1\r\n",
         {lineLost, "RECV\\(B\\) END IN\\.NC 4Byte " + timePattern},
         "STOP CODE"},
        {"receive before the tape",
         {"-r", "IN.NC"},
         sendsNothing,
         statusFailed,
         "",
         {lineLost, "RECV\\(B\\) END IN\\.NC 0Byte "},
         "CODE DEFINE"},
        // Without a stop code the line's end is the tape's end.
        {"receive without stop code",
         {"-p", "-r", "IN.NC"},
         punchesOneLine,
         statusCompleted,
         "%O1\r\n",
         {lineLost, "RECV\\(B\\) END IN\\.NC 4Byte "},
         "STOP CODE"},
        {"punch-out", {"BIG.NC"}, sendsNothing, statusFailed, "", {" START BIG\\.NC ", lineLost}, "MODE END"},
        {"Protocol A send", {"-g", "BIG.NC"}, sendsNothing, statusFailed, "", {lineLost}, "SEND FILE TOTAL"},
        // Eleven retries come first, as on a noisy line.
        {"Protocol A receive",
         {"-R", "IN.NC"},
         deliversOneRecord,
         statusFailed,
         "O1\r\n",
         {"RTY>", lineLost, " close file IN\\.NC 4Byte "},
         "TOTAL RECV FILE"},
    };
    for (const HangUpCase& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        dir.write("BIG.NC", largeProgram());
        PtyPair pty;
        DeviceName device(dir, pty);  // gone for good: a later pseudo-terminal may take its number
        std::vector<std::string> args = {device.option(), "-b9600"};  // a set speed is restored at the end
        args.insert(args.end(), c.args.begin(), c.args.end());
        const double cpuBefore = childCpuSeconds();
        ZekProcess zek(args, dir.path());
        ASSERT_TRUE(zek.waitForErr("INIT.")) << zek.result().err;
        sleepMs(300);
        c.beforeHangUp(pty.masterFd());
        sleepMs(300);
        pty.hangUp();
        device.remove();
        ASSERT_TRUE(zek.wait(30000)) << zek.result().err;  // the retries of -R take about 22 s
        expectStatus(zek.result(), c.exitStatus);
        EXPECT_LT(childCpuSeconds() - cpuBefore, idleCpuLimit) << "spins on the dead line";
        EXPECT_TRUE(appearInOrder(zek.result().err, c.shown)) << zek.result().err;
        EXPECT_EQ(countOf(zek.result().err, lineLost), 1u) << zek.result().err;
        EXPECT_LE(countOf(zek.result().err, deviceGone), 1u) << zek.result().err;
        if (!c.absent.empty()) {
            EXPECT_FALSE(contains(zek.result().err, c.absent)) << zek.result().err;
        }
        if (!c.stored.empty()) {
            EXPECT_EQ(dir.read("IN.NC"), c.stored);
        }
        // Nothing is left to restore on a device that has gone.
        EXPECT_FALSE(contains(zek.result().err, "SetCommState")) << zek.result().err;
    }
}

struct ComebackCase {
    const char* mode;
    std::vector<std::string> args;
    std::string lossShown;  // before the device is reported gone
    ControllerPart served;  // one request, answered, on the device that came back
};

void tapeIsStored(int controller)
{
    writeAll(controller, isoTape("%O5\n%"));
}

void rdyIsEchoed(int controller)
{
    RecordPeer peer(controller);
    peer.send("RDY");
    EXPECT_TRUE(peer.readUntilType("RDY", 5000).received);
}

TEST(LineLoss, ServerWaitsForItsDeviceAndServesItWhenItComesBack)
{
    const std::vector<ComebackCase> cases = {
        {"Protocol B server", {"-s", "IN.NC"}, lineLost, tapeIsStored},
        {"Protocol A server", {"-S"}, "ERR-RETRY SYN SEND", rdyIsEchoed},
    };
    for (const ComebackCase& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        auto first = std::make_unique<PtyPair>();
        DeviceName device(dir, *first);
        std::vector<std::string> args = {device.option(), "-b0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const double cpuBefore = childCpuSeconds();
        ZekProcess zek(args, dir.path());
        ASSERT_TRUE(zek.waitForErr("INIT.")) << zek.result().err;
        first->hangUp();
        device.remove();
        ASSERT_TRUE(zek.waitForErr(deviceGone)) << zek.result().err;
        EXPECT_TRUE(appearInOrder(zek.result().err, {c.lossShown, deviceGone})) << zek.result().err;
        const size_t openings = countOf(zek.result().err, "INIT.");
        sleepMs(3000);  // a few tries, none of them on the console
        EXPECT_EQ(countOf(zek.result().err, "INIT."), openings) << zek.result().err;
        PtyPair second;
        device.pointAt(second);
        ASSERT_TRUE(zek.waitForErr("INIT.", 15000, openings + 1)) << zek.result().err;
        c.served(second.masterFd());
        if (c.args[0] == "-s") {
            EXPECT_TRUE(waitForFile(dir, "IN.NC", "%O5\r\n%"));
        }
        zek.kill();
        expectStatus(zek.result(), statusInterrupted);
        EXPECT_LT(childCpuSeconds() - cpuBefore, idleCpuLimit) << "spins while the device is gone";
        EXPECT_EQ(countOf(zek.result().err, deviceGone), 1u) << zek.result().err;
        EXPECT_FALSE(contains(zek.result().err, "SetCommState")) << zek.result().err;
    }
}

// An idle controller keeps its connection; one that calls again (switched
// off and on, its old connection dead without a word) takes its place
// between transfers, not during one. Every connection is probed while idle.
TEST(LineLoss, ProtocolAServerKeepsAnIdleConnectionUntilTheControllerCallsAgain)
{
    TempDir dir;
    const int port = freeTcpPort();
    ZekProcess zek({"-S", "-c127.0.0.1:" + std::to_string(port)}, dir.path());
    const int controller = connectTcp(port, 10000);
    ASSERT_GE(controller, 0);
    RecordPeer peer(controller);
    // Silence: the server's SYN comes over the same connection, again and
    // again, a second's wait and a short pause apart.
    EXPECT_EQ(peer.read().letters, "SYN");
    const auto firstSyn = std::chrono::steady_clock::now();
    EXPECT_EQ(peer.read().letters, "SYN");
    EXPECT_EQ(peer.read().letters, "SYN");
    EXPECT_LT(std::chrono::steady_clock::now() - firstSyn, std::chrono::milliseconds(5000));
    ASSERT_TRUE(zek.waitForErr("ERR-RETRY SYN SEND", 15000, 3)) << zek.result().err;
    sleepMs(1000);
    peer.send("RDY");
    EXPECT_TRUE(peer.readUntilType("RDY", 5000).received);
    EXPECT_TRUE(peerProbesWhenIdle(controller));
    peer.send("RTD", "O1");
    EXPECT_TRUE(peer.readUntilType("GTD", 5000).received);
    const int again = connectTcp(port, 10000);
    ASSERT_GE(again, 0);
    sleepMs(300);
    peer.send("DAT", isoTape("%\nO1\n%\n"));
    EXPECT_TRUE(peer.readUntilType("GTD", 5000).received);
    peer.send("EOD");
    EXPECT_TRUE(peer.readUntilType("SET", 5000).received) << "the transfer was not cut";
    ASSERT_TRUE(zek.waitForErr("OLD CONNECTION 127.0.0.1 port=", 15000)) << zek.result().err;
    RecordPeer calledAgain(again);
    calledAgain.send("RDY");
    EXPECT_TRUE(calledAgain.readUntilType("RDY", 5000).received);
    EXPECT_TRUE(peerProbesWhenIdle(again));
    EXPECT_EQ(readUntilQuiet(controller, 300, 5000), "") << "the old connection is closed";
    closeFd(controller);
    closeFd(again);
    zek.kill();
    EXPECT_EQ(dir.read("O1"), "%\r\nO1\r\n%\r\n");
    EXPECT_TRUE(
        appearInOrder(zek.result().err, {"RECV\\(A\\) END O1 ", "OLD CONNECTION 127\\.0\\.0\\.1 port=[0-9]+ CLOSED " +
                                                                    timePattern + "\nCONNECTION FROM "}))
        << zek.result().err;
    EXPECT_EQ(countOf(zek.result().err, "CONNECTION FROM"), 2u) << zek.result().err;
}

}  // namespace
