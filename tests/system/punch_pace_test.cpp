// A punch-out at the pace of the link: no idle line between blocks, a break
// code from the controller still heard, and gathered output that carries the
// same bytes or reports the write that failed.

#include "system_test.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each block once waited up to 200 ms for the controller; a tenth of that per
// block is a loose bound on a line that now runs without pauses.
constexpr int boundMsPerBlock = 20;
const std::string leaderIso = "\x12" + std::string(400, '\xA0');
const std::string trailerIso = std::string(400, '\xA0') + "\x14";

// A program of the given number of lines between its "%" lines.
std::string numberedProgram(int lines)
{
    std::string text = "%\n";
    for (int i = 1; i <= lines; ++i)
        text += "N" + std::to_string(i) + " G01 X" + std::to_string(i % 97) + ". F200\n";
    return text + "%\n";
}

struct PaceCase {
    const char* name;
    std::vector<std::string> options;
    bool startsOnDc1;
    std::string leader;
    std::string trailer;
    int feedBlocks;
};

class PunchPace : public testing::TestWithParam<PaceCase> {};

// Every line is a block of its own (-k2: the program exactly as written).
TEST_P(PunchPace, HundredsOfBlocksKeepTheLineBusy)
{
    const PaceCase& row = GetParam();
    const int lines = 300;
    const std::string program = numberedProgram(lines);
    const std::string tape = row.leader + isoTape(program) + row.trailer;
    TempDir dir;
    dir.write("PACE.NC", program);
    PtyPair pty;
    std::vector<std::string> args = {serialChannelOption(pty), "-k2", "PACE.NC"};
    args.insert(args.begin(), row.options.begin(), row.options.end());
    auto start = Clock::now();
    ZekProcess zek(args, dir.path());
    if (row.startsOnDc1) {
        ASSERT_TRUE(zek.waitForErr("SUB MODE START", 10000)) << zek.result().err;
        start = Clock::now();
        writeAll(pty.masterFd(), "\x11");
    }
    const int blocks = lines + 2 + row.feedBlocks;
    std::string received = readBytes(pty.masterFd(), tape.size(), 2 * blocks * boundMsPerBlock + 5000);
    int elapsedMs = millisecondsSince(start);
    EXPECT_TRUE(received == tape) << received.size() << " of " << tape.size() << " bytes";
    EXPECT_LT(elapsedMs, blocks * boundMsPerBlock) << blocks << " blocks";
    EXPECT_TRUE(zek.wait(15000));
    EXPECT_TRUE(contains(zek.result().err, "SEND(B) SUB MODE END PACE.NC")) << zek.result().err;
    // A device without modem lines is no failure, nor is the port's restore at the end.
    EXPECT_FALSE(matches(zek.result().err, "GetCommModemStatus|SetCommState")) << zek.result().err;
}

INSTANTIATE_TEST_SUITE_P(Flows, PunchPace,
                         testing::Values(PaceCase{"Cts", {}, false, "", "", 0},
                                         PaceCase{"Dc1Dc3", {"-d"}, true, "", "", 0},
                                         PaceCase{"TapeFeed", {"-t"}, false, leaderIso, trailerIso, 802}),
                         [](const testing::TestParamInfo<PaceCase>& info) { return info.param.name; });

struct BreakCase {
    const char* name;
    char byte;
    bool stops;
};

class BreakWatch : public testing::TestWithParam<BreakCase> {};

// The controller reads on after its byte: only the break watch can stop the send.
TEST_P(BreakWatch, BreakCodeStopsTheSendAndOtherBytesAreDropped)
{
    const BreakCase& row = GetParam();
    const std::string program = numberedProgram(6000);  // far more than the pseudo-terminal holds
    const std::string tape = isoTape(program);
    TempDir dir;
    dir.write("LONG.NC", program);
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-k2", "LONG.NC"}, dir.path());
    std::string received = readBytes(pty.masterFd(), 2000, 10000);
    ASSERT_GE(received.size(), 2000u);
    writeAll(pty.masterFd(), std::string(1, row.byte));
    received += readUntilQuiet(pty.masterFd(), 500, 30000);
    ASSERT_TRUE(zek.wait(15000));
    EXPECT_EQ(zek.result().exitStatus, row.stops ? 2 : 0);  // a batch file tells a stopped send
    const std::string& err = zek.result().err;
    EXPECT_EQ(contains(err, "BREAK CODE DEFINE \n"), row.stops) << err;
    EXPECT_EQ(contains(err, "SUB MODE END"), !row.stops) << err;
    if (row.stops)
        EXPECT_LT(received.size(), tape.size() / 2);
    else
        EXPECT_TRUE(received == tape) << received.size() << " of " << tape.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Codes, BreakWatch,
                         testing::Values(BreakCase{"AsciiPercent", '\x25', true}, BreakCase{"IsoPercent", '\xA5', true},
                                         BreakCase{"EiaPercent", '\x0B', true}, BreakCase{"IsoSyn", '\x96', true},
                                         BreakCase{"OtherByte", 'A', false}),
                         [](const testing::TestParamInfo<BreakCase>& info) { return info.param.name; });

