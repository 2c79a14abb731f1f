// A machine behind an Ethernet device server: ser2net in front of a
// pseudo-terminal, the test playing the controller on its master. The
// servers connect to the box (--connect); over RFC 2217 (--rfc2217) zek sets
// the box's port and runs the DC1/DC3 flow itself.
#include "support/device_server.h"
#include "system_test.h"

namespace {

const std::string waitingLine = "** PROT(B) SERVER MODE IN.NC **\n";
const char* const noDeviceServer = "ser2net is not installed (scripts/install-missing.sh lists it)";

// The speed of the box's port, as the controller's end of the cable sees it.
speed_t portSpeed(const PtyPair& pty)
{
    termios settings{};
    tcgetattr(pty.masterFd(), &settings);
    return cfgetospeed(&settings);
}

// Every byte value but the text reader's end mark 0x1A.
std::string everyByte()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        if (value != 0x1A)
            bytes += char(value);
    return bytes;
}

}  // namespace

// A Protocol B and a Protocol A server, each connected to a raw port of the
// box, serve as they do on a cable. The box switched off and on again: each
// says once that the connection went, tries quietly, says when it is back
// and serves again.
TEST(DeviceServerRun, ConnectingServersServeThroughRawPortsAndComeBackAfterTheBoxRestarts)
{
    if (!DeviceServer::installed())
        GTEST_SKIP() << noDeviceServer;
    PtyPair tapeLine;
    PtyPair recordLine;
    DeviceServer box({{"tcp", &tapeLine}, {"tcp", &recordLine}});
    ASSERT_TRUE(box.start());
    TempDir tapeDir;
    TempDir recordDir;
    ZekProcess tapeServer({"-s", "--connect", "-n", box.channel(0), "IN.NC"}, tapeDir.path());
    ZekProcess recordServer({"-S", "--connect", box.channel(1)}, recordDir.path());
    RecordPeer controllerA(recordLine.masterFd());
    const int controllerB = tapeLine.masterFd();
    const std::string programs[] = {"%O1\n%", "%O22\nG1X1\n%"};
    for (const std::string& program : programs) {
        const size_t turn = &program == programs ? 1 : 4;  // each round has three waits
        ASSERT_TRUE(tapeServer.waitForErr(waitingLine, 15000, turn)) << tapeServer.result().err;
        writeAll(controllerB, isoTape(program));
        EXPECT_TRUE(waitForFile(tapeDir, "IN.NC", storedText(program)));
        ASSERT_TRUE(tapeServer.waitForErr(waitingLine, 15000, turn + 1)) << tapeServer.result().err;
        writeAll(controllerB, "\x11");
        EXPECT_EQ(readBytes(controllerB, program.size(), 10000), isoTape(program));
        controllerA.send("RDY");
        // An idle Protocol A server says SYN each second.
        EXPECT_TRUE(controllerA.readUntilType("RDY", 10000).received) << recordServer.result().err;
        ASSERT_TRUE(tapeServer.waitForErr(waitingLine, 15000, turn + 2)) << tapeServer.result().err;
        if (&program != programs)
            break;
        box.stop();
        ASSERT_TRUE(tapeServer.waitForErr("CONNECTION CLOSED !!")) << tapeServer.result().err;
        sleepMs(2500);  // a few tries find no box
        ASSERT_TRUE(box.start());
        for (ZekProcess* server : {&tapeServer, &recordServer})
            ASSERT_TRUE(server->waitForErr("CONNECTION TO 127.0.0.1 port=", 15000, 2)) << server->result().err;
    }
    tapeServer.kill();
    recordServer.kill();
    EXPECT_TRUE(appearInOrder(tapeServer.result().err,
                              {"SOCKET_OPEN\\(Server\\) REMOTE=127\\.0\\.0\\.1 PORT=[0-9]+ CTRL-C to END\n",
                               "CONNECTION TO 127\\.0\\.0\\.1 port=[0-9]+ " + timePattern + "\n",
                               "\\*\\* PROT\\(B\\) SERVER MODE IN\\.NC \\*\\*\n"}))
        << tapeServer.result().err;
    for (const std::string& err : {tapeServer.result().err, recordServer.result().err}) {
        EXPECT_EQ(countOf(err, "CONNECTION CLOSED"), 1u) << err;
        EXPECT_TRUE(matches(err, "\n CONNECTION CLOSED !!\nCONNECTION TO 127\\.0\\.0\\.1 port=[0-9]+ " + timePattern))
            << err;
        EXPECT_FALSE(contains(err, "connect") || contains(err, "CONNECT(C)")) << "no line per try: " << err;
    }
}

