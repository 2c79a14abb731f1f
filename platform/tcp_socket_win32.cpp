// TCP sockets on Windows Sockets 2.
#include "platform/tcp_socket.h"

#include <winsock2.h>

#include <cstdio>
#include <cstring>

#include "platform/last_error_win32.h"

namespace zek::platform {

namespace {

constexpr WORD socketVersion = MAKEWORD(2, 0);

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

IoStatus failureStatus()
{
    int error = WSAGetLastError();
    failedWithSocketError();
    if (error == WSAEINTR)
        return IoStatus::Interrupted;
    return error == WSAECONNRESET || error == WSAECONNABORTED ? IoStatus::Gone : IoStatus::Failed;
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
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr)
        return failedWithSocketError();
    if (entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(address, entry->h_addr_list[0], sizeof *address);
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
    return isOpen() ? true : failedWithSocketError();
}

bool TcpSocket::connect(uint32_t address, int port)
{
    if (!makeStream())
        return false;
    sockaddr_in peer = ipv4Address(address, port);
    if (::connect(socketOf(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return true;
    failedWithSocketError();
    close();
    return false;
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

IoStatus TcpSocket::accept(TcpSocket& connection, char* peerAddress, int size, int* peerPort)
{
    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET accepted = ::accept(socketOf(handle_), reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET) {
        int error = WSAGetLastError();
        failedWithSocketError();
        return error == WSAEINTR || error == WSAECONNRESET ? IoStatus::Interrupted : IoStatus::Failed;
    }
    connection.close();
    connection.handle_ = static_cast<std::intptr_t>(accepted);
    std::snprintf(peerAddress, static_cast<size_t>(size), "%s", inet_ntoa(peer.sin_addr));
    *peerPort = ntohs(peer.sin_port);
    return IoStatus::Done;
}

// Windows takes the receive time-out as a DWORD of milliseconds.
bool TcpSocket::setReceiveTimeout(int milliseconds)
{
    DWORD timeout = static_cast<DWORD>(milliseconds);
    int result =
        setsockopt(socketOf(handle_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    return result == 0 ? true : failedWithSocketError();
}

IoResult TcpSocket::receive(unsigned char* buffer, int size)
{
    int count = recv(socketOf(handle_), reinterpret_cast<char*>(buffer), size, 0);
    if (count > 0)
        return {count, IoStatus::Done};
    if (count == 0)
        return {0, IoStatus::Gone};
    if (WSAGetLastError() == WSAETIMEDOUT) {
        failedWithSocketError();
        return {};  // the receive time-out
    }
    return {0, failureStatus()};
}

IoResult TcpSocket::send(const unsigned char* bytes, int length)
{
    int count = ::send(socketOf(handle_), reinterpret_cast<const char*>(bytes), length, 0);
    if (count == SOCKET_ERROR)
        return {0, failureStatus()};
    return {count, IoStatus::Done};
}

}  // namespace zek::platform
