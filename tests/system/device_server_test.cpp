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

// A Protocol B server and the controller on the box's port it connects to.
struct TapeMachine {
    PtyPair line;
    TempDir dir;
    std::unique_ptr<ZekProcess> zek;
};

// Protocol B servers on a raw port and on an RFC 2217 port of the box, and
// a Protocol A server on a raw port, serve as they do on a cable. The box
// switched off and on again: each says once that the connection went, tries
// quietly, says when it is back (the port set anew) and serves again.
TEST(DeviceServerRun, ConnectingServersServeThroughTheBoxAndComeBackAfterItRestarts)
{
    if (!DeviceServer::installed())
        GTEST_SKIP() << noDeviceServer;
    TapeMachine raw;
    TapeMachine rfc2217;
    PtyPair recordLine;
    DeviceServer box({{"tcp", &raw.line}, {"telnet(rfc2217),tcp", &rfc2217.line}, {"tcp", &recordLine}});
    ASSERT_TRUE(box.start());
    raw.zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-s", "--connect", "-n", box.channel(0), "IN.NC"},
                                           raw.dir.path());
    rfc2217.zek = std::make_unique<ZekProcess>(
        std::vector<std::string>{"-s", "--connect", "--rfc2217", "-b19200", "-n", box.channel(1), "IN.NC"},
        rfc2217.dir.path());
    TempDir recordDir;
    ZekProcess recordServer({"-S", "--connect", box.channel(2)}, recordDir.path());
    RecordPeer controllerA(recordLine.masterFd());
    std::mt19937 random(26);
    std::string longer = generatedProgram(4000, random);
    const std::string programs[] = {"%O1\n%", longer.substr(0, longer.size() - 1)};
    for (const std::string& program : programs) {
        const size_t turn = &program == programs ? 1 : 4;  // each round has three waits
        for (TapeMachine* machine : {&raw, &rfc2217}) {
            ZekProcess& zek = *machine->zek;
            const int controller = machine->line.masterFd();
            ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, turn)) << zek.result().err;
            writeAll(controller, isoTape(program));
            EXPECT_TRUE(waitForFile(machine->dir, "IN.NC", storedText(program)));
            ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, turn + 1)) << zek.result().err;
            writeAll(controller, "\x11");
            std::string punched = readBytes(controller, 5, 10000);
            // The server answers DC1 on the NC DC3 flow, which zek runs itself over RFC 2217.
            if (machine == &rfc2217 && turn > 1) {
                writeAll(controller, "\x93");
                punched += readUntilQuiet(controller, 500, 5000);
                // At 19200 bit/s the program takes two seconds.
                EXPECT_LT(punched.size(), program.size() / 2) << "stopped by the NC DC3";
                EXPECT_EQ(readUntilQuiet(controller, 1000, 1000), "") << "held by the NC DC3";
                writeAll(controller, "\x11");
            }
            punched += readBytes(controller, program.size() - punched.size(), 10000);
            EXPECT_EQ(punched, isoTape(program));
            ASSERT_TRUE(zek.waitForErr(waitingLine, 15000, turn + 2)) << zek.result().err;
        }
        EXPECT_EQ(portSpeed(rfc2217.line), B19200);
        controllerA.send("RDY");
        // An idle Protocol A server says SYN each second.
        EXPECT_TRUE(controllerA.readUntilType("RDY", 10000).received) << recordServer.result().err;
        if (&program != programs)
            break;
        box.stop();
        ASSERT_TRUE(raw.zek->waitForErr("CONNECTION CLOSED !!")) << raw.zek->result().err;
        sleepMs(2500);  // a few tries find no box
        ASSERT_TRUE(box.start());
        for (ZekProcess* server : {raw.zek.get(), rfc2217.zek.get(), &recordServer})
            ASSERT_TRUE(server->waitForErr("CONNECTION TO 127.0.0.1 port=", 15000, 2)) << server->result().err;
    }
    raw.zek->kill();
    rfc2217.zek->kill();
    recordServer.kill();
    EXPECT_TRUE(appearInOrder(raw.zek->result().err,
                              {"SOCKET_OPEN\\(Server\\) REMOTE=127\\.0\\.0\\.1 PORT=[0-9]+ CTRL-C to END\n",
                               "CONNECTION TO 127\\.0\\.0\\.1 port=[0-9]+ " + timePattern + "\n",
                               "\\*\\* PROT\\(B\\) SERVER MODE IN\\.NC \\*\\*\n"}))
        << raw.zek->result().err;
    EXPECT_EQ(countOf(rfc2217.zek->result().err, "\nRFC2217 19200bps M=0 "), 2u) << rfc2217.zek->result().err;
    for (const std::string& err : {raw.zek->result().err, rfc2217.zek->result().err, recordServer.result().err}) {
        EXPECT_EQ(countOf(err, "CONNECTION CLOSED"), 1u) << err;
        EXPECT_TRUE(matches(err, "\n CONNECTION CLOSED !!\nCONNECTION TO 127\\.0\\.0\\.1 port=[0-9]+ " + timePattern))
            << err;
        EXPECT_FALSE(contains(err, "connect") || contains(err, "CONNECT(C)")) << "no line per try: " << err;
    }
}

// Over RFC 2217 the box's port runs at the -b speed while zek is connected,
// and every byte value passes both ways as itself: 0xFF and the flow codes
// going out, everything but the tape feed 0xFF coming in, where a receive
// leaves the flow codes to the reader. A real program is
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
        ZekProcess receive({"--rfc2217", "-r", "-p", "-a", "-d", "-b19200", box.channel(0), "IN.NC"}, dir.path());
        ASSERT_TRUE(receive.waitForErr("RECV(B) START")) << receive.result().err;
        EXPECT_EQ(portSpeed(line), B19200);
        EXPECT_EQ(readBytes(controller, 1, 5000), "\x11") << "a receive with software flow invites the controller";
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
