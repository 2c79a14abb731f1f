// A week of a shop's servers in an hour (scripts/stress-long.sh sets
// ZEK_SOAK_SCALE=100) or a minute (the test command): 10 tapes and 10 requests
// per unit through -s --library on a pseudo-terminal, 2 controllers calling
// anew with a file each per unit through -S --library over TCP. Every tape is
// accounted for; open descriptors end as they began and memory does not grow
// with the work.
#include <fstream>

#include "system_test.h"

namespace {

int soakScale()
{
    const char* scale = std::getenv("ZEK_SOAK_SCALE");
    return scale && std::atoi(scale) > 0 ? std::atoi(scale) : 1;
}

// Resident kilobytes and open descriptors.
std::pair<long, long> useOf(pid_t pid)
{
    std::pair<long, long> use{0, 0};
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string field; status >> field;)
        if (field == "VmRSS:")
            status >> use.first;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
         it != std::filesystem::directory_iterator(); ++it)
        ++use.second;
    return use;
}

// Loose: the heap settles after the first transfers; a leak per transfer
// shows over a thousand of them.
void expectNoGrowth(const std::string& server, int transfers, std::pair<long, long> start, std::pair<long, long> end)
{
    std::cout << "[ figures  ] " << server << ": " << transfers << " transfers, memory " << start.first << " -> "
              << end.first << " kB, open descriptors " << start.second << " -> " << end.second << "\n";
    EXPECT_EQ(end.second, start.second);
    EXPECT_LT(end.first, start.first + 1024);
}

}  // namespace

TEST(ServerSoak, ProtocolBServerFilesEveryTapeAndAnswersEveryRequest)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "memory and descriptors are read from /proc";
    TempDir dir;
    dir.write("MAIN.NC", "%\nO1\n(C SUB1)\nM30\n%\n");
    dir.write("SUB1", "%\nG1X5.Y5.\nG1Z-1.\n%\n");
    PtyPair pty;
    const std::string waiting = "** PROT(B) SERVER MODE MAIN.NC **\n";
    ZekProcess zek({"-s", "--library", "--quiet-idle", serialChannelOption(pty), "-b0", "MAIN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr(waiting)) << zek.result().err;
    const int tapes = 10 * soakScale();
    std::string answer;
    std::pair<long, long> start;
    for (int n = 1; n <= tapes; ++n) {
        writeAll(pty.masterFd(), isoTape("%\nO" + std::to_string(n) + "\nG1X" + std::to_string(n) + ".\n%"));
        ASSERT_TRUE(zek.waitForErr(waiting, 15000, 2 * n)) << n;
        writeAll(pty.masterFd(), "\x11");
        std::string tape =
            n == 1 ? readUntilQuiet(pty.masterFd(), 1000, 10000) : readBytes(pty.masterFd(), answer.size(), 10000);
        answer = n == 1 ? tape : answer;
        ASSERT_EQ(tape, answer) << n;
        ASSERT_TRUE(zek.waitForErr(waiting, 15000, 2 * n + 1)) << n;
        start = n == 1 ? useOf(zek.pid()) : start;
    }
    auto end = useOf(zek.pid());
    zek.kill();
    EXPECT_TRUE(contains(withoutParity(answer), "O1\n( SUB1-001)\nG1X5.Y5.\nG1Z-1.\nM30\n%")) << answer;
    for (int n = 1; n <= tapes; ++n)
        EXPECT_EQ(dir.read("O" + std::to_string(n)),
                  storedText("%\nO" + std::to_string(n) + "\nG1X" + std::to_string(n) + ".\n%"));
    EXPECT_EQ(countOf(zek.result().err, "LIBRARY NEW O"), size_t(tapes));
    EXPECT_FALSE(dir.exists("incomplete"));
    expectNoGrowth("-s --library, tapes and requests", 2 * tapes, start, end);
}

// Every other controller leaves its connection open, as one switched off
// does; the next one takes its place.
TEST(ServerSoak, ProtocolAServerTakesEveryCallerAndFilesEveryFile)
{
    if (runningWindowsBuild())
        GTEST_SKIP() << "memory and descriptors are read from /proc";
    TempDir dir;
    const int port = freeTcpPort();
    ZekProcess zek({"-S", "--library", "--quiet-idle", "-c127.0.0.1:" + std::to_string(port)}, dir.path());
    const int callers = 2 * soakScale();
    int left = -1;
    std::pair<long, long> start;
    for (int n = 1; n <= callers; ++n) {
        int fd = connectTcp(port, 10000);
        RecordPeer peer(fd);
        peer.send("RTD", "F" + std::to_string(n));
        ASSERT_TRUE(peer.readUntilType("GTD", 10000).received) << n;
        peer.send("DAT", isoTape("%\nO" + std::to_string(n) + "\n%\n"));
        ASSERT_TRUE(peer.readUntilType("GTD", 5000).received) << n;
        peer.send("EOD");
        ASSERT_TRUE(peer.readUntilType("SET", 5000).received) << n;
        closeFd(left);
        left = n % 2 ? fd : -1;
        closeFd(n % 2 ? -1 : fd);
        start = n == 1 ? useOf(zek.pid()) : start;
    }
    auto end = useOf(zek.pid());
    closeFd(left);
    zek.kill();
    for (int n = 1; n <= callers; ++n)
        EXPECT_EQ(dir.read("F" + std::to_string(n)), storedText("%\nO" + std::to_string(n) + "\n%\n"));
    EXPECT_EQ(countOf(zek.result().err, "CONNECTION FROM"), size_t(callers));
    expectNoGrowth("-S --library, callers and files", callers, start, end);
}
