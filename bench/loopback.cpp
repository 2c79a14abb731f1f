#include "loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int connectRetryUs = 2000;
constexpr int receiveChunk = 1 << 16;

sockaddr_in loopbackAddress(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    return address;
}

int millisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

}  // namespace

int listenLoopback(int* port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int freeLoopbackPort()
{
    int port = 0;
    int fd = listenLoopback(&port);
    closeSocket(fd);
    return fd < 0 ? -1 : port;
}

int acceptWithin(int listenFd, int timeoutMs)
{
    pollfd waiting{listenFd, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0)
        return -1;
    return accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

int connectLoopback(int port, int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    sockaddr_in address = loopbackAddress(port);
    do {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            return fd;
        closeSocket(fd);
        usleep(connectRetryUs);
    } while (Clock::now() < deadline);
    return -1;
}

bool sendAll(int fd, const char* bytes, std::size_t length)
{
    while (length > 0) {
        ssize_t sent = send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        length -= std::size_t(sent);
    }
    return true;
}

void closeSocket(int fd)
{
    if (fd >= 0)
        close(fd);
}

StreamReceived receiveUntilClosed(int fd, int timeoutMs, std::string* keep)
{
    StreamReceived received;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    static char buffer[receiveChunk];
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, millisecondsUntil(deadline)) <= 0)
            return received;
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            received.closed = true;
            return received;
        }
        received.bytes += std::size_t(count);
        received.lastByte = Clock::now();
        if (keep)
            keep->append(buffer, std::size_t(count));
    }
}
