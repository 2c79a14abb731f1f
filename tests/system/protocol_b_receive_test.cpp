// Protocol B receives (-r): the test punches tapes into zek as the controller
// would, over a pseudo-terminal or a TCP connection.

#include "system_test.h"

namespace {

struct Reception {
    ZekResult run;
    std::string file;
    std::string log;
};

struct Punching {
    std::vector<std::string> options;
    std::string tape;
};

// Runs "zek -r" on a pseudo-terminal for each tape, all side by side, punches
// the tape once its receive has started, and waits for each run to end by itself.
std::vector<Reception> receiveTapes(const std::vector<Punching>& punchings)
{
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::vector<std::unique_ptr<ZekProcess>> zeks;
    for (const Punching& punching : punchings) {
        dirs.push_back(std::make_unique<TempDir>());
        ptys.push_back(std::make_unique<PtyPair>());
        std::vector<std::string> args{serialChannelOption(*ptys.back()), "-b0", "-r"};
        args.insert(args.end(), punching.options.begin(), punching.options.end());
        args.push_back("IN.NC");
        zeks.push_back(std::make_unique<ZekProcess>(args, dirs.back()->path()));
    }
    std::vector<Reception> receptions;
    for (size_t i = 0; i < punchings.size(); ++i) {
        EXPECT_TRUE(zeks[i]->waitForErr("RECV(B) START", 10000)) << zeks[i]->result().err;
        writeAll(ptys[i]->masterFd(), punchings[i].tape);
    }
    for (size_t i = 0; i < punchings.size(); ++i) {
        EXPECT_TRUE(zeks[i]->wait(20000)) << zeks[i]->result().err;
        receptions.push_back({zeks[i]->result(), dirs[i]->read("IN.NC"), logOf(*dirs[i])});
    }
    return receptions;
}

Reception receiveTape(const std::vector<std::string>& options, const std::string& tape)
{
    return receiveTapes({{options, tape}})[0];
}

TEST(ProtocolBReceive, StartCodeDecidesTheTapeCodeAndTheStopCodeEndsTheFile)
{
    struct Case {
        std::string tape;
        std::string codeLine;
    };
    const Case cases[] = {
        {"\xA5\xCF\xB1\x0A\xA5", "ISO CODE DEFINE \n"},
        {eiaTape("%O1\n%"), "EIA CODE DEFINE \n"},
        {"%O1\n%", "ASCII CODE DEFINE \n"},
    };
    std::vector<Reception> receptions = receiveTapes({{{}, cases[0].tape}, {{}, cases[1].tape}, {{}, cases[2].tape}});
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const Reception& got = receptions[i];
        SCOPED_TRACE(c.codeLine);
        EXPECT_EQ(got.run.exitStatus, 0);
        EXPECT_EQ(got.file, "%O1\r\n%");
        for (const std::string& console : {got.run.err, got.log})
            EXPECT_TRUE(
                appearInOrder(console, {"RECV\\(B\\) START IN\\.NC " + timePattern + "\n", c.codeLine,
                                        "\nSTOP CODE DEFINE\n", "RECV\\(B\\) END IN\\.NC 5Byte " + timePattern + "\n"}))
                << console;
    }
}

TEST(ProtocolBReceive, FeedCountsOnlyInsideTheTapeAndDelNever)
{
    Reception got = receiveTape({}, std::string("\x00\x0A\xFF\x96\xA5\x00\xCF\xFF\x0A\xA5", 10));
    EXPECT_EQ(got.file, std::string("%\0O\r\n%", 6));
    EXPECT_NE(got.run.err.find("RECV(B) END IN.NC 5Byte"), std::string::npos) << got.run.err;
}

