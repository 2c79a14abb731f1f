// The Protocol B server (-s): the test is the controller that, on each turn,
// punches a tape in or asks for one with DC1, over a pseudo-terminal or TCP.

#include "system_test.h"

namespace {

const std::string waitingLine = "** PROT(B) SERVER MODE IN.NC **\n";

// Each tape received, the server waits again; DC1 is answered with the file
// in the code of the tape last received.
TEST(ProtocolBServer, ReceivesTapesAndAnswersDc1WithTheFileInTheCodeLastReceived)
{
    TempDir dir;
    PtyPair pty;
    const int controller = pty.masterFd();
    ZekProcess zek({"-s", "-n", serialChannelOption(pty), "-b0", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr(waitingLine)) << zek.result().err;
    // ISO SYN and a line feed are no request.
    writeAll(controller, "\x96\x0A");
    writeAll(controller, "\xA5\xCF\xB1\x0A\xA5");
    ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, 2)) << zek.result().err;
    EXPECT_EQ(dir.read("IN.NC"), "%O1\r\n%");
    writeAll(controller, eiaTape("%O12\nG1X3.\n%"));
    ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, 3)) << zek.result().err;
    EXPECT_EQ(dir.read("IN.NC"), "%O12\r\nG1X3.\r\n%");
    writeAll(controller, "\x11");
    const std::string expected = eiaTape("%O12\nG1X3.\n%");
    EXPECT_EQ(readBytes(controller, expected.size(), 10000), expected);
    EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, 4)) << zek.result().err;
    EXPECT_EQ(readUntilQuiet(controller, 300, 2000), "") << "the waiting port is in hardware flow: no DC1";
    // Back to waiting, the server takes the next tape.
    writeAll(controller, "%O7\n%");
    EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, 5)) << zek.result().err;
    zek.kill();
    EXPECT_EQ(dir.read("IN.NC"), "%O7\r\n%");
    EXPECT_TRUE(appearInOrder(zek.result().err,
                              {"\\*\\* PROT\\(B\\) SERVER MODE IN\\.NC \\*\\*\n", "ISO CODE DEFINE \n",
                               "RECV\\(B\\) START IN\\.NC ", "STOP CODE DEFINE\n", "RECV\\(B\\) END IN\\.NC 5Byte ",
                               "\\*\\* PROT\\(B\\) SERVER MODE IN\\.NC \\*\\*\n", "EIA CODE DEFINE \n",
                               "D1 CODE DEFINE \n", "SEND\\(B\\) NO_SUB MODE START IN\\.NC ",
                               "SEND\\(B\\) NO_SUB MODE END IN\\.NC ", "ASCII CODE DEFINE \n"}))
        << zek.result().err;
}

// An edit of ZEKMAC.TXT is used by the next send of the running server; a
// macro file that cannot be read then leaves the macros as they were.
TEST(ProtocolBServer, ReadsAChangedMacroFileBeforeTheNextSend)
{
    TempDir dir;
    dir.write("IN.NC", "%\nX1.\n& SUB1,@MOVE\n%\n");
    dir.write("SUB1", "%\nG1X1.\n%\n-----------\n");
    dir.write("ZEKMAC.TXT", "@MOVE:X1.=X2.\n");
    PtyPair pty;
    ZekProcess zek({"-s", serialChannelOption(pty), "-b0", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr(waitingLine)) << zek.result().err;
    size_t turn = 1;
    auto punchedOut = [&] {
        writeAll(pty.masterFd(), "\x11");
        std::string tape = withoutParity(readUntilQuiet(pty.masterFd(), 1000, 10000));
        EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, ++turn)) << zek.result().err;
        return tape;
    };
    EXPECT_TRUE(contains(punchedOut(), "\nG1X2.\n"));
    dir.write("ZEKMAC.TXT", "@MOVE:X1.=X3.\n");
    EXPECT_TRUE(contains(punchedOut(), "\nG1X3.\n"));
    std::filesystem::remove(dir.file("ZEKMAC.TXT"));
    EXPECT_TRUE(contains(punchedOut(), "\nG1X3.\n"));
    zek.kill();
    EXPECT_TRUE(appearInOrder(
        zek.result().err,
        {"MACRO FILE ZEKMAC.TXT READ AGAIN " + timePattern + "\n",
         "MACRO FILE ZEKMAC.TXT NOT READ AGAIN : No such file or directory, MACROS KEPT " + timePattern + "\n"}))
        << zek.result().err;
}

// --idle-end: a tape that falls silent right after the start code the
// server took ends by itself with what came; the server then serves the next.
TEST(ProtocolBServer, IdleEndCutsASilentTapeAndTheServerWaitsAgain)
{
    TempDir dir;
    PtyPair pty;
    ZekProcess zek({"-s", "--idle-end=2", serialChannelOption(pty), "-b0", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr(waitingLine)) << zek.result().err;
    writeAll(pty.masterFd(), "\xA5");
    ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, 2)) << zek.result().err;
    EXPECT_EQ(dir.read("IN.NC"), "%");
    writeAll(pty.masterFd(), "%O7\n%");
    EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, 3)) << zek.result().err;
    zek.kill();
    EXPECT_EQ(dir.read("IN.NC"), "%O7\r\n%");
    EXPECT_TRUE(appearInOrder(zek.result().err, {"\n TAPE STOPPED !!\n", "RECV\\(B\\) END IN\\.NC 1Byte "}));
}

