// The TCP connection on Windows Sockets 2: one connected socket, and the
// listening socket of the server modes until it has accepted.
#include "platform/tcp_socket.h"

#include <winsock2.h>

#include <cstdio>
#include <cstring>

#include "platform/last_error_win32.h"

namespace zek::platform {

namespace {

constexpr WORD socketVersion = MAKEWORD(2, 0);

SOCKET connection = INVALID_SOCKET;
SOCKET listener = INVALID_SOCKET;
bool peerClosed = false;

void closeSocket(SOCKET& handle)
{
    if (handle != INVALID_SOCKET)
        closesocket(handle);
    handle = INVALID_SOCKET;
}

sockaddr_in ipv4Address(uint32_t address, int port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = address;
    socketAddress.sin_port = htons(static_cast<u_short>(port));
    return socketAddress;
}

struct LibraryStartError {
    int code;
    const char* text;
};

const LibraryStartError libraryStartErrors[] = {
    {WSASYSNOTREADY, "WSASYSNOTREADY\n"}, {WSAVERNOTSUPPORTED, "WSAVERNOTSUPPORTED\n"},
    {WSAEINPROGRESS, "WSAEINPROGRESS\n"}, {WSAEPROCLIM, "WSAEPROCLIM\n"},
    {WSAEFAULT, "WSAEFAULT\n"},
};

// Windows Sockets start once, before the first call that needs them. A
// library that does not start is named, and the run tries the link anyway.
void startLibrary()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    WSADATA details;
    int code = WSAStartup(socketVersion, &details);
    for (const LibraryStartError& error : libraryStartErrors)
        if (error.code == code)
            std::fputs(error.text, stdout);
    std::fflush(stdout);  // a server run ends by Ctrl-C, which would lose a buffered line
}

bool openStreamSocket(SOCKET& handle)
{
    startLibrary();
    closeSocket(handle);
    handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return handle != INVALID_SOCKET ? true : failedWithSocketError();
}

}  // namespace

bool resolveIPv4(const char* host, uint32_t* address)
{
    startLibrary();
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
    startLibrary();
    return gethostname(name, size) == 0 ? true : failedWithSocketError();
}

bool tcpConnect(uint32_t address, int port)
{
    peerClosed = false;
    if (!openStreamSocket(connection))
        return false;
    sockaddr_in peer = ipv4Address(address, port);
    if (connect(connection, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return true;
    failedWithSocketError();
    closeSocket(connection);
    return false;
}

bool tcpBind(uint32_t address, int port)
{
    if (!openStreamSocket(listener))
        return false;
    sockaddr_in local = ipv4Address(address, port);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
        return true;
    return failedWithSocketError();
}

bool tcpListen(int backlog)
{
    return listen(listener, backlog) == 0 ? true : failedWithSocketError();
}

bool tcpAccept(char* peerAddress, int size, int* peerPort)
{
    sockaddr_in peer{};
    int length = sizeof peer;
    peerClosed = false;
    closeSocket(connection);
    connection = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    bool accepted = connection != INVALID_SOCKET;
    if (!accepted)
        failedWithSocketError();
    closeSocket(listener);
    if (!accepted)
        return false;
    std::snprintf(peerAddress, static_cast<size_t>(size), "%s", inet_ntoa(peer.sin_addr));
    *peerPort = ntohs(peer.sin_port);
    return true;
}

// Windows takes the receive time-out as a DWORD of milliseconds.
bool tcpSetReceiveTimeout(int milliseconds)
{
    DWORD timeout = static_cast<DWORD>(milliseconds);
    int result =
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    return result == 0 ? true : failedWithSocketError();
}

int tcpReceive(unsigned char* buffer, int size)
{
    if (connection == INVALID_SOCKET || peerClosed)
        return -1;
    int count = recv(connection, reinterpret_cast<char*>(buffer), size, 0);
    if (count > 0)
        return count;
    if (count == 0) {
        peerClosed = true;
        return -1;
    }
    int error = WSAGetLastError();
    if (error == WSAECONNRESET || error == WSAECONNABORTED)
        peerClosed = true;
    failedWithSocketError();
    return -1;
}

bool tcpPeerClosed()
{
    return peerClosed;
}

int tcpSend(const unsigned char* bytes, int length)
{
    int count = send(connection, reinterpret_cast<const char*>(bytes), length, 0);
    if (count == SOCKET_ERROR)
        failedWithSocketError();
    return count == SOCKET_ERROR ? -1 : count;
}

void tcpClose()
{
    closeSocket(connection);
    closeSocket(listener);
    peerClosed = false;
}

}  // namespace zek::platform
