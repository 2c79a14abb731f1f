// TCP sockets on Windows Sockets 2.
#include "platform/tcp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After the sockets: the keep-alive control of Windows Sockets.
#include <mstcpip.h>

#include <cstdio>
#include <cstring>

#include "platform/last_error_win32.h"

namespace zek::platform {

namespace {

constexpr WORD socketVersion = MAKEWORD(2, 0);

// 60 s idle, then the probes Windows sends (ten) 5 s apart: a silent peer is
// gone after 110 s, as on the other systems.
constexpr ULONG keepAliveIdleMs = 60000;
constexpr ULONG keepAliveIntervalMs = 5000;

struct LibraryStartError {
    int code;
    const char* text;
};

const LibraryStartError libraryStartErrors[] = {
    {WSASYSNOTREADY, "WSASYSNOTREADY\n"}, {WSAVERNOTSUPPORTED, "WSAVERNOTSUPPORTED\n"},
    {WSAEINPROGRESS, "WSAEINPROGRESS\n"}, {WSAEPROCLIM, "WSAEPROCLIM\n"},
    {WSAEFAULT, "WSAEFAULT\n"},
};

sockaddr_in ipv4Address(uint32_t address, int port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = address;
    socketAddress.sin_port = htons(static_cast<u_short>(port));
    return socketAddress;
}

SOCKET socketOf(std::intptr_t handle)
{
    return static_cast<SOCKET>(handle);
}

bool makeNonBlocking(SOCKET socket)
{
    u_long nonBlocking = 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0 ? true : failedWithSocketError();
}

// On a connection every failure but these few ends it: a reset, probes
// unanswered, a network that went away.
IoStatus transferFailure()
{
    int error = WSAGetLastError();
    failedWithSocketError();
    if (error == WSAEINTR)
        return IoStatus::Interrupted;
    if (error == WSAENOTSOCK || error == WSAEFAULT || error == WSAEINVAL || error == WSANOTINITIALISED)
        return IoStatus::Failed;
    return IoStatus::Gone;
}

}  // namespace

const char* startSockets()
{
    static bool started = false;
    if (started)
        return nullptr;
    started = true;
    WSADATA details;
    int code = WSAStartup(socketVersion, &details);
    for (const LibraryStartError& error : libraryStartErrors)
        if (error.code == code)
            return error.text;
    return nullptr;
}

bool resolveIPv4(const char* host, uint32_t* address)
{
    startSockets();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int error = getaddrinfo(host, nullptr, &hints, &found);
    if (error != 0 || !found) {
        WSASetLastError(error);
        return failedWithSocketError();
    }
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

bool localHostName(char* name, int size)
{
    startSockets();
    return gethostname(name, size) == 0 ? true : failedWithSocketError();
}

void TcpSocket::close()
{
    if (isOpen())
        closesocket(socketOf(handle_));
    handle_ = closedHandle;
}

bool TcpSocket::makeStream()
{
    close();
    startSockets();
    handle_ = static_cast<std::intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!isOpen())
        return failedWithSocketError();
    if (makeNonBlocking(socketOf(handle_)))
        return true;
    close();
    return false;
}

// A connection under way reports its failure among the exceptions.
IoStatus TcpSocket::awaitReady(bool forWriting, int waitMs)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socketOf(handle_), &ready);
    FD_SET(socketOf(handle_), &failed);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    int count = select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait);
    if (count > 0)
        return IoStatus::Done;
    if (count == 0)
        return IoStatus::Interrupted;
    failedWithSocketError();
    return IoStatus::Failed;
}

IoStatus TcpSocket::startConnect(uint32_t address, int port)
{
    if (!makeStream())
        return IoStatus::Failed;
    sockaddr_in peer = ipv4Address(address, port);
    if (::connect(socketOf(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return IoStatus::Done;
    if (WSAGetLastError() == WSAEWOULDBLOCK)
        return IoStatus::Interrupted;
    failedWithSocketError();
    close();
    return IoStatus::Failed;
}

IoStatus TcpSocket::awaitConnection(int waitMs)
{
    IoStatus ready = awaitReady(true, waitMs);
    if (ready == IoStatus::Interrupted)
        return ready;
    int error = 0;
    int length = sizeof error;
    if (ready == IoStatus::Done &&
        getsockopt(socketOf(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
        error == 0)
        return IoStatus::Done;
    if (error != 0) {
        WSASetLastError(error);
        failedWithSocketError();
    }
    close();
    return IoStatus::Failed;
}

void TcpSocket::abandonConnection()
{
    close();
    WSASetLastError(WSAETIMEDOUT);
    failedWithSocketError();
}

bool TcpSocket::bind(uint32_t address, int port)
{
    if (!makeStream())
        return false;
    sockaddr_in local = ipv4Address(address, port);
    if (::bind(socketOf(handle_), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
        return true;
    failedWithSocketError();
    close();
    return false;
}

bool TcpSocket::listen(int backlog)
{
    return ::listen(socketOf(handle_), backlog) == 0 ? true : failedWithSocketError();
}

IoStatus TcpSocket::accept(TcpSocket& connection, int waitMs, PeerAddress* peer)
{
    IoStatus ready = awaitReady(false, waitMs);
    if (ready != IoStatus::Done)
        return ready;
    sockaddr_in address{};
    int length = sizeof address;
    SOCKET accepted = ::accept(socketOf(handle_), reinterpret_cast<sockaddr*>(&address), &length);
    if (accepted == INVALID_SOCKET) {
        int error = WSAGetLastError();
        failedWithSocketError();
        bool passing = error == WSAEINTR || error == WSAECONNRESET || error == WSAEWOULDBLOCK;
        return passing ? IoStatus::Interrupted : IoStatus::Failed;
    }
    connection.close();
    connection.handle_ = static_cast<std::intptr_t>(accepted);
    if (!makeNonBlocking(accepted))
        return IoStatus::Failed;
    std::snprintf(peer->dotted, sizeof peer->dotted, "%s", inet_ntoa(address.sin_addr));
    peer->address = address.sin_addr.s_addr;
    peer->port = ntohs(address.sin_port);
    return IoStatus::Done;
}

bool TcpSocket::keepAlive()
{
    tcp_keepalive values{1, keepAliveIdleMs, keepAliveIntervalMs};
    DWORD returned = 0;
    int result = WSAIoctl(socketOf(handle_), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                          nullptr);
    return result == 0 ? true : failedWithSocketError();
}

IoResult TcpSocket::receive(unsigned char* buffer, int size, int waitMs)
{
    IoStatus ready = awaitReady(false, waitMs);
    if (ready == IoStatus::Failed)
        return {0, ready};
    if (ready == IoStatus::Interrupted)
        return {};
    int count = recv(socketOf(handle_), reinterpret_cast<char*>(buffer), size, 0);
    if (count > 0)
        return {count, IoStatus::Done};
    if (count == 0)
        return {0, IoStatus::Gone};
    if (WSAGetLastError() == WSAEWOULDBLOCK)
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
    int count = ::send(socketOf(handle_), reinterpret_cast<const char*>(bytes), length, 0);
    if (count != SOCKET_ERROR)
        return {count, IoStatus::Done};
    if (WSAGetLastError() == WSAEWOULDBLOCK)
        return {};
    return {0, transferFailure()};
}

}  // namespace zek::platform
