// TCP sockets on BSD sockets.
#include "platform/tcp_socket.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zek::platform {

namespace {

// 60 s idle, then 5 probes 10 s apart: a silent peer is gone after 110 s.
constexpr int keepAliveIdleS = 60;
constexpr int keepAliveIntervalS = 10;
constexpr int keepAliveProbes = 5;

sockaddr_in socketAddress(uint32_t address, int port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_addr.s_addr = address;
    endpoint.sin_port = htons(uint16_t(port));
    return endpoint;
}

bool makeNonBlocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// On a connection every failure but these few ends it: a reset, a broken
// pipe, probes unanswered, a network that went away.
IoStatus transferFailure()
{
    if (errno == EINTR)
        return IoStatus::Interrupted;
    if (errno == EBADF || errno == ENOTSOCK || errno == EFAULT || errno == EINVAL)
        return IoStatus::Failed;
    return IoStatus::Gone;
}

bool setOption(int fd, int level, int name, int value)
{
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

}  // namespace

const char* startSockets()
{
    return nullptr;
}

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

void TcpSocket::close()
{
    if (!isOpen())
        return;
    int reason = errno;  // a failure being reported must keep its reason
    ::close(int(handle_));
    handle_ = closedHandle;
    errno = reason;
}

bool TcpSocket::makeStream()
{
    close();
    handle_ = socket(AF_INET, SOCK_STREAM, 0);
    if (isOpen() && makeNonBlocking(int(handle_)))
        return true;
    close();
    return false;
}

IoStatus TcpSocket::awaitReady(bool forWriting, int waitMs)
{
    pollfd watch{int(handle_), short(forWriting ? POLLOUT : POLLIN), 0};
    int ready = poll(&watch, 1, waitMs);
    if (ready > 0)
        return IoStatus::Done;
    if (ready == 0 || errno == EINTR)
        return IoStatus::Interrupted;
    return IoStatus::Failed;
}

IoStatus TcpSocket::startConnect(uint32_t address, int port)
{
    if (!makeStream())
        return IoStatus::Failed;
    sockaddr_in endpoint = socketAddress(address, port);
    if (::connect(int(handle_), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0)
        return IoStatus::Done;
    if (errno == EINPROGRESS || errno == EINTR)
        return IoStatus::Interrupted;
    close();
    return IoStatus::Failed;
}

IoStatus TcpSocket::awaitConnection(int waitMs)
{
    IoStatus ready = awaitReady(true, waitMs);
    if (ready == IoStatus::Interrupted)
        return ready;
    int error = 0;
    socklen_t length = sizeof error;
    if (ready == IoStatus::Done && getsockopt(int(handle_), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
        return IoStatus::Done;
    if (error != 0)
        errno = error;
    close();
    return IoStatus::Failed;
}

void TcpSocket::abandonConnection()
{
    close();
    errno = ETIMEDOUT;
}

bool TcpSocket::bind(uint32_t address, int port)
{
    if (!makeStream())
        return false;
    // A server started anew binds at once, though its last connection lingers.
    setOption(int(handle_), SOL_SOCKET, SO_REUSEADDR, 1);
    sockaddr_in endpoint = socketAddress(address, port);
    if (::bind(int(handle_), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0)
        return true;
    close();
    return false;
}

bool TcpSocket::listen(int backlog)
{
    return ::listen(int(handle_), backlog) == 0;
}

IoStatus TcpSocket::accept(TcpSocket& connection, int waitMs, PeerAddress* peer)
{
    IoStatus ready = awaitReady(false, waitMs);
    if (ready != IoStatus::Done)
        return ready;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int fd = ::accept(int(handle_), reinterpret_cast<sockaddr*>(&address), &length);
    if (fd < 0)
        return errno == EINTR || errno == EAGAIN || errno == ECONNABORTED ? IoStatus::Interrupted : IoStatus::Failed;
    connection.close();
    connection.handle_ = fd;
    if (!makeNonBlocking(fd) || !inet_ntop(AF_INET, &address.sin_addr, peer->dotted, sizeof peer->dotted))
        return IoStatus::Failed;
    peer->address = address.sin_addr.s_addr;
    peer->port = ntohs(address.sin_port);
    return IoStatus::Done;
}

bool TcpSocket::keepAlive()
{
    int fd = int(handle_);
    return setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1) && setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, keepAliveIdleS) &&
           setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, keepAliveIntervalS) &&
           setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, keepAliveProbes);
}

IoResult TcpSocket::receive(unsigned char* buffer, int size, int waitMs)
{
    IoStatus ready = awaitReady(false, waitMs);
    if (ready == IoStatus::Failed)
        return {0, ready};
    if (ready == IoStatus::Interrupted)
        return {};
    ssize_t count = recv(int(handle_), buffer, std::size_t(size), 0);
    if (count > 0)
        return {int(count), IoStatus::Done};
    if (count == 0)
        return {0, IoStatus::Gone};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {};
    return {0, transferFailure()};
}

IoResult TcpSocket::send(const unsigned char* bytes, int length, int waitMs)
{
    IoStatus ready = awaitReady(true, waitMs);
    if (ready == IoStatus::Failed)
        return {0, ready};
    if (ready == IoStatus::Interrupted)
        return {};
    // MSG_NOSIGNAL: a peer that has gone makes the send fail, not the process die.
    ssize_t count = ::send(int(handle_), bytes, std::size_t(length), MSG_NOSIGNAL);
    if (count >= 0)
        return {int(count), IoStatus::Done};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {};
    return {0, transferFailure()};
}

}  // namespace zek::platform