TEST(ProtocolBReceive, ExplicitCodeTakesTheTapesStartCodeAsItsStop)
{
    std::vector<Reception> got = receiveTapes({{{"-i"}, "\xA5\xCF\xB1\xA5"}, {{"-e"}, eiaTape("%O1%")}});
    EXPECT_EQ(got[0].file, "%%");
    EXPECT_FALSE(contains(got[0].run.err, "CODE DEFINE \n"));
    EXPECT_TRUE(contains(got[0].run.err, "RECV(B) END IN.NC 2Byte")) << got[0].run.err;
    EXPECT_EQ(got[1].file, "%%");
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
    EXPECT_TRUE(waitForFile(dir, "IN.NC", stored)) << dir.read("IN.NC").size();
    zek.kill();
    EXPECT_EQ(dir.read("IN.NC"), stored);
    EXPECT_EQ(zek.result().err.find("STOP CODE"), std::string::npos);
}

// A program of about `size` bytes between, not including, its "%" codes.
std::string programBody(size_t size)
{
    std::mt19937 random(7);
    std::string program = generatedProgram(size, random);
    return program.substr(1, program.size() - 3);
}

TEST(ProtocolBReceive, MonitorEchoesTheTapeInsteadOfProgressMarks)
{
    const std::string body = programBody(2500);
    Reception got = receiveTape({"-o"}, isoTape("%" + body + "%"));
    // Standard output opens with the port's TTY OPEN line.
    const std::string& out = got.run.out;
    EXPECT_EQ(out.substr(out.find('\n') + 1), "%" + body + "%");
    EXPECT_EQ(got.run.err.find("KB"), std::string::npos);
    EXPECT_EQ(got.file, storedText("%" + body + "%"));
}

TEST(ProtocolBReceive, LongTapeShowsKilobyteMarks)
{
    Reception got = receiveTape({}, isoTape("%" + programBody(61000) + "%"));
    EXPECT_TRUE(contains(got.run.err, "\r1KB........10KB.........20KB.........30KB.........40KB.........\r50KB"
                                      ".........60KB."))
        << got.run.err;
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

TEST(ProtocolBReceive, ControllerClosingEarlyEndsTheReceiveAndKeepsTheBytes)
{
    TempDir dir;
    TcpListener listener;
    ZekProcess zek({"-r", "-c127.0.0.1:" + std::to_string(listener.port()), "IN.NC"}, dir.path());
    int controller = listener.accept(10000);
    ASSERT_GE(controller, 0);
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    writeAll(controller, "\xA5\xCF\xB1\x0A");
    closeFd(controller);
    EXPECT_TRUE(zek.wait(20000)) << zek.result().err;
    EXPECT_EQ(dir.read("IN.NC"), "%O1\r\n");
    EXPECT_NE(zek.result().err.find("RECV(B) END IN.NC 4Byte"), std::string::npos) << zek.result().err;
}

TEST(ProtocolBReceive, FileThatCannotBeWrittenIsReported)
{
    TempDir dir;
    ZekResult missingDirectory = runZek({"-r", "-c\\line.tap", "NO/SUCH/IN.NC"}, dir.path());
    EXPECT_EQ(missingDirectory.exitStatus, 2);
    EXPECT_NE(missingDirectory.err.find("Write file open error : NO/SUCH/IN.NC\n"), std::string::npos);
    EXPECT_EQ(missingDirectory.err.find("RECV(B) START"), std::string::npos);
    // A full disk shows only when the buffered bytes are written at the close.
    if (runningWindowsBuild())
        GTEST_SKIP() << "Windows has no always-full device like /dev/full; the open error "
                        "above is checked";
    TcpListener listener;
    ZekProcess zek({"-r", "-c127.0.0.1:" + std::to_string(listener.port()), "/dev/full"}, dir.path());
    int controller = listener.accept(10000);
    ASSERT_GE(controller, 0);
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    writeAll(controller, "\xA5\xCF\xA5");
    EXPECT_TRUE(zek.wait(20000));
    closeFd(controller);
    EXPECT_NE(zek.result().err.find("file write2 error:/dev/full\n"), std::string::npos) << zek.result().err;
}

}  // namespace
