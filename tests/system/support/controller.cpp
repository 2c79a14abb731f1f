#include "support/controller.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "support/zek_process.h"

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

int millisecondsSince(Clock::time_point start)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        return;
    slavePath_ = name;
    // Only zek's own open of the slave may reach it: a copy held by zek would
    // keep the line up after the controller hangs up.
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // The master side is the controller's end of the cable: raw bytes both ways.
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
}

PtyPair::~PtyPair()
{
    hangUp();
}

void PtyPair::hangUp()
{
    closeFd(master_);
    closeFd(slave_);
    master_ = slave_ = -1;
}

// Under Wine a COM port is a link in the prefix's dosdevices folder. The COM
// number follows the pseudo-terminal's number, so that it is the same for
// every run on one terminal and differs between tests that run side by side;
// and it is 10 or more, where Windows needs the "\\.\" form of the name.
static std::string wineComPortOption(const std::string& slavePath)
{
    constexpr int firstPort = 10;
    constexpr int portCount = 240;
    std::string terminalNumber = std::filesystem::path(slavePath).filename().string();
    int port = firstPort + std::atoi(terminalNumber.c_str()) % portCount;
    std::filesystem::path link =
        std::filesystem::path(std::getenv("WINEPREFIX")) / "dosdevices" / ("com" + std::to_string(port));
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink(slavePath, link, ignored);
    return "-c" + std::to_string(port);
}

std::string serialChannelOption(const PtyPair& pty)
{
    if (runningWindowsBuild() && std::getenv("WINEPREFIX"))
        return wineComPortOption(pty.slavePath());
    return "-c" + pty.slavePath();
}

static bool readSome(int fd, std::string& into, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    into.append(buffer, size_t(n));
    return true;
}

std::string readBytes(int fd, size_t count, int timeoutMs)
{
    std::string got;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && millisecondsLeft(deadline) > 0) {
        if (!readSome(fd, got, millisecondsLeft(deadline)) && millisecondsLeft(deadline) > 0)
            usleep(5000);  // hang-up with no writer yet: try again shortly
    }
    return got;
}

std::string readUntilQuiet(int fd, int quietMs, int timeoutMs)
{
    std::string got;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (millisecondsLeft(deadline) > 0) {
        if (!readSome(fd, got, std::min(quietMs, millisecondsLeft(deadline))))
            break;
    }
    return got;
}

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        // A connection zek has closed fails the write instead of ending the test run.
        ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            usleep(1000);
            continue;
        }
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

static sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

TcpListener::TcpListener(int port, int receiveBuffer)
{
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (receiveBuffer > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address = loopback(port);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 5) != 0)
        return;
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

TcpListener::~TcpListener()
{
    closeFd(fd_);
}

int TcpListener::accept(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return -1;
    return ::accept(fd_, nullptr, nullptr);
}

// The listener closes at once; its port stays free for a while.
// A line of /proc/net/tcp: "sl local rem st queues tr:when ...", addresses
// as hex "0100007F:1F90". Timer 2 is the keep-alive timer.
bool peerProbesWhenIdle(int fd)
{
    sockaddr_in ends[2]{};
    socklen_t length = sizeof ends[0];
    getsockname(fd, reinterpret_cast<sockaddr*>(&ends[0]), &length);
    getpeername(fd, reinterpret_cast<sockaddr*>(&ends[1]), &length);
    char zekEnd[32];
    char testEnd[32];
    std::snprintf(zekEnd, sizeof zekEnd, "%08X:%04X", ends[1].sin_addr.s_addr, ntohs(ends[1].sin_port));
    std::snprintf(testEnd, sizeof testEnd, "%08X:%04X", ends[0].sin_addr.s_addr, ntohs(ends[0].sin_port));
    std::ifstream table("/proc/net/tcp");
    std::string slot, local, remote, state, queues, timer;
    for (std::getline(table, slot); table >> slot >> local >> remote >> state >> queues >> timer;
         std::getline(table, slot))
        if (local == zekEnd && remote == testEnd)
            return timer.rfind("02:", 0) == 0;
    return false;
}

int freeTcpPort()
{
    return TcpListener().port();
}

int connectTcp(int port, int timeoutMs, const char* from)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in source = loopback(0);
        if (from)
            inet_pton(AF_INET, from, &source.sin_addr);
        sockaddr_in address = loopback(port);
        if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0 &&
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            return fd;
        close(fd);
        usleep(50000);
    } while (millisecondsLeft(deadline) > 0);
    return -1;
}

void closeFd(int fd)
{
    if (fd >= 0)
        close(fd);
}