// A program larger than the gathering buffer, over TCP; into a file, the
// real programs of the sender tests are larger than it too.
TEST(GatheredPunchOut, CarriesExactlyTheTapeOfTheProgram)
{
    const std::string programs = sharedProgramsDir();
    const std::string program = programs.empty() ? numberedProgram(6000) : readFileBytes(programs + "/HELIX.NC");
    TempDir dir;
    dir.write("PROG.NC", program);
    const std::string tape = isoTape(textContent(program));
    TcpListener listener;
    ZekProcess zek({"-c127.0.0.1:" + std::to_string(listener.port()), "-n", "PROG.NC"}, dir.path());
    int controller = listener.accept(10000);
    std::string received = readBytes(controller, tape.size(), 20000);
    received += readUntilQuiet(controller, 300, 3000);
    closeFd(controller);
    ASSERT_TRUE(zek.wait(15000));
    EXPECT_TRUE(received == tape) << received.size() << " of " << tape.size() << " bytes";
    EXPECT_TRUE(contains(zek.result().err, "SEND(B) NO_SUB MODE END PROG.NC")) << zek.result().err;
}

// The system may take part of a block, as a send does that a stop and
// continue interrupt while the controller reads slowly: the rest follows, and
// the send is no failure. More than the send buffer and the small window
// take together, so zek is in a send at each stop.
TEST(GatheredPunchOut, ShortSendsGoOnWithTheRest)
{
    TempDir dir;
    const std::string program = numberedProgram(300000);
    dir.write("PROG.NC", program);
    const std::string tape = isoTape(program);
    TcpListener listener(0, 4096);
    ZekProcess zek({"-c127.0.0.1:" + std::to_string(listener.port()), "-n", "PROG.NC"}, dir.path());
    int controller = listener.accept(10000);
    std::string received;
    for (int stop = 0; stop < 10; ++stop) {
        for (int piece = 0; piece < 20; ++piece) {
            received += readBytes(controller, 4096, 2000);
            sleepMs(1);
        }
        zek.stopAndContinue();
    }
    received += readBytes(controller, tape.size() - received.size(), 30000);
    closeFd(controller);
    ASSERT_TRUE(zek.wait(15000));
    EXPECT_TRUE(received == tape) << received.size() << " of " << tape.size() << " bytes";
    EXPECT_TRUE(contains(zek.result().err, "SEND(B) NO_SUB MODE END PROG.NC")) << zek.result().err;
}

// A write that fails when the gathered bytes go out is a failed send, never
// a finished one.
TEST(GatheredPunchOut, FullDiskAndLostConnectionAreNoSuccess)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "Windows has no always-full device like /dev/full";
    TempDir dir;
    dir.write("PROG.NC", numberedProgram(6000));
    ZekResult full = runZek({"-c\\/dev/full", "-n", "PROG.NC"}, dir.path());
    EXPECT_FALSE(contains(full.err, "MODE END")) << full.err;
    EXPECT_EQ(full.exitStatus, 2);
    // More than the send buffer (4 MB at most) and the small window take
    // together, so zek is still sending when the controller hangs up.
    dir.write("PROG.NC", numberedProgram(300000));
    TcpListener listener(0, 4096);
    ZekProcess zek({"-c127.0.0.1:" + std::to_string(listener.port()), "-n", "PROG.NC"}, dir.path());
    closeFd(listener.accept(10000));
    ASSERT_TRUE(zek.wait(15000));
    EXPECT_FALSE(contains(zek.result().err, "MODE END")) << zek.result().err;
}

}  // namespace
