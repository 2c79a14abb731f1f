// zek -S answering the controller record by record; the test connects as the
// controller. The server drops a connection that stays silent for a second
// or brings a bad record, and then waits for the controller to connect again.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"

namespace {

constexpr size_t recordSizeForTest = 4096;

const std::regex endOfReceiveLine("\rRECV\\(A\\) END O100 200Byte [0-9]{2}:[0-9]{2}:[0-9]{2}\n");

std::string decoded(const std::string& payload)
{
    std::string text;
    for (unsigned char c : payload)
        text += char(c & 0x7F);
    return text;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ServerA : public testing::Test {
protected:
    void start(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"-S", "-c127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        zek = std::make_unique<ZekProcess>(args, dir.path());
        reconnect();
    }
    void reconnect()
    {
        closeFd(fd);
        fd = connectTcp(port, 10000);
        ASSERT_GE(fd, 0);
        peer.setFd(fd);
    }
    void TearDown() override
    {
        zek.reset();
        closeFd(fd);
    }
    PeerRecord ask(const std::string& letters, const std::string& payload = "")
    {
        peer.send(letters, payload);
        return peer.read();
    }
    // GTD after every DAT until the transfer ends; the payloads, as sent.
    std::vector<std::string> collectBlocks(PeerRecord* last)
    {
        std::vector<std::string> blocks;
        for (*last = peer.read(); last->letters == "DAT"; *last = ask("GTD")) {
            EXPECT_TRUE(last->checksumGood);
            blocks.push_back(last->payload);
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
    std::string err() { return zek->result().err; }
    bool waitForCount(const std::string& part, size_t count, int timeoutMs = 10000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (countOf(err(), part) < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            usleep(20000);
        }
        return true;
    }

    TempDir dir;
    int port = freeTcpPort();
    std::unique_ptr<ZekProcess> zek;
    int fd = -1;
    RecordPeer peer{-1};
};

}  // namespace

TEST_F(ServerA, AnswersEachRequestInKind)
{
    start();
    struct Exchange {
        const char* letters;
        const char* payload;
        std::string answer;
    };
    const Exchange exchanges[] = {
        {"RDY", "", wireRecord("RDY")},   {"RST", "", wireRecord("ARS")},
        {"ALM", "", wireRecord("AAL")},   {"SYN", "", wireRecord("SYN")},
        {"EOD", "", wireRecord("SYN")},   {"RTY", "1", wireRecord("SYN")},
        {"SAT", "ABCDEFGHIJ", wireRecord("SET", "ABCD000007")},
    };
    for (const Exchange& exchange : exchanges)
        EXPECT_EQ(ask(exchange.letters, exchange.payload).raw, exchange.answer) << exchange.letters;
    ASSERT_TRUE(zek->waitForErr("** PROT(A) SERVER MODE ** "));
    EXPECT_EQ(err().find("ERR-RETRY"), std::string::npos);
}

TEST_F(ServerA, SendsTheDefaultProgramInBlocksThatEachWaitForGtd)
{
    std::string program = "%\nO100\n";
    for (int line = 1; line <= 120; ++line)
        program += "N" + std::to_string(1000 + line) + " G01 X1.000 Y2.000\n";
    program += "%\n";
    dir.write("O100", program);
    start({"O100"});

    peer.send("GTD");
    PeerRecord last;
    std::vector<std::string> blocks = collectBlocks(&last);
    EXPECT_EQ(last.letters, "EOD");
    ASSERT_GE(blocks.size(), 3u);
    std::string text;
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(isoParity(decoded(blocks[i])), blocks[i]) << "block " << i;
        if (i + 1 < blocks.size()) {
            EXPECT_GE(blocks[i].size(), 900u) << "block " << i;
            EXPECT_LE(blocks[i].size(), 1100u) << "block " << i;
        }
        text += decoded(blocks[i]);
    }
    EXPECT_NE(text.find("N1001 G01 X1.000 Y2.000\n"), std::string::npos);
    EXPECT_NE(text.find("N1120 G01 X1.000 Y2.000\n"), std::string::npos);
    ASSERT_TRUE(zek->waitForErr("SEND(A) SUB MODE END O100 "));
    EXPECT_NE(err().find("SEND(A) SUB MODE START O100 "), std::string::npos);
}

TEST_F(ServerA, SatDuringABlockIsAnsweredWithTheStoredSetText)
{
    dir.write("O7", "%\nO7\nG01 X1.000 Y1.000\nG01 X2.000 Y2.000\n%\n");
    start();
    EXPECT_EQ(ask("SAT", "ABCDEFGHIJ").payload, "ABCD000007");
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("GTD").letters, "EOD");

    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").raw, wireRecord("SET", "ABCD000007"));
    EXPECT_EQ(ask("SAT").raw, wireRecord("SET", "ABCD000007"));
    EXPECT_EQ(ask("GTD").letters, "EOD");
    EXPECT_EQ(countOf(dir.read("ZEKLOG.TXT"), "GET SAT(S) fst=5 "), 1u) << err();

    // The block that the SAT followed counts as sent, as it does without one.
    ASSERT_TRUE(zek->waitForErr("SEND(A) SUB MODE END O7 ", 5000));
    std::regex endLine("SEND\\(A\\) SUB MODE END O7 ([0-9]+)Byte");
    std::string text = err();
    std::vector<std::string> sent;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), endLine); it != std::sregex_iterator(); ++it)
        sent.push_back((*it)[1]);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_NE(sent[0], "0");
}

