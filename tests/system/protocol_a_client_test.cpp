// zek -g / -G sending and -R / -RF receiving as the active side; the test is
// the controller.
#include "protocol_a_fixture.h"

namespace {

// 100 lines of 25 bytes: 2500 bytes without carriage returns.
std::string program2500()
{
    std::string text;
    for (int line = 1000; line < 1100; ++line)
        text += "N" + std::to_string(line) + " G01 X1.000 Y2.0000\n";
    return text;
}

class ProtocolAClient : public ProtocolAController {
protected:
    // GTD after GTD until EOD: the DAT payloads, as read, without parity.
    std::vector<std::string> requestPieces(const std::string& name = "")
    {
        peer.send("GTD", name);
        PeerRecord end;
        std::vector<std::string> pieces = collectBlocks(&end);
        EXPECT_EQ(end.letters, "EOD");
        return pieces;
    }
    // One DAT, answered by a GTD without a name.
    void deliver(const std::string& payload) { EXPECT_EQ(ask("DAT", payload).raw, wireRecord("GTD")); }
    // After EOD: one record that zek disregards, then the closing SYN.
    void expectRunEnd(int exitStatus = 0)
    {
        EXPECT_EQ(ask("SYN").letters, "SYN");
        ASSERT_TRUE(zek->wait(15000));
        EXPECT_EQ(zek->result().exitStatus, exitStatus);
    }
};

}  // namespace

