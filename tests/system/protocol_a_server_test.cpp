// zek -S answering the controller record by record; the test connects as the
// controller. The server drops a connection that stays silent for a second
// or brings a bad record, and then waits for the controller to connect again.
#include <future>
#include <numeric>

#include "protocol_a_fixture.h"

namespace {

constexpr size_t recordSizeForTest = 4096;
const std::string smallProgram = "%\nO7\nG01 X1.000 Y1.000\nG01 X2.000 Y2.000\n%\n";

class ProtocolAServer : public ProtocolAController {
protected:
    // The decoded DAT payloads that answer a request for name; *end ends them.
    std::vector<std::string> request(const std::string& name, PeerRecord* end)
    {
        peer.send("GTD", name);
        std::vector<std::string> blocks = collectBlocks(end);
        for (std::string& block : blocks) {
            EXPECT_EQ(isoTape(withoutParity(block)), block);
            block = withoutParity(block);
        }
        return blocks;
    }
    // A bad record makes the server answer SYN and wait for a new connection,
    // where it answers the next good record again.
    void expectRecovery(const std::string& bad)
    {
        peer.sendRaw(bad);
        EXPECT_EQ(peer.read(8000).letters, "SYN");
        reconnect();
        EXPECT_EQ(ask("RDY").letters, "RDY");
    }
};

}  // namespace

// The default program goes out in blocks of about a thousand bytes, each
// sent when the controller asks for it with GTD.
TEST_F(ProtocolAServer, SendsProgramsInBlocksThatEachWaitForGtd)
{
    std::string program = "%\nO100\n";
    for (int line = 1; line <= 120; ++line)
        program += "N" + std::to_string(1000 + line) + " G01 X1.000 Y2.000\n";
    dir.write("O100", program + "%\n");
    std::string text(1300, 'x');
    for (std::size_t i = 50; i < text.size(); i += 51)
        text[i] = '\n';
    dir.write("P.NC", text);
    dir.write("MAIN.NC", "%\nX1.\n&& SB12.NC\nX2.\n%\n");
    dir.write("SB12.NC", "%\nG01Y1.\nM99\n%\n-------\n");
    startServer({"O100"});
    PeerRecord end;
    std::vector<std::string> blocks = request("", &end);
    EXPECT_EQ(end.letters, "EOD");
    ASSERT_GE(blocks.size(), 3u);
    for (size_t i = 0; i + 1 < blocks.size(); ++i)
        EXPECT_NEAR(blocks[i].size(), 1000, 100) << "block " << i;
    EXPECT_EQ(std::accumulate(blocks.begin(), blocks.end(), std::string()), "%\n( O100)\n" + program.substr(2) + "%\n");
    ASSERT_TRUE(zek->waitForErr("SEND(A) SUB MODE END O100 "));
    EXPECT_TRUE(contains(err(), "SEND(A) SUB MODE START O100 "));
    // A missing program goes out as an error tape and ends with RST.
    blocks = request("NOPE", &end);
    EXPECT_EQ(end.letters, "RST");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_TRUE(contains(blocks[0], "NOPE"));
    EXPECT_TRUE(zek->waitForErr("SEND(A) SUB MODE END NOPE "));
    // The server goes on; a block header goes out with what is gathered before it.
    EXPECT_EQ(request("MAIN.NC", &end),
              (std::vector<std::string>{"%\n(MAIN.NC)\nX1.\nO12 \n(SB12.NC)\n", "G01Y1.\nM99\nX2.\n%\n"}));
    EXPECT_EQ(end.letters, "EOD");
    // A plain send makes one record per piece.
    startServer({"-n"});
    EXPECT_EQ(request("P.NC", &end),
              (std::vector<std::string>{text.substr(0, 512), text.substr(512, 512), text.substr(1024)}));
    EXPECT_EQ(end.letters, "EOD");
}