TEST_F(ServerA, AMissingProgramGoesOutAsAnErrorTapeAndEndsWithRst)
{
    start();
    peer.send("GTD", "NOPE");
    PeerRecord last;
    std::vector<std::string> blocks = collectBlocks(&last);
    EXPECT_EQ(last.letters, "RST");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_NE(decoded(blocks[0]).find("NOPE"), std::string::npos);
    EXPECT_EQ(ask("RDY").letters, "RDY");   // and the server goes on
}

TEST_F(ServerA, ReceivesAnAnnouncedFileAndAnswersWithSet)
{
    start();
    std::string first = "O100\n" + std::string(95, 'X');
    std::string second = std::string(99, 'Y') + "\n";
    EXPECT_EQ(ask("RTD", "O100 X").raw, wireRecord("GTD"));
    EXPECT_EQ(ask("DAT", isoParity(first)).raw, wireRecord("GTD"));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(peer.sendRaw(wireRecord("WAT")), true);
    EXPECT_EQ(peer.read(15000).raw, wireRecord("GTD"));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(4000));

    EXPECT_EQ(ask("DAT", isoParity(second)).raw, wireRecord("GTD"));
    EXPECT_EQ(ask("EOD").raw, wireRecord("SET"));
    ASSERT_TRUE(zek->waitForErr("RECV(A) END O100 "));
    EXPECT_EQ(dir.read("O100"), "O100\r\n" + std::string(95, 'X') + std::string(99, 'Y') + "\r\n");
    EXPECT_TRUE(std::regex_search(err(), endOfReceiveLine));
    EXPECT_NE(err().find("RECV(A) START O100 "), std::string::npos);
    EXPECT_NE(err().find(" READ WAT SLEEP "), std::string::npos);
}

TEST_F(ServerA, AnRtdWithoutANameReceivesIntoTheFallbackFile)
{
    start();
    EXPECT_EQ(ask("RTD").raw, wireRecord("GTD"));
    EXPECT_EQ(ask("DAT", isoParity("O5\n")).raw, wireRecord("GTD"));
    EXPECT_EQ(ask("SYN").raw, wireRecord("RST"));   // ended otherwise than by EOD
    EXPECT_EQ(dir.read("ZEKTMP.TXT"), "O5\r\n");
    EXPECT_NE(err().find("RECV(A) RESET ZEKTMP.TXT 3Byte "), std::string::npos);
}

TEST_F(ServerA, RefusesFileNamesOutsideTheWorkingDirectory)
{
    dir.write("O1", "%\nO1\n%\n");
    start();
    std::string escape = "../zek-escape-" + std::to_string(getpid());
    EXPECT_EQ(ask("GTD", "../" + dir.path().substr(dir.path().rfind('/') + 1) + "/O1").raw,
              wireRecord("RST"));
    EXPECT_EQ(ask("GTD", "/etc/passwd").raw, wireRecord("RST"));
    EXPECT_EQ(ask("RTD", escape).raw, wireRecord("RST"));
    EXPECT_EQ(ask("RTD", "C:X").raw, wireRecord("RST"));
    EXPECT_EQ(ask("RTD", "sub\\..\\..\\X").raw, wireRecord("RST"));
    EXPECT_EQ(ask("RDY").raw, wireRecord("RDY"));

    EXPECT_FALSE(dir.exists(escape));
    EXPECT_FALSE(dir.exists("C:X"));
    EXPECT_EQ(countOf(err(), "ILLEGAL FILE NAME "), 5u);
    EXPECT_TRUE(std::regex_search(err(), std::regex("ILLEGAL FILE NAME /etc/passwd [0-9]{2}:[0-9]{2}:[0-9]{2}\n")));
    EXPECT_EQ(countOf(dir.read("ZEKLOG.TXT"), "ILLEGAL FILE NAME "), 5u);
    EXPECT_EQ(err().find("SEND(A)"), std::string::npos);
    EXPECT_EQ(err().find("RECV(A)"), std::string::npos);
}

