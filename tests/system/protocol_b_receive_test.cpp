// Protocol B receives (-r): the test punches tapes into zek as the controller
// would, over a pseudo-terminal or a TCP connection.

#include "system_test.h"

namespace {

using namespace std::string_literals;

struct Reception {
    ZekResult run;
    std::string file;
    std::string log;
};

struct Punching {
    std::vector<std::string> options;
    std::string tape;
};

// Runs "zek -r" on a pseudo-terminal for each tape, all side by side, and
// punches the tape once its receive has started.
struct Receivers {
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::vector<std::unique_ptr<ZekProcess>> zeks;

    explicit Receivers(const std::vector<Punching>& punchings)
    {
        for (const Punching& punching : punchings) {
            dirs.push_back(std::make_unique<TempDir>());
            ptys.push_back(std::make_unique<PtyPair>());
            std::vector<std::string> args{serialChannelOption(*ptys.back()), "-b0", "-r"};
            args.insert(args.end(), punching.options.begin(), punching.options.end());
            args.push_back("IN.NC");
            zeks.push_back(std::make_unique<ZekProcess>(args, dirs.back()->path()));
        }
        for (size_t i = 0; i < punchings.size(); ++i) {
            EXPECT_TRUE(zeks[i]->waitForErr("RECV(B) START", 10000)) << zeks[i]->result().err;
            writeAll(ptys[i]->masterFd(), punchings[i].tape);
        }
    }

    void punch(const std::vector<std::string>& bytes)  // one entry for each run
    {
        for (size_t i = 0; i < ptys.size(); ++i)
            writeAll(ptys[i]->masterFd(), bytes[i]);
    }

    // Waits for each run to end by itself.
    std::vector<Reception> ended()
    {
        std::vector<Reception> receptions;
        for (size_t i = 0; i < zeks.size(); ++i) {
            EXPECT_TRUE(zeks[i]->wait(20000)) << zeks[i]->result().err;
            receptions.push_back({zeks[i]->result(), dirs[i]->read("IN.NC"), logOf(*dirs[i])});
        }
        return receptions;
    }
};

std::vector<Reception> receiveTapes(const std::vector<Punching>& punchings)
{
    return Receivers(punchings).ended();
}

// A program of about `size` bytes between, not including, its "%" codes.
std::string programBody(size_t size)
{
    std::mt19937 random(7);
    std::string program = generatedProgram(size, random);
    return program.substr(1, program.size() - 3);
}

TEST(ProtocolBReceive, StartCodeDecidesTheTapeCodeAndTheStopCodeEndsTheFile)
{
    const std::string body = "%" + programBody(2500) + "%";
    struct Case {
        std::vector<std::string> options;
        std::string tape;
        std::string file;
        std::string codeLine;  // "" where the code is given, not found
        std::string echoed;    // on standard output after the port's TTY OPEN line
    };
    const Case cases[] = {
        {{}, "\xA5\xCF\xB1\x0A\xA5", "%O1\r\n%", "ISO CODE DEFINE \n", ""},
        {{}, eiaTape("%O1\n%"), "%O1\r\n%", "EIA CODE DEFINE \n", ""},
        {{}, "%O1\n%", "%O1\r\n%", "ASCII CODE DEFINE \n", ""},
        // Feed counts only inside the tape and DEL never.
        {{}, "\x00\x0A\xFF\x96\xA5\x00\xCF\xFF\x0A\xA5"s, "%\0O\r\n%"s, "ISO CODE DEFINE \n", ""},
        // An explicit code takes the tape's start code as its stop.
        {{"-i"}, "\xA5\xCF\xB1\xA5", "%%", "", ""},
        {{"-e"}, eiaTape("%O1%"), "%%", "", ""},
        // The monitor echoes the tape instead of progress marks.
        {{"-o"}, isoTape(body), storedText(body), "ISO CODE DEFINE \n", body},
    };
    std::vector<Punching> punchings;
    for (const Case& c : cases)
        punchings.push_back({c.options, c.tape});
    std::vector<Reception> receptions = receiveTapes(punchings);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const Reception& got = receptions[i];
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(got.run.exitStatus, 0);
        EXPECT_EQ(got.file, c.file);
        EXPECT_EQ(got.run.out.substr(got.run.out.find('\n') + 1), c.echoed);
        EXPECT_FALSE(contains(got.run.err, "KB"));
        EXPECT_EQ(contains(got.run.err, "CODE DEFINE \n"), !c.codeLine.empty());
        size_t received = c.file.size() - std::count(c.file.begin(), c.file.end(), '\r');
        std::vector<std::string> lines = {"RECV\\(B\\) START IN\\.NC " + timePattern + "\n",
                                          "RECV\\(B\\) END IN\\.NC " + std::to_string(received) + "Byte " +
                                              timePattern + "\n"};
        if (!c.codeLine.empty())
            lines.insert(lines.begin() + 1, {c.codeLine, "\nSTOP CODE DEFINE\n"});
        for (const std::string& console : {got.run.err, got.log})
            EXPECT_TRUE(appearInOrder(console, lines)) << console;
    }
}