// A connection closed while the server waits is replaced; the server waits
// idle on the next one. A controller that calls again while its old
// connection sits idle (switched off and on) takes its place at once; one
// that calls during a transfer waits until the transfer has ended. Every
// connection is probed while idle.
TEST(ProtocolBServer, TakesEachNewConnectionBetweenTransfersWithoutSpinning)
{
    TempDir dir;
    const int port = freeTcpPort();
    const double cpuBefore = childCpuSeconds();
    {
        ZekProcess zek({"-s", "-n", "-c127.0.0.1:" + std::to_string(port), "IN.NC"}, dir.path());
        closeFd(connectTcp(port, 10000));
        EXPECT_TRUE(zek.waitForErr("SOCKET_OPEN(Server)", 15000, 2)) << zek.result().err;
        int first = connectTcp(port, 10000);
        EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, 2)) << zek.result().err;
        sleepMs(1500);
        EXPECT_TRUE(peerProbesWhenIdle(first));
        writeAll(first, isoTape("%O1\n%"));
        ASSERT_TRUE(zek.waitForErr("RECV(B) END IN.NC 5Byte", 15000)) << zek.result().err;
        int second = connectTcp(port, 10000);
        ASSERT_TRUE(zek.waitForErr("OLD CONNECTION 127.0.0.1 port=", 15000)) << zek.result().err;
        EXPECT_EQ(readUntilQuiet(first, 300, 5000), "") << "the old connection is closed";
        writeAll(second, "\x11");
        EXPECT_EQ(readBytes(second, 5, 10000), isoTape("%O1\n%"));
        ASSERT_TRUE(zek.waitForErr("SEND(B) NO_SUB MODE END IN.NC", 15000)) << zek.result().err;
        EXPECT_TRUE(zek.waitForErr(waitingLine, 15000, 4)) << zek.result().err;
        writeAll(second, isoTape("%O22\nG1"));
        ASSERT_TRUE(zek.waitForErr("RECV(B) START", 15000, 2)) << zek.result().err;
        int third = connectTcp(port, 10000);
        sleepMs(2500);
        writeAll(second, isoTape("X1\n%"));
        ASSERT_TRUE(zek.waitForErr("RECV(B) END IN.NC 11Byte", 15000)) << zek.result().err;
        EXPECT_EQ(dir.read("IN.NC"), "%O22\r\nG1X1\r\n%") << "the transfer was not cut";
        ASSERT_TRUE(zek.waitForErr("OLD CONNECTION 127.0.0.1 port=", 15000, 2)) << zek.result().err;
        writeAll(third, isoTape("%O333\n%"));
        EXPECT_TRUE(zek.waitForErr("RECV(B) END IN.NC 7Byte", 15000)) << zek.result().err;
        closeFd(first);
        closeFd(second);
        closeFd(third);
        zek.kill();
        EXPECT_EQ(dir.read("IN.NC"), "%O333\r\n%");
        EXPECT_EQ(countOf(zek.result().err, "CONNECTION FROM"), 4u) << zek.result().err;
        EXPECT_TRUE(matches(zek.result().err, "SOCKET_OPEN\\(Server\\) LOCAL=\\S+ PORT=" + std::to_string(port) +
                                                  " CTRL-C to END\nCONNECTION FROM 127\\.0\\.0\\.1 port=[0-9]+ " +
                                                  timePattern + "\n"))
            << zek.result().err;
    }
    EXPECT_LT(childCpuSeconds() - cpuBefore, 1.5) << "the waiting server kept the processor busy";
}

// --allow: a caller from an address not named is closed at once, whether
// the server waits for its first caller or sits on an idle connection, and
// never takes the place of the connection; the others are served.
TEST(ProtocolBServer, ClosesCallersNotAllowedAndServesTheOthers)
{
    TempDir dir;
    const int port = freeTcpPort();
    ZekProcess zek({"-s", "-n", "--allow=10.0.0.0/8,127.0.0.2", "-c127.0.0.1:" + std::to_string(port), "IN.NC"},
                   dir.path());
    int refused = connectTcp(port, 10000);
    ASSERT_TRUE(zek.waitForErr("CONNECTION REFUSED 127.0.0.1 port=")) << zek.result().err;
    EXPECT_EQ(readUntilQuiet(refused, 300, 5000), "");
    closeFd(refused);
    int allowed = connectTcp(port, 10000, "127.0.0.2");
    ASSERT_TRUE(zek.waitForErr(waitingLine)) << zek.result().err;
    refused = connectTcp(port, 10000);
    ASSERT_TRUE(zek.waitForErr("CONNECTION REFUSED 127.0.0.1 port=", 15000, 2)) << zek.result().err;
    writeAll(allowed, isoTape("%O5\n%"));
    EXPECT_TRUE(waitForFile(dir, "IN.NC", "%O5\r\n%"));
    closeFd(refused);
    closeFd(allowed);
    zek.kill();
    EXPECT_TRUE(matches(zek.result().err, "CONNECTION REFUSED 127\\.0\\.0\\.1 port=[0-9]+ " + timePattern +
                                              "\nCONNECTION FROM 127\\.0\\.0\\.2 port=[0-9]+ " + timePattern + "\n"))
        << zek.result().err;
    EXPECT_EQ(countOf(zek.result().err, "CONNECTION FROM"), 1u) << zek.result().err;
}

}  // namespace
