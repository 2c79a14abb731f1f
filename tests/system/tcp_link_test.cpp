// The TCP link driven in process through the Channel: the test plays the
// controller on 127.0.0.1, as its server or as its client.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netdb.h>
#include <netinet/in.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "app/run_settings.h"
#include "link/channel.h"
#include "link/link_open.h"
#include "in_process_link.h"
#include "console_text.h"
#include "support/controller.h"

namespace {

constexpr int arriveMs = 5000;
constexpr int receiveTimeoutMs = 1000;

long msSince(std::chrono::steady_clock::time_point start)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                    .count());
}

int listenOn(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int localPortOf(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// The server listens where the host name points; the tests reach it on
// 127.0.0.1 only when that is a loopback address.
std::string localHostName()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

bool hostNameIsLoopback()
{
    hostent* host = gethostbyname(localHostName().c_str());
    return host && host->h_addrtype == AF_INET && static_cast<unsigned char>(host->h_addr_list[0][0]) == 127;
}

int sendToLink(const std::string& bytes)
{
    return writeBytes(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
}

class TcpLink : public ::testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{}; }
    void TearDown() override { releaseLink(); }
};

TEST_F(TcpLink, ClientCarriesBytesWaitsOneSecondAndSeesAClosedPeerAtOnce)
{
    TcpListener listener;
    std::string port = std::to_string(listener.port());
    useChannel("127.0.0.1:" + port);
    testing::internal::CaptureStderr();
    int opened = openChannel();
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(opened, 0);
    EXPECT_EQ(err, "SOCKET_OPEN(Client) REMOTE=127.0.0.1 PORT=" + port + " CTRL-C to END\n");
    int controller = listener.accept(arriveMs);
    ASSERT_GE(controller, 0);

    ASSERT_TRUE(writeAll(controller, "AB\xA5"));
    EXPECT_EQ(readByte(100), 'A');
    EXPECT_EQ(readByte(100), 'B');
    EXPECT_EQ(readByte(100), -91);
    EXPECT_EQ(sendToLink("xyz"), 0);
    EXPECT_EQ(flushOutput(), 0);
    EXPECT_EQ(readBytes(controller, 3, arriveMs), "xyz");
    EXPECT_EQ(checkLine(), 0);

    // The socket's own time-out rules, not the caller's.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readByte(100), noByte);
    EXPECT_GE(msSince(start), receiveTimeoutMs - 100);
    EXPECT_LT(msSince(start), arriveMs);

    closeFd(controller);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(readByte(100), noByte);
    EXPECT_EQ(readByte(100), noByte);
    EXPECT_LT(msSince(start), receiveTimeoutMs - 100);
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkLine(), -1);
    testing::internal::GetCapturedStderr();
    sendToLink("lost");   // gathered: the failure shows when it goes out
    EXPECT_EQ(flushOutput(), -1);
}

TEST_F(TcpLink, ClientRetriesEverySecondUntilTheControllerListens)
{
    int port = freeTcpPort();
    useChannel("127.0.0.1:" + std::to_string(port));
    testing::internal::CaptureStderr();
    int listening = -1;
    {
        BackgroundCall opening([] { return openChannel(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(2200));
        EXPECT_FALSE(opening.finished(0));
        listening = listenOn(port);
        EXPECT_TRUE(listening >= 0 && opening.finished(arriveMs));
        EXPECT_EQ(opening.result(), 0);
    }
    std::string err = testing::internal::GetCapturedStderr();
    closeFd(listening);
    EXPECT_GE(countOf(err, "zek : connect: Connection refused\nCONNECT(C) ERR.\n"), 2u) << err;
    EXPECT_LE(countOf(err, "CONNECT(C) ERR.\n"), 4u) << err;
}

TEST_F(TcpLink, ServerAcceptsOneConnectionAndListensAnewOnTheNextOpen)
{
    if (!hostNameIsLoopback())
        GTEST_SKIP() << "the host name does not lead to a loopback address";
    runSettings.serverB = 1;
    int port = freeTcpPort();
    useChannel("unused.host:" + std::to_string(port));
    testing::internal::CaptureStderr();
    int controller = -1;
    {
        BackgroundCall opening([] { return openChannel(); });
        controller = connectTcp(port, arriveMs);
        EXPECT_TRUE(opening.finished(arriveMs));
    }
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_GE(controller, 0);
    EXPECT_TRUE(std::regex_match(err, std::regex("SOCKET_OPEN\\(Server\\) LOCAL=" + localHostName() +
                                                 " PORT=" + std::to_string(port) + " CTRL-C to END\n" +
                                                 "CONNECTION FROM 127\\.0\\.0\\.1 port=" +
                                                 std::to_string(localPortOf(controller)) + " " +
                                                 timePattern + "\n")))
        << err;
    EXPECT_EQ(connectTcp(port, 300), -1);   // the listener went with the accept
    EXPECT_EQ(sendToLink("hi"), 0);
    EXPECT_EQ(flushOutput(), 0);
    EXPECT_EQ(readBytes(controller, 2, arriveMs), "hi");

    testing::internal::CaptureStderr();
    int next = -1;
    {
        BackgroundCall opening([] { return openChannel(); });
        next = connectTcp(port, arriveMs);
        EXPECT_TRUE(opening.finished(arriveMs));
    }
    testing::internal::GetCapturedStderr();
    EXPECT_GE(next, 0);
    EXPECT_EQ(readUntilQuiet(controller, 100, arriveMs), "");   // the first connection was closed
    ASSERT_TRUE(writeAll(next, "Q"));
    EXPECT_EQ(readByte(100), 'Q');
    closeFd(controller);
    closeFd(next);
}

using TcpLinkDeathTest = TcpLink;

TEST_F(TcpLinkDeathTest, UnknownHostEndsTheRun)
{
    useChannel("nosuchhost.invalid:8000");
    EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1), "\nnosuchhost.invalid: REMOTE HOST unkown.\n$");
}

TEST_F(TcpLinkDeathTest, PortThatIsNoNumberEndsTheRun)
{
    for (const char* port : {"80x", "", "0", "70000", "-5"}) {
        useChannel(std::string("127.0.0.1:") + port);
        EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1),
                    "\n" + std::string(port) + ": PORT NUMBER INVALID.\n$");
    }
}

TEST_F(TcpLinkDeathTest, ServerOnAPortInUseEndsTheRun)
{
    TcpListener other;
    runSettings.serverA = 1;
    useChannel("x:" + std::to_string(other.port()));
    EXPECT_EXIT(openChannel(), ::testing::ExitedWithCode(1),
                "zek : bind: Address already in use\nBIND\\(S\\) ERR.\n$");
}

}  // namespace