// Over RFC 2217 the box's port runs at the -b speed while zek is connected,
// and every byte value passes both ways as itself: 0xFF and the flow codes
// going out, everything but the tape feed 0xFF coming in. A real program is
// punched with DC1/DC3 flow, which zek runs itself at the line's pace: a
// DC3 stops it within a little of the line's time, DC1 lets it go on; the
// same tape punched back in is stored as the program.
TEST(DeviceServerRun, Rfc2217SetsThePortAndPassesEveryByteAndTheFlowCodes)
{
    if (!DeviceServer::installed())
        GTEST_SKIP() << noDeviceServer;
    const std::string programs = sharedProgramsDir();
    if (programs.empty())
        GTEST_SKIP() << "the shared NC programs are not available";
    PtyPair line;
    DeviceServer box({{"telnet(rfc2217),tcp", &line}});
    ASSERT_TRUE(box.start());
    const int controller = line.masterFd();
    TempDir dir;
    dir.write("ALL.NC", everyByte());
    {
        ZekProcess punch({"--rfc2217", "-d", "-n", "-a", "-b9600", box.channel(0), "ALL.NC"}, dir.path());
        ASSERT_TRUE(punch.waitForErr("FILE ALL.NC")) << punch.result().err;
        EXPECT_EQ(portSpeed(line), B9600);
        writeAll(controller, "\x11");
        EXPECT_EQ(readBytes(controller, 255, 10000), everyByte());
        EXPECT_TRUE(punch.wait(10000));
        EXPECT_TRUE(
            appearInOrder(punch.result().err, {"SOCKET_OPEN\\(Client\\) REMOTE=127\\.0\\.0\\.1 PORT=[0-9]+ CTRL-C",
                                               "\nRFC2217 9600bps M=1 " + timePattern + "\n"}))
            << punch.result().err;
    }
    {
        ZekProcess receive({"--rfc2217", "-r", "-p", "-a", "-b19200", box.channel(0), "IN.NC"}, dir.path());
        ASSERT_TRUE(receive.waitForErr("RECV(B) START")) << receive.result().err;
        EXPECT_EQ(portSpeed(line), B19200);
        writeAll(controller, everyByte() + "\xFF");
        std::string stored = storedText(everyByte());
        stored.erase(stored.find('\xFF'));
        EXPECT_TRUE(waitForFile(dir, "IN.NC", stored)) << dir.read("IN.NC").size();
    }
    const std::string program = readFileBytes(programs + "/HEATSINK.NC");
    const std::string tape = isoTape(textContent(program));
    ASSERT_GT(tape.size(), 20000u);
    dir.write("HEATSINK.NC", program);
    ZekProcess punch({"--rfc2217", "-d", "-n", "-b115200", box.channel(0), "HEATSINK.NC"}, dir.path());
    ASSERT_TRUE(punch.waitForErr("FILE HEATSINK.NC")) << punch.result().err;
    EXPECT_EQ(portSpeed(line), B115200);
    EXPECT_EQ(readUntilQuiet(controller, 500, 500), "") << "held until the first DC1";
    writeAll(controller, "\x11");
    std::string punched = readBytes(controller, 4000, 10000);
    writeAll(controller, "\x13");
    // At 115200 bit/s the line carries 11.5 KB a second.
    const size_t heldAt = punched.size();
    punched += readUntilQuiet(controller, 500, 5000);
    EXPECT_LT(punched.size() - heldAt, 8000u) << "what went on after DC3";
    EXPECT_EQ(readUntilQuiet(controller, 1000, 1000), "") << "held by DC3";
    writeAll(controller, "\x11");
    punched += readBytes(controller, tape.size() - punched.size(), 20000);
    EXPECT_TRUE(punched == tape) << punched.size() << " of " << tape.size();
    EXPECT_TRUE(punch.wait(10000));
    ZekProcess receive({"--rfc2217", "-r", "-b115200", box.channel(0), "BACK.NC"}, dir.path());
    ASSERT_TRUE(receive.waitForErr("RECV(B) START")) << receive.result().err;
    writeAll(controller, punched);
    EXPECT_TRUE(receive.wait(20000)) << receive.result().err;
    EXPECT_TRUE(dir.read("BACK.NC") == storedText(textContent(program)));
}
