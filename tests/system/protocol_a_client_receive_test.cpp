// zek -R / -RF asking the controller for files; the test is the controller.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"

namespace {

class ClientReceive : public testing::Test {
protected:
    void startOnTcp(std::vector<std::string> args)
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
    // One DAT, answered by a GTD without a name.
    void deliver(const std::string& payload)
    {
        peer.send("DAT", payload);
        PeerRecord answer = peer.read();
        EXPECT_EQ(answer.raw, wireRecord("GTD"));
    }
    // EOD, zek's SYN, and the one record that zek reads and disregards.
    void endFile()
    {
        peer.send("EOD");
        EXPECT_EQ(peer.read().letters, "SYN");
        peer.send("SYN");
    }
    std::string err() { return zek->result().err; }

    TempDir dir;
    TcpListener listener;
    std::unique_ptr<ZekProcess> zek;
    int fd = -1;
    RecordPeer peer{-1};
};

}  // namespace

TEST_F(ClientReceive, OkumaModeAsksForEachNamedFileAndStoresItAsText)
{
    startOnTcp({"-R", "A.NC", "B.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    PeerRecord request = peer.read();
    EXPECT_EQ(request.raw, wireRecord("GTD", "A.NC"));
    deliver("\xCF\xB1\x0A");
    deliver(isoParity(std::string(2497, 'X')));
    endFile();

    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "B.NC");
    peer.send("RTY", "1");   // not data: the file is closed without an answer
    EXPECT_EQ(peer.read().letters, "SYN");   // the run's closing SYN
    ASSERT_TRUE(zek->wait(15000));

    EXPECT_EQ(dir.read("A.NC"), "O1\r\n" + std::string(2497, 'X'));
    EXPECT_TRUE(dir.exists("B.NC"));
    EXPECT_EQ(dir.read("B.NC"), "");
    EXPECT_NE(err().find("FILE0=A.NC FILE1=B.NC \n"), std::string::npos);
    EXPECT_NE(err().find(" zek ---> *kirpa (get data) OKUMA_MODE\n"), std::string::npos);
    EXPECT_NE(err().find("FILE NAME A.NC GTD>\n"), std::string::npos);
    EXPECT_NE(err().find("\nGET FILE END EOD<SYN>"), std::string::npos);
    EXPECT_TRUE(std::regex_search(err(), std::regex(" close file A.NC 2501Byte [0-9]{2}:[0-9]{2}:[0-9]{2}\n")));
    EXPECT_NE(err().find("GET UNK<SYN>"), std::string::npos);
    EXPECT_NE(err().find("TOTAL RECV FILE 2KB\n"), std::string::npos);
    EXPECT_NE(dir.read("ZEKLOG.TXT").find("TOTAL RECV FILE 2KB\n"), std::string::npos);
}

TEST_F(ClientReceive, FanucModeOverASerialLineAsksWithoutANameAndBearsBadRecords)
{
    PtyPair pty;
    zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-RF", serialChannelOption(pty)},
                                       dir.path());
    peer.setFd(pty.masterFd());
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, "E2GTD\x03");
    deliver("");
    peer.sendRaw(badChecksumRecord("DAT", isoParity("LOST\n")));
    EXPECT_EQ(peer.read().raw, "33RTY1\x03");
    deliver(isoParity("%\nO1\n%\n"));
    peer.send("SYN");
    EXPECT_EQ(peer.read().letters, "SYN");
    EXPECT_EQ(peer.read().letters, "SYN");   // the run's closing SYN
    ASSERT_TRUE(zek->wait(15000));

    EXPECT_EQ(dir.read("ZEK99GET.DAT"), "%\r\nO1\r\n%\r\n");
    EXPECT_NE(err().find("\nNO_FILE_NAME MODE SET FILENAME ZEK99GET.DAT\n"), std::string::npos);
    EXPECT_NE(err().find(" zek ---> *kirpa (get data) FANUC_MODE\n"), std::string::npos);
    EXPECT_NE(err().find("GET BAD DATA RESET COM\nRTY>"), std::string::npos);
    EXPECT_NE(err().find("GET SYN<SYN>"), std::string::npos);
    EXPECT_NE(err().find("TOTAL RECV FILE 0KB\n"), std::string::npos);
}

TEST_F(ClientReceive, AFileThatCannotBeCreatedStopsTheRun)
{
    startOnTcp({"-R", "no-such-dir/A.NC", "B.NC"});
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(peer.drain(200), "");
    EXPECT_NE(err().find(" cant open write file no-such-dir/A.NC\n"), std::string::npos);
    EXPECT_EQ(err().find("TOTAL RECV FILE"), std::string::npos);
    EXPECT_FALSE(dir.exists("B.NC"));
}

TEST_F(ClientReceive, DataThatCannotBeStoredGivesTheFileUpWithRst)
{
    startOnTcp({"-R", "/dev/full"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, wireRecord("GTD", "/dev/full"));
    peer.send("DAT", isoParity("O1\n"));
    EXPECT_EQ(peer.read().letters, "RST");
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_NE(err().find("Can't Write Recv File /dev/full\n"), std::string::npos);
}
