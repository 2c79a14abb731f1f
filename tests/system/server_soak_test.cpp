// A week of a shop's servers in an hour (scripts/stress-long.sh sets
// ZEK_SOAK_SCALE=100) or a minute (the test command): 10 tapes and 10 requests
// per unit through -s --library on a pseudo-terminal, 2 controllers calling
// anew and 2 files per unit through -S --library over TCP. Every tape is
// accounted for; open descriptors end as they began and memory does not grow
// with the work.
#include <fstream>

#include "system_test.h"

namespace {

int soakScale()
{
    const char* scale = std::getenv("ZEK_SOAK_SCALE");
    int value = scale ? std::atoi(scale) : 1;
    return value > 0 ? value : 1;
}

struct ProcessUse {
    long residentKb = 0;
    long descriptors = 0;
};

ProcessUse useOf(pid_t pid)
{
    ProcessUse use;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string field; status >> field;)
        if (field == "VmRSS:")
            status >> use.residentKb;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
         it != std::filesystem::directory_iterator(); ++it)
        ++use.descriptors;
    return use;
}

// Loose: the heap settles after the first transfers; a leak per transfer
// shows over a thousand of them.
void expectNoGrowth(const std::string& server, int transfers, const ProcessUse& start, const ProcessUse& end)
{
    std::cout << "[ figures  ] " << server << ": " << transfers << " transfers, memory " << start.residentKb << " -> "
              << end.residentKb << " kB, open descriptors " << start.descriptors << " -> " << end.descriptors << "\n";
    EXPECT_EQ(end.descriptors, start.descriptors);
    EXPECT_LT(end.residentKb, start.residentKb + 1024);
}

std::string numbered(const char* prefix, int n)
{
    return prefix + std::to_string(n);
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
    const int controller = pty.masterFd();
    const std::string waiting = "** PROT(B) SERVER MODE MAIN.NC **\n";
    ZekProcess zek({"-s", "--library", "--quiet-idle", serialChannelOption(pty), "-b0", "MAIN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr(waiting)) << zek.result().err;
    const int tapes = 10 * soakScale();
    size_t turns = 1;
    std::string answer;
    ProcessUse start;
    for (int n = 1; n <= tapes; ++n) {
        writeAll(controller, isoTape("%\n" + numbered("O", n) + "\nG1X" + std::to_string(n) + ".\n%"));
        ASSERT_TRUE(zek.waitForErr(waiting, 15000, ++turns)) << n;
        writeAll(controller, "\x11");
        std::string tape =
            answer.empty() ? readUntilQuiet(controller, 1000, 10000) : readBytes(controller, answer.size(), 10000);
        if (answer.empty())
            answer = tape;
        ASSERT_EQ(tape, answer) << n;
        ASSERT_TRUE(zek.waitForErr(waiting, 15000, ++turns)) << n;
        if (n == 1)
            start = useOf(zek.pid());
    }
    ProcessUse end = useOf(zek.pid());
    zek.kill();
    EXPECT_TRUE(contains(withoutParity(answer), "O1\n( SUB1-001)\nG1X5.Y5.\nG1Z-1.\nM30\n%")) << withoutParity(answer);
    for (int n = 1; n <= tapes; ++n)
        EXPECT_EQ(dir.read(numbered("O", n)), "%\r\n" + numbered("O", n) + "\r\nG1X" + std::to_string(n) + ".\r\n%");
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
    ProcessUse start;
    for (int n = 1; n <= callers; ++n) {
        int fd = connectTcp(port, 10000);
        ASSERT_GE(fd, 0);
        RecordPeer peer(fd);
        peer.send("RTD", numbered("F", n));
        ASSERT_TRUE(peer.readUntilType("GTD", 10000).received) << n;
        peer.send("DAT", isoTape("%\n" + numbered("O", n) + "\n%\n"));
        ASSERT_TRUE(peer.readUntilType("GTD", 5000).received) << n;
        peer.send("EOD");
        ASSERT_TRUE(peer.readUntilType("SET", 5000).received) << n;
        closeFd(left);
        left = n % 2 ? fd : -1;
        if (left < 0)
            closeFd(fd);
        if (n == 1)
            start = useOf(zek.pid());
    }
    ProcessUse end = useOf(zek.pid());
    closeFd(left);
    zek.kill();
    for (int n = 1; n <= callers; ++n)
        EXPECT_EQ(dir.read(numbered("F", n)), "%\r\n" + numbered("O", n) + "\r\n%\r\n");
    EXPECT_EQ(countOf(zek.result().err, "CONNECTION FROM"), size_t(callers));
    expectNoGrowth("-S --library, callers and files", callers, start, end);
}