TEST_F(ServerA, BadRecordsNeverStopTheServer)
{
    start({"-o"});
    expectRecovery("fdSYN\x03");                       // lower-case checksum
    expectRecovery(wireRecord("XYZ"));                 // no such type
    expectRecovery("12GTDO1");                         // cut short
    expectRecovery(std::string(recordSizeForTest, 'A'));   // no ETX in a whole record
    ASSERT_TRUE(zek->waitForErr("---<"));
    EXPECT_GE(countOf(err(), "ERR-RETRY SYN SEND "), 4u);
}

TEST_F(ServerA, ASilentOrClosedConnectionIsDroppedAndTheServerWaitsAnew)
{
    start();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(peer.read(8000).raw, wireRecord("SYN"));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(800));
    reconnect();
    // Closed only once the server holds it, so the next connection meets a new listener.
    ASSERT_TRUE(waitForCount("CONNECTION FROM ", 2));
    closeFd(fd);
    fd = -1;
    ASSERT_TRUE(waitForCount("ERR-RETRY SYN SEND ", 2));
    reconnect();
    EXPECT_EQ(ask("RDY").raw, wireRecord("RDY")) << err();
}

TEST_F(ServerA, OverASerialLineABadRecordIsAnsweredAndTheLineOpenedAnew)
{
    PtyPair pty;
    zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-S", serialChannelOption(pty)},
                                       dir.path());
    peer.setFd(pty.masterFd());
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
}

TEST_F(ServerA, TheControllerCanRepeatOrStopABlock)
{
    dir.write("O7", "%\nO7\nG01 X1.000 Y1.000\nG01 X2.000 Y2.000\n%\n");
    start();
    struct Stop {
        const char* letters;
        std::string answer;   // to the record that stops the block
        const char* logLine;
    };
    const Stop stops[] = {
        {"RDY", wireRecord("SYN"), "GET UNKNOWN fst=1 "},
        {"RST", wireRecord("ARS"), "GET RST fst=2 "},
        {"ALM", wireRecord("AAL"), "GET ALM fst=3 "},
        {"SYN", wireRecord("SYN"), "GET SYN fst=0 "},
    };
    for (const Stop& stop : stops) {
        PeerRecord block = ask("GTD", "O7");
        ASSERT_EQ(block.letters, "DAT");
        EXPECT_EQ(ask("RTY", "1").raw, block.raw);
        EXPECT_EQ(ask(stop.letters).raw, stop.answer) << stop.letters;
        EXPECT_EQ(peer.read().raw, wireRecord("RST")) << stop.letters;
        EXPECT_NE(err().find(stop.logLine), std::string::npos) << stop.letters;
    }
    EXPECT_EQ(countOf(err(), "GET RTY fst=7 "), 4u);
}

TEST_F(ServerA, TheSetExchangeEndsOnWhatTheControllerSendsNext)
{
    dir.write("O7", "%\nO7\nG01 X1.000 Y1.000\nG01 X2.000 Y2.000\n%\n");
    start();
    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").letters, "SET");
    EXPECT_EQ(ask("RTY", "1").raw, wireRecord("DAT"));   // the block went before the SAT
    EXPECT_EQ(ask("GTD").raw, wireRecord("EOD"));

    ASSERT_EQ(ask("GTD", "O7").letters, "DAT");
    EXPECT_EQ(ask("SAT").letters, "SET");
    EXPECT_EQ(ask("WAT").raw, wireRecord("RST"));   // the exchange's answer
    EXPECT_EQ(peer.read().raw, wireRecord("RST"));  // and the server's
    EXPECT_NE(err().find("GET NON(S) fst=12 "), std::string::npos);
    EXPECT_NE(err().find("GET RTY(S) fst=7 "), std::string::npos);
}
