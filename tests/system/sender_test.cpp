// Punching programs out of the built binary: into an output file, with the
// macro file it creates at start, and as the Protocol A server answering GTD.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"

namespace {

const std::string timePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

// The patterns match in this order, each after the one before.
void expectInOrder(const std::string& text, const std::vector<std::string>& patterns)
{
    std::string rest = text;
    for (const std::string& pattern : patterns) {
        std::smatch match;
        ASSERT_TRUE(std::regex_search(rest, match, std::regex(pattern))) << pattern << " in\n" << text;
        rest = match.suffix();
    }
}

std::string withoutParity(const std::string& bytes)
{
    std::string text;
    for (char c : bytes)
        text += static_cast<char>(c & 0x7F);
    return text;
}

TEST(SenderRun, WorkedExampleExpandsTheMirroredCall)
{
    TempDir dir;
    dir.write("MAIN.NC", "%\nO1000\nG90G54\n(C SUB1,@XM)\nM30\n%\n");
    dir.write("SUB1", "%\nO2000\nG01X10.F200\nM99\n%\n");
    ZekResult run = runZek({"-c\\out.nc", "MAIN.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);

    EXPECT_EQ(withoutParity(dir.read("out.nc")),
              "%\n(MAIN.NC)\nO1000\nG90G54\n( SUB1-001)\nO2000\nG01X-10.F200 \nM30\n%\n");
    const std::vector<std::string> consoleLines = {
        " FILE  MAIN.NC : 34Byte\n", " START MAIN.NC " + timePattern + "\n",  " FILE  SUB1 : 26Byte\n",
        " OPEN_ SUB1 " + timePattern + "\n", "\r CLOSE SUB1 " + timePattern + "\n", "\r _END_ MAIN.NC " + timePattern + "\n",
    };
    expectInOrder(run.err, consoleLines);
    std::vector<std::string> logLines = consoleLines;
    logLines[4] = " CLOSE SUB1 " + timePattern + "\n";
    logLines[5] = " _END_ MAIN.NC " + timePattern + "\n";
    expectInOrder(dir.read("ZEKLOG.TXT"), logLines);
    EXPECT_EQ(dir.read("ZEKLOG.TXT").find('\r'), std::string::npos);
    EXPECT_NE(dir.read("ZEKMAC.TXT").find("\r\n@XM:X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G\r\n"),
              std::string::npos);
}

TEST(SenderRun, ExamplesPunchOutAsOneTape)
{
    TempDir dir;
    for (const char* name : {"MAIN.NC", "POCKET", "SB2000.NC"})
        dir.write(name, readFileBytes(std::string(ZEK_SOURCE_DIR) + "/examples/" + name));
    ZekResult run = runZek({"-c\\out.nc", "-a", "MAIN.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    const std::string pocket = "(POCKET 10X10)\nG00Z2.\nG01Z-2.F100\nG42G01X-5.Y0.F300\nG02X-10.Y5.J5. \n"
                               "G01Y10.\nG40G01X-1. \nG00Z2.\n";
    EXPECT_EQ(dir.read("out.nc"), "%\n(MAIN.NC)\nO1000(EXAMPLE PART)\nG90G54G17\nT1M06\nS3000M03\n"
                                  "G00X20.Y10.Z50.\n(POCKET-001)\n" + pocket + "(POCKET-002)\n" + pocket +
                                  "G00X0.Y0.\nM98P2000\nG00Z50.\nM30\n"
                                  "O2000 \n(SB2000.NC)\n(DRILL 4 HOLES)\nG81G99X-15.Y-15.Z-5.R2.F120\n"
                                  "X15.\nY15.\nX-15.\nG80\nM99\n%\n");
}

// In Protocol A server mode the sender's text travels in DAT records, each
// answered by the controller's GTD; the test plays the controller.
class SenderServedRun : public testing::Test {
protected:
    void start(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"-S", "-c127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        zek = std::make_unique<ZekProcess>(args, dir.path());
        fd = connectTcp(port, 10000);
        ASSERT_GE(fd, 0);
        peer.setFd(fd);
    }
    void TearDown() override
    {
        zek.reset();
        closeFd(fd);
    }
    // The decoded payloads of the DAT records that answer a request for name.
    std::vector<std::string> request(const std::string& name, std::string* endLetters)
    {
        std::vector<std::string> blocks;
        PeerRecord record;
        peer.send("GTD", name);
        for (record = peer.read(); record.letters == "DAT"; record = peer.read()) {
            blocks.push_back(withoutParity(record.payload));
            peer.send("GTD");
        }
        *endLetters = record.letters;
        return blocks;
    }

    TempDir dir;
    int port = freeTcpPort();
    int fd = -1;
    RecordPeer peer{-1};
    std::unique_ptr<ZekProcess> zek;
};

TEST_F(SenderServedRun, BlockHeaderGoesOutWithWhatIsGatheredBeforeIt)
{
    dir.write("MAIN.NC", "%\nX1.\n&& SB12.NC\nX2.\n%\n");
    dir.write("SB12.NC", "%\nG01Y1.\nM99\n%\n-------\n");
    start();
    std::string end;
    std::vector<std::string> blocks = request("MAIN.NC", &end);
    EXPECT_EQ(end, "EOD");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], "%\n(MAIN.NC)\nX1.\nO12 \n(SB12.NC)\n");
    EXPECT_EQ(blocks[1], "G01Y1.\nM99\nX2.\n%\n");
}

TEST_F(SenderServedRun, PlainSendMakesOneRecordPerPiece)
{
    std::string text(1300, 'x');
    for (std::size_t i = 50; i < text.size(); i += 51)
        text[i] = '\n';
    dir.write("P.NC", text);
    start({"-n"});
    std::string end;
    std::vector<std::string> blocks = request("P.NC", &end);
    EXPECT_EQ(end, "EOD");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0], text.substr(0, 512));
    EXPECT_EQ(blocks[1], text.substr(512, 512));
    EXPECT_EQ(blocks[2], text.substr(1024));
}

}  // namespace