// Repeats and bad records on the way do not stop the send.
TEST_F(ProtocolAClient, SendsThePiecesOfDataBlockSizeAsTheControllerAsks)
{
    dir.write("O2500.NC", program2500());
    startClient({"-g", "O2500.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, wireRecord("RTD", "O2500.NC"));
    EXPECT_EQ(ask("RTY", "1").raw, wireRecord("DAT"));  // nothing read yet: no stale data
    for (int i = 0; i < 3; ++i) {
        peer.sendRaw(badChecksumRecord("GTD"));
        EXPECT_EQ(peer.read().raw, "33RTY1\x03");
    }
    const std::string whole = program2500();
    EXPECT_EQ(ask("GTD").payload, whole.substr(0, 1000));
    EXPECT_EQ(ask("RTY", "1").payload, whole.substr(0, 1000));
    EXPECT_EQ(requestPieces(), (std::vector<std::string>{whole.substr(1000, 1000), whole.substr(2000)}));
    expectRunEnd();
    EXPECT_TRUE(contains(err(), " zek (Srever-A) <--- *zek (send data)\n"));
    EXPECT_TRUE(matches(err(), " open send file O2500.NC 2500Byte " + timePattern + "\n"));
    EXPECT_TRUE(contains(err(), "RTD>file O2500.NC\n"));
    EXPECT_TRUE(contains(err(), "GTD< END OF DATA EOD>\n close file O2500.NC\n"));
    EXPECT_TRUE(contains(err(), " SEND FILE TOTAL 2500Byte\n"));
    EXPECT_EQ(countOf(err(), "BAD DATA RTY>file O2500.NC\n"), 3u);
    EXPECT_TRUE(contains(err(), "DATA RE-SEND DAT>file O2500.NC\n"));
    std::string log = logOf(dir);
    EXPECT_TRUE(contains(log, " zek (Srever-A) <--- *zek  (send data)\n"));
    EXPECT_FALSE(contains(log, "RTD>file"));
}

// A file that fails to read part way is given up with SYN: an EOD would pass
// what went for the whole file.
TEST_F(ProtocolAClient, AFileThatFailsToReadPartWayGetsNoEod)
{
    dir.write("O2500.NC", program2500());
    FailingRead failing("O2500.NC:1500");
    startClient({"-g", "O2500.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().letters, "RTD");
    const std::string whole = program2500();
    EXPECT_EQ(ask("GTD").payload, whole.substr(0, 1000));
    EXPECT_EQ(ask("GTD").payload, whole.substr(1000, 500));
    EXPECT_EQ(ask("GTD").letters, "SYN");
    EXPECT_EQ(peer.read().letters, "SYN");  // the run's closing SYN
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(zek->result().exitStatus, 2);
    EXPECT_TRUE(matches(err(), "READ ERROR O2500.NC : Input/output error " + timePattern + "\n")) << err();
}

// Big blocks carry the whole file, and a long name goes out whole.
TEST_F(ProtocolAClient, ElevenBadRecordsInARowGiveTheFileUp)
{
    std::string longName = std::string(66, 'L') + ".NC";
    dir.write("A.NC", "O1\n");
    dir.write(longName, program2500());
    startClient({"-G", "A.NC", longName});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "A.NC");
    for (int i = 0; i < 11; ++i) {
        peer.sendRaw(badChecksumRecord("GTD"));
        EXPECT_EQ(peer.read().letters, "RTY") << i;
    }
    // The next file starts with its own opening, without a word more about A.
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, longName);
    EXPECT_EQ(requestPieces(), std::vector<std::string>{program2500()});
    expectRunEnd(2);  // A.NC was given up
    EXPECT_TRUE(contains(err(), " SEND FILE TOTAL 2500Byte\n"));
}

TEST_F(ProtocolAClient, FilesThatCannotBeReadOrWrittenEndTheRunWithoutARecord)
{
    dir.write("EMPTY.NC", "");
    dir.write("B.NC", "O1\n");
    struct Case {
        std::vector<std::string> args;
        std::string shown;
        std::string absent;
    };
    const Case cases[] = {
        {{"-g", "EMPTY.NC", "B.NC"}, " open send file EMPTY.NC 0Byte ", "B.NC"},
        {{"-g", "NOPE.NC"}, " cant open read file NOPE.NC\n", "SEND FILE TOTAL"},
        {{"-R", "no-such-dir/A.NC", "C.NC"}, " cant open write file no-such-dir/A.NC\n", "TOTAL RECV FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        startClient(c.args);
        ASSERT_TRUE(zek->wait(15000));
        EXPECT_EQ(zek->result().exitStatus, 2);
        EXPECT_EQ(readUntilQuiet(fd, 200, 800), "");
        EXPECT_TRUE(contains(err(), c.shown)) << err();
        EXPECT_FALSE(contains(err(), c.absent)) << err();
    }
    EXPECT_FALSE(dir.exists("C.NC"));
}

// A file ended by a record that is no data is kept as far as it came; data
// that cannot be stored gives the file up with RST.
TEST_F(ProtocolAClient, OkumaModeAsksForEachNamedFileAndStoresItAsText)
{
    dir.write("A.NC", std::string(3000, 'Z'));  // replaced wholly
    startClient({"-R", "A.NC", "B.NC", "/dev/full"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, wireRecord("GTD", "A.NC"));
    deliver("\xCF\xB1\x0A");
    deliver(isoTape(std::string(2497, 'X')));
    EXPECT_EQ(ask("EOD").letters, "SYN");
    peer.send("SYN");  // read and disregarded
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "B.NC");
    peer.send("RTY", "1");  // not data: the file is closed without an answer
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, wireRecord("GTD", "/dev/full"));
    EXPECT_EQ(ask("DAT", isoTape("O1\n")).letters, "RST");
    EXPECT_EQ(peer.read().letters, "SYN");  // the run's closing SYN
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(zek->result().exitStatus, 2);
    EXPECT_EQ(dir.read("A.NC"), "O1\r\n" + std::string(2497, 'X'));
    EXPECT_TRUE(dir.exists("B.NC"));
    EXPECT_EQ(dir.read("B.NC"), "");
    EXPECT_TRUE(appearInOrder(err(), {"FILE0=A.NC FILE1=B.NC FILE2=/dev/full \n",
                                      " zek ---> \\*kirpa \\(get data\\) OKUMA_MODE\n", "FILE NAME A.NC GTD>\n",
                                      "\nGET FILE END EOD<SYN>", " close file A.NC 2501Byte " + timePattern + "\n",
                                      "GET UNK<SYN>", "Can't Write Recv File /dev/full\n", "TOTAL RECV FILE 2KB\n"}))
        << err();
    EXPECT_TRUE(contains(logOf(dir), "TOTAL RECV FILE 2KB\n"));
}

TEST_F(ProtocolAClient, FanucModeOverASerialLineAsksWithoutANameAndBearsBadRecords)
{
    PtyPair pty;
    zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-RF", serialChannelOption(pty)}, dir.path());
    peer = RecordPeer(pty.masterFd());
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().raw, "E2GTD\x03");
    deliver("");
    peer.sendRaw(badChecksumRecord("DAT", isoTape("LOST\n")));
    EXPECT_EQ(peer.read().raw, "33RTY1\x03");
    deliver(isoTape("%\nO1\n%\n"));
    EXPECT_EQ(ask("SYN").letters, "SYN");
    EXPECT_EQ(peer.read().letters, "SYN");  // the run's closing SYN
    ASSERT_TRUE(zek->wait(15000));
    EXPECT_EQ(dir.read("ZEK99GET.DAT"), "%\r\nO1\r\n%\r\n");
    EXPECT_TRUE(appearInOrder(err(), {"\nNO_FILE_NAME MODE SET FILENAME ZEK99GET\\.DAT\n",
                                      " zek ---> \\*kirpa \\(get data\\) FANUC_MODE\n", "GET BAD DATA RESET COM\nRTY>",
                                      "GET SYN<SYN>", "TOTAL RECV FILE 0KB\n"}))
        << err();
}

// A real program out through the server and back in through the client
// receive, the test carrying the records between them as the controller.
TEST_F(ProtocolAClient, ARealProgramComesBackUnchangedThroughServerAndReceive)
{
    std::string programs = sharedProgramsDir();
    if (programs.empty())
        GTEST_SKIP() << "the shared NC programs are not available";
    // Both are stored with CR LF line ends, as a received file is.
    std::string program = readFileBytes(programs + "/HELIX.NC") + readFileBytes(programs + "/REBELS5.NC");
    ASSERT_GT(program.size(), 200000u);
    dir.write("BIG.NC", program);
    startServer({"-n"});
    std::vector<std::string> blocks = requestPieces("BIG.NC");
    ASSERT_GT(blocks.size(), 100u);
    dir.write("BIG.NC", "");
    startClient({"-R", "BIG.NC"});
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, "BIG.NC");
    for (const std::string& block : blocks)
        deliver(block);
    EXPECT_EQ(ask("EOD").letters, "SYN");
    expectRunEnd();
    EXPECT_TRUE(dir.read("BIG.NC") == program);
}