TEST(ProtocolBReceive, NoStopCodeStoresEverythingAndKeepsItWhenInterrupted)
{
    TempDir dir;
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-r", "-p", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    writeAll(pty.masterFd(), std::string("\x00\xA5\xCF\x0A\xA5\x00", 6));
    // Only Ctrl-C ends this receive; what came before a quiet second is on disk.
    const std::string stored("\0%O\r\n%\0", 7);
    EXPECT_TRUE(waitForFile(dir, "IN.NC", stored, 3500)) << dir.read("IN.NC").size();
    zek.kill();
    EXPECT_EQ(dir.read("IN.NC"), stored);
    EXPECT_EQ(zek.result().err.find("STOP CODE"), std::string::npos);
}

// --idle-end: a started tape, begun by its start code or, where none is
// awaited, by its first byte, ends after the silence; the feed of a running
// reader is no silence, and before the tape there is no limit.
TEST(ProtocolBReceive, IdleEndCutsAStartedTapeThatFallsSilent)
{
    Receivers receivers({{{"--idle-end=2"}, "\x0A\x00"s}, {{"--idle-end=2", "-p"}, ""}, {{"--idle-end=2", "-i"}, ""}});
    sleepMs(3500);
    for (auto& zek : receivers.zeks)
        EXPECT_TRUE(zek->running()) << zek->result().err;
    const std::string o1 = isoTape("O1\n");
    receivers.punch({"\xA5" + o1, "\xA5" + o1, o1});
    for (int feed = 0; feed < 8; ++feed) {
        sleepMs(400);
        receivers.punch({"\xFF", "\xFF", "\xFF"});
    }
    receivers.punch(std::vector<std::string>(3, isoTape("G1\n")));
    std::vector<Reception> receptions = receivers.ended();
    const int exitStatus[] = {2, 0, 2};  // -p: the silence is the tape's end
    for (size_t i = 0; i < receptions.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(receptions[i].run.exitStatus, exitStatus[i]);
        EXPECT_EQ(receptions[i].file, "%O1\r\nG1\r\n");
        for (const std::string& console : {receptions[i].run.err, receptions[i].log})
            EXPECT_TRUE(appearInOrder(console, {"\n TAPE STOPPED !!\n", "RECV\\(B\\) END IN\\.NC 7Byte"})) << console;
    }
}

TEST(ProtocolBReceive, LongTapeShowsKilobyteMarks)
{
    Reception got = receiveTapes({{{}, isoTape("%" + programBody(61000) + "%")}})[0];
    EXPECT_TRUE(contains(got.run.err, "\r1KB........10KB.........20KB.........30KB.........40KB.........\r50KB"
                                      ".........60KB."))
        << got.run.err;
    EXPECT_FALSE(contains(got.log, "KB")) << got.log;
}

TEST(ProtocolBReceive, EiaTapeSwitchesSoftFlowToTheNcDc3)
{
    TempDir dir;
    PtyPair pty;
    const int controller = pty.masterFd();
    ZekProcess zek({serialChannelOption(pty), "-b0", "-r", "-d", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    EXPECT_EQ(readBytes(controller, 1, 5000), "\x11") << "no DC1 at the first open";
    writeAll(controller, eiaTape("%"));
    EXPECT_EQ(readBytes(controller, 1, 5000), "\x11") << "the link was not opened anew";
    writeAll(controller, eiaTape("O3\n%"));
    EXPECT_TRUE(zek.wait(20000));
    EXPECT_EQ(dir.read("IN.NC"), "%O3\r\n%");
    EXPECT_NE(zek.result().err.find("EIA CODE DEFINE \n"), std::string::npos);
}

// Runs "zek -r" into file as the client of the test's listener, sends the
// bytes once the receive has started, and closes the connection.
ZekResult receiveOverTcp(const TempDir& dir, const std::string& file, const std::string& bytes)
{
    TcpListener listener;
    ZekProcess zek({"-r", "-c127.0.0.1:" + std::to_string(listener.port()), file}, dir.path());
    int controller = listener.accept(10000);
    EXPECT_GE(controller, 0);
    EXPECT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    writeAll(controller, bytes);
    closeFd(controller);
    EXPECT_TRUE(zek.wait(20000)) << zek.result().err;
    return zek.result();
}

TEST(ProtocolBReceive, ControllerClosingEarlyEndsTheReceiveAndKeepsTheBytes)
{
    TempDir dir;
    ZekResult run = receiveOverTcp(dir, "IN.NC", "\xA5\xCF\xB1\x0A");
    EXPECT_EQ(dir.read("IN.NC"), "%O1\r\n");
    EXPECT_TRUE(contains(run.err, "RECV(B) END IN.NC 4Byte")) << run.err;
}

TEST(ProtocolBReceive, FileThatCannotBeWrittenIsReported)
{
    TempDir dir;
    ZekResult missingDirectory = runZek({"-r", "-c\\line.tap", "NO/SUCH/IN.NC"}, dir.path());
    EXPECT_EQ(missingDirectory.exitStatus, 2);
    EXPECT_TRUE(contains(missingDirectory.err, "Write file open error : NO/SUCH/IN.NC\n"));
    EXPECT_FALSE(contains(missingDirectory.err, "RECV(B) START"));
    // A full disk shows only when the buffered bytes are written at the close.
    if (runningWindowsBuild())
        GTEST_SKIP() << "Windows has no always-full device like /dev/full; the open error "
                        "above is checked";
    ZekResult full = receiveOverTcp(dir, "/dev/full", "\xA5\xCF\xA5");
    EXPECT_TRUE(contains(full.err, "file write2 error:/dev/full\n")) << full.err;
}

}  // namespace
