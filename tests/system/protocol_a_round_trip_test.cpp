// A real program out through the server and back in through the client
// receive, the test carrying the records between them as the controller.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"

namespace {

// What the server sends on request: every DAT payload as it came, with parity.
std::vector<std::string> fetchThroughServer(const std::string& dir, const std::string& name)
{
    int port = freeTcpPort();
    ZekProcess server({"-S", "-n", "-c127.0.0.1:" + std::to_string(port)}, dir);
    int fd = connectTcp(port, 10000);
    RecordPeer peer(fd);
    std::vector<std::string> blocks;
    peer.send("GTD", name);
    for (PeerRecord record = peer.read(); record.letters == "DAT"; record = peer.read()) {
        EXPECT_TRUE(record.checksumGood);
        blocks.push_back(record.payload);
        peer.send("GTD");
    }
    closeFd(fd);
    return blocks;
}

void deliverToClientReceive(const std::string& dir, const std::string& name,
                            const std::vector<std::string>& blocks)
{
    TcpListener listener;
    ZekProcess client({"-R", "-c127.0.0.1:" + std::to_string(listener.port()), name}, dir);
    int fd = listener.accept(10000);
    RecordPeer peer(fd);
    ASSERT_TRUE(answerHandshake(peer));
    EXPECT_EQ(peer.read().payload, name);
    for (const std::string& block : blocks) {
        peer.send("DAT", block);
        EXPECT_EQ(peer.read().letters, "GTD");
    }
    peer.send("EOD");
    EXPECT_EQ(peer.read().letters, "SYN");
    peer.send("SYN");
    EXPECT_EQ(peer.read().letters, "SYN");
    EXPECT_TRUE(client.wait(15000));
    closeFd(fd);
}

}  // namespace

TEST(ProtocolARoundTrip, ARealProgramComesBackUnchanged)
{
    std::string programs = sharedProgramsDir();
    if (programs.empty())
        GTEST_SKIP() << "the shared NC programs are not available";
    // Both are stored with CR LF line ends, as a received file is.
    std::string program = readFileBytes(programs + "/HELIX.NC") + readFileBytes(programs + "/REBELS5.NC");
    ASSERT_GT(program.size(), 200000u);

    TempDir serverDir;
    serverDir.write("BIG.NC", program);
    std::vector<std::string> blocks = fetchThroughServer(serverDir.path(), "BIG.NC");
    ASSERT_GT(blocks.size(), 100u);

    TempDir clientDir;
    deliverToClientReceive(clientDir.path(), "BIG.NC", blocks);
    EXPECT_TRUE(clientDir.read("BIG.NC") == program);
}
