// TCP sockets on BSD sockets.
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

namespace {

sockaddr_in socketAddress(uint32_t address, int port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_addr.s_addr = address;
    endpoint.sin_port = htons(uint16_t(port));
    return endpoint;
}

bool connectionLost(int error)
{
    return error == ECONNRESET || error == EPIPE || error == ENOTCONN;
}

IoStatus failureStatus()
{
    if (errno == EINTR)
        return IoStatus::Interrupted;
    return connectionLost(errno) ? IoStatus::Gone : IoStatus::Failed;
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
    return isOpen();
}

bool TcpSocket::connect(uint32_t address, int port)
{
    if (!makeStream())
        return false;
    sockaddr_in endpoint = socketAddress(address, port);
    if (::connect(int(handle_), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0)
        return true;
    close();
    return false;
}

bool TcpSocket::bind(uint32_t address, int port)
{
    if (!makeStream())
        return false;
    // A server opened anew binds at once, though the last connection lingers.
    int reuse = 1;
    setsockopt(int(handle_), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
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

IoStatus TcpSocket::accept(TcpSocket& connection, char* peerAddress, int size, int* peerPort)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept(int(handle_), reinterpret_cast<sockaddr*>(&peer), &length);
    if (fd < 0)
        return errno == EINTR || errno == ECONNABORTED ? IoStatus::Interrupted : IoStatus::Failed;
    connection.close();
    connection.handle_ = fd;
    if (!inet_ntop(AF_INET, &peer.sin_addr, peerAddress, socklen_t(size)))
        return IoStatus::Failed;
    *peerPort = ntohs(peer.sin_port);
    return IoStatus::Done;
}

bool TcpSocket::setReceiveTimeout(int milliseconds)
{
    timeval wait{};
    wait.tv_sec = milliseconds / 1000;
    wait.tv_usec = (milliseconds % 1000) * 1000;
    return setsockopt(int(handle_), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
}

IoResult TcpSocket::receive(unsigned char* buffer, int size)
{
    ssize_t count = recv(int(handle_), buffer, std::size_t(size), 0);
    if (count > 0)
        return {int(count), IoStatus::Done};
    if (count == 0)
        return {0, IoStatus::Gone};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {};  // the receive time-out
    return {0, failureStatus()};
}

IoResult TcpSocket::send(const unsigned char* bytes, int length)
{
    // MSG_NOSIGNAL: a peer that has gone makes the send fail, not the process die.
    ssize_t count = ::send(int(handle_), bytes, std::size_t(length), MSG_NOSIGNAL);
    if (count >= 0)
        return {int(count), IoStatus::Done};
    return {0, failureStatus()};
}

}  // namespace zek::platform
