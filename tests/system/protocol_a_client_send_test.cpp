// zek -g / -G as the active side; the test is the controller on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"

namespace {

// 100 lines of 25 bytes: 2500 bytes without carriage returns.
std::string program2500()
{
    std::string text;
    for (int line = 1; line <= 100; ++line) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "N%04d G01 X%06.3f Y2.000\n", line, line / 10.0);
        text += buffer;
    }
    return text;
}

class ClientSend : public testing::Test {
protected:
    void start(std::vector<std::string> args)
    {
        args.insert(args.begin(), "-c127.0.0.1:" + std::to_string(listener.port()));
        zek = std::make_unique<ZekProcess>(args, dir.path());
        fd = listener.accept(10000);
        ASSERT_GE(fd, 0);
        peer.setFd(fd);
    }
    void TearDown() override
    {
        zek.reset();
        closeFd(fd);
    }
    // GTD after GTD, collecting each DAT payload until EOD comes.
    std::vector<std::string> requestPieces()
    {
        std::vector<std::string> pieces;
        for (;;) {
            peer.send("GTD");
            PeerRecord record = peer.read();
            EXPECT_TRUE(record.checksumGood) << record.raw;
            if (record.letters != "DAT")
                return record.letters == "EOD" ? pieces : std::vector<std::string>{"no EOD"};
            pieces.push_back(record.payload);
        }
    }
    // After EOD: one record that zek disregards, then the closing SYN.
    void expectRunEnd()
    {
        peer.send("SYN");
        EXPECT_EQ(peer.read().letters, "SYN");
        ASSERT_TRUE(zek->wait(15000));
        EXPECT_EQ(zek->result().exitStatus, 0);
    }

    TempDir dir;
    TcpListener listener;
    std::unique_ptr<ZekProcess> zek;
    int fd = -1;
    RecordPeer peer{-1};
};

}  // namespace

TEST_F(ClientSend, SendsThePiecesOfDataBlockSizeAsTheControllerAsks)
{
    dir.write("O2500.NC", program2500());
    ASSERT_EQ(program2500().size(), 2500u);
    start({"-g", "O2500.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    PeerRecord announce = peer.read();
    EXPECT_EQ(announce.letters, "RTD");
    EXPECT_EQ(announce.payload, "O2500.NC");

    std::vector<std::string> pieces = requestPieces();
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].size(), 1000u);
    EXPECT_EQ(pieces[1].size(), 1000u);
    EXPECT_EQ(pieces[2].size(), 500u);
    EXPECT_EQ(pieces[0] + pieces[1] + pieces[2], program2500());   // as read, no parity
    expectRunEnd();

    const std::string& err = zek->result().err;
    EXPECT_NE(err.find(" zek (Srever-A) <--- *zek (send data)\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(err, std::regex(" open send file O2500.NC 2500Byte [0-9]{2}:[0-9]{2}:[0-9]{2}\n")));
    EXPECT_NE(err.find("RTD>file O2500.NC\n"), std::string::npos);
    EXPECT_NE(err.find("GTD< END OF DATA EOD>\n close file O2500.NC\n"), std::string::npos);
    EXPECT_NE(err.find(" SEND FILE TOTAL 2500Byte\n"), std::string::npos);
    std::string log = dir.read("ZEKLOG.TXT");
    EXPECT_NE(log.find(" zek (Srever-A) <--- *zek  (send data)\n"), std::string::npos);
    EXPECT_EQ(log.find("RTD>file"), std::string::npos);
}

TEST_F(ClientSend, BigBlocksCarryTheWholeFileAndLongNamesGoOutWhole)
{
    std::string name(66, 'L');
    name += ".NC";
    dir.write(name, program2500());
    start({"-G", name});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, name);
    std::vector<std::string> pieces = requestPieces();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], program2500());
    expectRunEnd();
}

TEST_F(ClientSend, RepeatsAndBadRecordsDoNotStopTheTransfer)
{
    dir.write("O2500.NC", program2500());
    start({"-g", "O2500.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().letters, "RTD");

    peer.send("RTY", "1");
    PeerRecord repeat = peer.read();
    EXPECT_EQ(repeat.letters, "DAT");
    EXPECT_EQ(repeat.payload, "");   // nothing read yet: no stale data

    for (int i = 0; i < 3; ++i) {
        peer.sendRaw(badChecksumRecord("GTD"));
        PeerRecord answer = peer.read();
        EXPECT_EQ(answer.raw, "33RTY1\x03");
    }
    peer.send("GTD");
    std::string first = peer.read().payload;
    peer.send("RTY", "1");
    EXPECT_EQ(peer.read().payload, first);
    std::vector<std::string> rest = requestPieces();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(first + rest[0] + rest[1], program2500());
    expectRunEnd();

    const std::string& err = zek->result().err;
    size_t badLines = 0;
    for (size_t at = err.find("BAD DATA RTY>file O2500.NC\n"); at != std::string::npos;
         at = err.find("BAD DATA RTY>file O2500.NC\n", at + 1))
        ++badLines;
    EXPECT_EQ(badLines, 3u);
    EXPECT_NE(err.find("DATA RE-SEND DAT>file O2500.NC\n"), std::string::npos);
}

TEST_F(ClientSend, ElevenBadRecordsInARowGiveTheFileUp)
{
    dir.write("A.NC", program2500());
    dir.write("B.NC", "O1\n");
    start({"-g", "A.NC", "B.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "A.NC");
    for (int i = 0; i < 11; ++i) {
        peer.sendRaw(badChecksumRecord("GTD"));
        EXPECT_EQ(peer.read().letters, "RTY") << i;
    }
    // The next file starts with its own opening, without a word more about A.
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "B.NC");
    std::vector<std::string> pieces = requestPieces();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], "O1\n");
    expectRunEnd();
    EXPECT_NE(zek->result().err.find(" SEND FILE TOTAL 3Byte\n"), std::string::npos);
}

TEST_F(ClientSend, AnEmptyFileEndsTheRunAtOnce)
{
    dir.write("EMPTY.NC", "");
    dir.write("B.NC", "O1\n");
    start({"-g", "EMPTY.NC", "B.NC"});
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(peer.drain(200), "");
    const std::string& err = zek->result().err;
    EXPECT_NE(err.find(" open send file EMPTY.NC 0Byte "), std::string::npos);
    EXPECT_EQ(err.find("B.NC"), std::string::npos);
    EXPECT_EQ(err.find("SEND FILE TOTAL"), std::string::npos);
}

TEST_F(ClientSend, AMissingFileIsReportedAndNothingIsSent)
{
    start({"-g", "NOPE.NC"});
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(peer.drain(200), "");
    EXPECT_NE(zek->result().err.find(" cant open read file NOPE.NC\n"), std::string::npos);
}