TEST_F(ProtocolAServer, ReceivesAnnouncedFilesAndRefusesNamesOutsideTheWorkingDirectory)
{
    dir.write("O1", "%\nO1\n%\n");
    dir.write("O100", std::string(300, 'Z'));  // replaced wholly
    startServer();
    // Names outside the working directory are refused, to send or to receive.
    std::string escape = "../zek-escape-" + std::to_string(getpid());
    std::string ownDirAgain = "../" + dir.path().substr(dir.path().rfind('/') + 1) + "/O1";
    const std::pair<const char*, std::string> requests[] = {
        {"GTD", ownDirAgain}, {"GTD", "/etc/passwd"}, {"RTD", escape}, {"RTD", "C:X"}, {"RTD", "sub\\..\\..\\X"},
    };
    for (const auto& [letters, name] : requests)
        EXPECT_EQ(ask(letters, name).raw, wireRecord("RST")) << letters << " " << name;
    EXPECT_FALSE(dir.exists(escape));
    EXPECT_FALSE(dir.exists("C:X"));
    EXPECT_EQ(countOf(err(), "ILLEGAL FILE NAME "), 5u);
    EXPECT_TRUE(matches(err(), "ILLEGAL FILE NAME /etc/passwd " + timePattern + "\n"));
    EXPECT_EQ(countOf(logOf(dir), "ILLEGAL FILE NAME "), 5u);
    EXPECT_FALSE(contains(err(), "SEND(A)"));
    EXPECT_FALSE(contains(err(), "RECV(A)"));
    // The server goes on and receives a file it is offered.
    std::string first = "O100\n" + std::string(95, 'X');
    std::string second = std::string(99, 'Y') + "\n";
    EXPECT_EQ(ask("RTD", "O100 X").raw, wireRecord("GTD"));
    EXPECT_EQ(ask("DAT", isoTape(first)).raw, wireRecord("GTD"));
    auto start = std::chrono::steady_clock::now();
    peer.send("WAT");
    EXPECT_EQ(peer.read(15000).raw, wireRecord("GTD"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
    EXPECT_EQ(ask("DAT", isoTape(second)).raw, wireRecord("GTD"));
    EXPECT_EQ(ask("EOD").raw, wireRecord("SET"));
    ASSERT_TRUE(zek->waitForErr("RECV(A) END O100 "));
    EXPECT_EQ(dir.read("O100"), "O100\r\n" + std::string(95, 'X') + std::string(99, 'Y') + "\r\n");
    EXPECT_TRUE(appearInOrder(
        err(), {"RECV\\(A\\) START O100 ", " READ WAT SLEEP ", "\rRECV\\(A\\) END O100 200Byte " + timePattern + "\n"}))
        << err();
    // Without a name into the fallback file; ended otherwise than by EOD.
    EXPECT_EQ(ask("RTD").raw, wireRecord("GTD"));
    EXPECT_EQ(ask("DAT", isoTape("O5\n")).raw, wireRecord("GTD"));
    EXPECT_EQ(ask("SYN").raw, wireRecord("RST"));
    EXPECT_EQ(dir.read("ZEKTMP.TXT"), "O5\r\n");
    EXPECT_TRUE(contains(err(), "RECV(A) RESET ZEKTMP.TXT 3Byte "));
}

// A silent connection, a closed one and bad records each cost a SYN, never
// the server.
TEST_F(ProtocolAServer, ASilentClosedOrBadConnectionIsDroppedAndTheServerWaitsAnew)
{
    startServer({"-o"});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(peer.read(8000).raw, wireRecord("SYN"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
    reconnect();
    // Closed only once the server holds it, so the next connection meets a new listener.
    ASSERT_TRUE(zek->waitForErr("CONNECTION FROM ", 10000, 2));
    closeFd(fd);
    fd = -1;
    ASSERT_TRUE(zek->waitForErr("ERR-RETRY SYN SEND ", 10000, 2));
    reconnect();
    expectRecovery("fdSYN\x03");                          // lower-case checksum
    expectRecovery(wireRecord("XYZ"));                    // no such type
    expectRecovery("12GTDO1");                            // cut short
    expectRecovery(std::string(recordSizeForTest, 'A'));  // no ETX in a whole record
    ASSERT_TRUE(zek->waitForErr("---<"));
    EXPECT_GE(countOf(err(), "ERR-RETRY SYN SEND "), 6u);
}

TEST_F(ProtocolAServer, OverASerialLineABadRecordIsAnsweredAndTheLineOpenedAnew)
{
    PtyPair pty;
    zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-S", serialChannelOption(pty)}, dir.path());
    peer = RecordPeer(pty.masterFd());
    ASSERT_TRUE(zek->waitForErr("** PROT(A) SERVER MODE ** "));
    EXPECT_EQ(ask("RDY").raw, wireRecord("RDY"));
    peer.sendRaw(badChecksumRecord("RDY"));
    EXPECT_EQ(peer.read().raw, wireRecord("SYN"));
    // The line is purged for about 200 ms and opened anew; the server then
    // listens for a second. A record sent too early is lost and costs a SYN.
    PeerRecord answer;
    for (int attempt = 0; attempt < 5 && answer.letters != "AAL"; ++attempt) {
        usleep(600000);
        answer = ask("ALM");
    }
    EXPECT_EQ(answer.raw, wireRecord("AAL"));
    // Every byte of a record must follow the one before within 100 ms.
    const std::string rdy = wireRecord("RDY");
    peer.sendRaw(rdy.substr(0, 3));
    sleepMs(600);
    peer.sendRaw(rdy.substr(3));
    EXPECT_EQ(peer.read().letters, "SYN");
}

// Plays a controller that says nothing until the server has asked `retries`
// times, then asks for O7. The SYNs that came, each as it always comes. A
// serial port is purged and opened anew after each SYN: a request sent
// before it listens again (purgePauseMs) is lost and costs one more.
int idleThenAsk(int controller, int retries, int purgePauseMs)
{
    RecordPeer peer(controller);
    PeerRecord answer;
    int syns = 0;
    for (; syns < retries; ++syns) {
        answer = peer.read(5000);
        if (answer.raw != wireRecord("SYN"))
            return syns;
    }
    for (int attempt = 0; attempt < 5 && answer.letters == "SYN"; ++attempt) {
        sleepMs(purgePauseMs);
        peer.send("GTD", "O7");
        answer = peer.read(5000);
        syns += answer.letters == "SYN";
    }
    while (answer.letters == "DAT") {
        peer.send("GTD");
        answer = peer.read(5000);
    }
    return answer.letters == "EOD" ? syns : -1;
}

// --quiet-idle: an idle stretch is its first line and one line with its count
// before the next other line, on the console and in the log. Over a serial
// port the reopening's TTY OPEN and INIT lines at each retry likewise.
TEST(ProtocolAServerQuietIdle, AnIdleStretchOfTenRetriesIsTwoLinesWithTheCount)
{
    TempDir tcpDir, serialDir;
    tcpDir.write("O7", smallProgram);
    serialDir.write("O7", smallProgram);
    const int port = freeTcpPort();
    PtyPair pty;
    ZekProcess tcpZek({"-S", "--quiet-idle", "-c127.0.0.1:" + std::to_string(port)}, tcpDir.path());
    ZekProcess serialZek({"-S", "--quiet-idle", serialChannelOption(pty)}, serialDir.path());
    const int controller = connectTcp(port, 10000);
    ASSERT_GE(controller, 0);
    auto serialSyns = std::async(std::launch::async, idleThenAsk, pty.masterFd(), 10, 600);
    const int tcpSyns = idleThenAsk(controller, 10, 0);
    closeFd(controller);
    ASSERT_EQ(tcpSyns, 10);
    const int syns = serialSyns.get();
    ASSERT_GE(syns, 10);
    ASSERT_TRUE(tcpZek.waitForErr("SEND(A) SUB MODE END O7 ") && serialZek.waitForErr("SEND(A) SUB MODE END O7 "));
    const std::string firstLine = "\nERR-RETRY SYN SEND " + timePattern + "\n";
    const std::string countLine = " TIMES SINCE " + timePattern + " " + timePattern + "\n";
    const std::string request = "SEND\\(A\\) SUB MODE START O7 ";
    for (const std::string& text : {tcpZek.result().err, logOf(tcpDir)}) {
        EXPECT_TRUE(appearInOrder(text, {firstLine + "ERR-RETRY SYN SEND 10" + countLine + request})) << text;
        EXPECT_EQ(countOf(text, "ERR-RETRY"), 2u) << text;
    }
    const std::string n = std::to_string(syns);
    for (const std::string& text : {serialZek.result().err, logOf(serialDir)}) {
        EXPECT_TRUE(appearInOrder(text, {firstLine + ".* INIT\\..*\n", "ERR-RETRY SYN SEND " + n + countLine,
                                         "TTY OPEN/INIT\\. " + n + countLine + request}))
            << text;
        EXPECT_EQ(countOf(text, "INIT."), 3u) << text;  // at the start, at the first retry, and counted
    }
    EXPECT_EQ(countOf(serialZek.result().out, "TTY OPEN"), 2u) << serialZek.result().out;
}

// Outside a block each request is answered in kind; inside one the
// controller can ask for the set text, have the block again or stop it.
TEST_F(ProtocolAServer, AnswersEachRequestInKindAndTheControllerCanRepeatOrStopABlock)
{
    dir.write("O7", smallProgram);
    startServer();
    const std::pair<const char*, const char*> inKind[] = {{"RDY", "RDY"}, {"RST", "ARS"}, {"ALM", "AAL"},
                                                          {"SYN", "SYN"}, {"EOD", "SYN"}, {"RTY", "SYN"}};
    for (const auto& [letters, answer] : inKind)
        EXPECT_EQ(ask(letters, letters == std::string("RTY") ? "1" : "").raw, wireRecord(answer)) << letters;
    EXPECT_FALSE(contains(err(), "ERR-RETRY"));
    // SAT during a block is answered with the stored set text until the next record.
    EXPECT_EQ(ask("SAT", "ABCDEFGHIJ").payload, "ABCD000007");
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("GTD").letters, "EOD");
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").raw, wireRecord("SET", "ABCD000007"));
    EXPECT_EQ(ask("SAT").raw, wireRecord("SET", "ABCD000007"));
    EXPECT_EQ(ask("GTD").letters, "EOD");
    EXPECT_EQ(countOf(logOf(dir), "GET SAT(S) fst=5 "), 1u) << err();
    // The block that the SAT followed counts as sent, as it does without one.
    ASSERT_TRUE(zek->waitForErr("SEND(A) SUB MODE END O7 ", 5000, 2));
    std::smatch first;
    std::string text = err();
    ASSERT_TRUE(std::regex_search(text, first, std::regex("SEND\\(A\\) SUB MODE END O7 ([1-9][0-9]*)Byte")));
    EXPECT_EQ(countOf(text, first[0].str()), 2u) << text;
    // The exchange ends on what the controller sends next.
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").letters, "SET");
    EXPECT_EQ(ask("RTY", "1").raw, wireRecord("DAT"));  // the block went before the SAT
    EXPECT_EQ(ask("GTD").raw, wireRecord("EOD"));
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").letters, "SET");
    EXPECT_EQ(ask("WAT").raw, wireRecord("RST"));   // the exchange's answer
    EXPECT_EQ(peer.read().raw, wireRecord("RST"));  // and the server's
    EXPECT_TRUE(contains(err(), "GET NON(S) fst=12 "));
    EXPECT_TRUE(contains(err(), "GET RTY(S) fst=7 "));
    // Each of these stops a block that the controller first had again.
    struct Stop {
        const char* letters;
        std::string answer;  // to the record that stops the block
        const char* logLine;
    };
    const Stop stops[] = {
        {"RDY", wireRecord("SYN"), "GET UNKNOWN fst=1 "},
        {"RST", wireRecord("ARS"), "GET RST fst=2 "},
        {"ALM", wireRecord("AAL"), "GET ALM fst=3 "},
        {"SYN", wireRecord("SYN"), "GET SYN fst=0 "},
    };
    for (const Stop& stop : stops) {
        SCOPED_TRACE(stop.letters);
        PeerRecord block = ask("GTD", "O7");
        ASSERT_EQ(block.letters, "DAT");
        EXPECT_EQ(ask("RTY", "1").raw, block.raw);
        EXPECT_EQ(ask(stop.letters).raw, stop.answer);
        EXPECT_EQ(peer.read().raw, wireRecord("RST"));
        EXPECT_TRUE(contains(err(), stop.logLine));
    }
    EXPECT_EQ(countOf(err(), "GET RTY fst=7 "), 4u);
}
