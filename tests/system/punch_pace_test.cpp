// A punch-out at the pace of the link: no idle line between blocks, a break
// code from the controller still heard, a percent meter that belongs to the
// file it counts, and gathered TCP and file output that carries the same bytes.

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

// The percent values of the marks in a stretch of console text.
std::vector<int> percentMarks(const std::string& text)
{
    std::vector<int> values;
    std::regex mark("([0-9]+)%");
    for (std::sregex_iterator it(text.begin(), text.end(), mark), end; it != end; ++it)
        values.push_back(std::stoi((*it)[1]));
    return values;
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

// A call in the middle of the main program: its sub-program runs a meter of
// its own, then the main program's marks go on where they stood.
TEST(PercentMarks, CallingProgramsMeterGoesOnAfterASubProgram)
{
    std::string main = numberedProgram(400);
    main.insert(main.find("N200 "), "(C SUB1)\n");
    TempDir dir;
    dir.write("MAIN.NC", main);
    dir.write("SUB1", "%\nO2000\nG01X10.F200\nG01X20.\nG01X30.\nM99\n%\n");
    ZekResult run = runZek({"-c\\out.nc", "MAIN.NC"}, dir.path());
    size_t open = run.err.find(" OPEN_ SUB1");
    size_t close = run.err.find(" CLOSE SUB1");
    size_t end = run.err.find(" _END_ MAIN.NC");
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos && end != std::string::npos) << run.err;
    std::vector<int> before = percentMarks(run.err.substr(0, open));
    std::vector<int> after = percentMarks(run.err.substr(close, end - close));
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty());
    EXPECT_GT(after.front(), before.back()) << run.err;
    EXPECT_LE(after.back(), 110) << run.err;  // each line feed counts twice
    std::smatch endLine;
    ASSERT_TRUE(std::regex_search(run.err, endLine, std::regex("SUB MODE END MAIN\\.NC [0-9]+Byte ([0-9]+)%")));
    EXPECT_GE(std::stoi(endLine[1]), after.back());  // the last steps may show as dots
    EXPECT_LE(std::stoi(endLine[1]), 110);
}

// Bytes on a gathering link, read back from the far end.
std::string punchOut(bool overTcp, const std::vector<std::string>& options, const TempDir& dir, size_t expectedSize,
                     std::string* err)
{
    std::vector<std::string> args = options;
    if (!overTcp) {
        args.insert(args.begin(), "-c\\out.nc");
        ZekResult run = runZek(args, dir.path());
        *err = run.err;
        return dir.read("out.nc");
    }
    TcpListener listener;
    args.insert(args.begin(), "-c127.0.0.1:" + std::to_string(listener.port()));
    ZekProcess zek(args, dir.path());
    int controller = listener.accept(10000);
    std::string received = readBytes(controller, expectedSize, 20000);
    received += readUntilQuiet(controller, 300, 3000);
    closeFd(controller);
    zek.wait(15000);
    *err = zek.result().err;
    return received;
}

class GatheredPunchOut : public testing::TestWithParam<bool> {};

// A program larger than the gathering buffer, into a file or over TCP.
TEST_P(GatheredPunchOut, CarriesExactlyTheTapeOfTheProgram)
{
    const std::string programs = sharedProgramsDir();
    const std::string program = programs.empty() ? numberedProgram(6000) : readFileBytes(programs + "/HELIX.NC");
    TempDir dir;
    dir.write("PROG.NC", program);
    const std::string tape = isoTape(textContent(program));
    std::string err;
    std::string received = punchOut(GetParam(), {"-n", "PROG.NC"}, dir, tape.size(), &err);
    EXPECT_TRUE(received == tape) << received.size() << " of " << tape.size() << " bytes";
    EXPECT_TRUE(contains(err, "SEND(B) NO_SUB MODE END PROG.NC")) << err;
}

INSTANTIATE_TEST_SUITE_P(Links, GatheredPunchOut, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Tcp" : "File"; });

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
