// The TCP connection on BSD sockets.
#include "platform/tcp_socket.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace zek::platform {

static int listenFd = -1;
static int connectionFd = -1;
static bool peerClosed = false;

bool resolveIPv4(const char* host, uint32_t* address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

bool localHostName(char* name, int size)
{
    if (gethostname(name, std::size_t(size)) != 0)
        return false;
    name[size - 1] = '\0';
    return true;
}

static sockaddr_in socketAddress(uint32_t address, int port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_addr.s_addr = address;
    endpoint.sin_port = htons(uint16_t(port));
    return endpoint;
}

static void closeKeepingErrno(int& fd)
{
    int reason = errno;
    if (fd >= 0)
        close(fd);
    fd = -1;
    errno = reason;
}

static void startConnection(int fd)
{
    connectionFd = fd;
    peerClosed = false;
}

bool tcpConnect(uint32_t address, int port)
{
    tcpClose();
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in endpoint = socketAddress(address, port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0) {
        closeKeepingErrno(fd);
        return false;
    }
    startConnection(fd);
    return true;
}

bool tcpBind(uint32_t address, int port)
{
    tcpClose();
    listenFd = socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd < 0)
        return false;
    // A server opened anew binds at once, though the last connection lingers.
    int reuse = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in endpoint = socketAddress(address, port);
    if (bind(listenFd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0) {
        closeKeepingErrno(listenFd);
        return false;
    }
    return true;
}

bool tcpListen(int backlog)
{
    return listen(listenFd, backlog) == 0;
}

// A connection that the peer dropped before it was taken, or a signal, is
// no reason to stop serving: wait for the next one.
static int acceptOne()
{
    for (;;) {
        int fd = accept(listenFd, nullptr, nullptr);
        if (fd >= 0 || (errno != EINTR && errno != ECONNABORTED))
            return fd;
    }
}

bool tcpAccept(char* peerAddress, int size, int* peerPort)
{
    int fd = acceptOne();
    closeKeepingErrno(listenFd);
    if (fd < 0)
        return false;
    startConnection(fd);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        !inet_ntop(AF_INET, &peer.sin_addr, peerAddress, socklen_t(size)))
        return false;
    *peerPort = ntohs(peer.sin_port);
    return true;
}

bool tcpSetReceiveTimeout(int milliseconds)
{
    timeval wait{};
    wait.tv_sec = milliseconds / 1000;
    wait.tv_usec = (milliseconds % 1000) * 1000;
    return setsockopt(connectionFd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
}

static bool connectionLost(int error)
{
    return error == ECONNRESET || error == EPIPE || error == ENOTCONN;
}

int tcpReceive(unsigned char* buffer, int size)
{
    if (connectionFd < 0 || peerClosed)
        return -1;
    ssize_t count = recv(connectionFd, buffer, std::size_t(size), 0);
    if (count == 0 || (count < 0 && connectionLost(errno)))
        peerClosed = true;
    return count > 0 ? int(count) : -1;
}

bool tcpPeerClosed()
{
    return peerClosed;
}

int tcpSend(const unsigned char* bytes, int length)
{
    // After the peer's end of the connection nothing can be delivered.
    if (connectionFd < 0 || peerClosed)
        return -1;
    int sent = 0;
    while (sent < length) {
        // MSG_NOSIGNAL: a peer that has gone makes the send fail, not the process die.
        ssize_t count = send(connectionFd, bytes + sent, std::size_t(length - sent), MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            if (connectionLost(errno))
                peerClosed = true;
            return sent > 0 ? sent : -1;
        }
        sent += int(count);
    }
    return sent;
}

void tcpClose()
{
    closeKeepingErrno(listenFd);
    closeKeepingErrno(connectionFd);
    peerClosed = false;
}

}  // namespace zek::platform
