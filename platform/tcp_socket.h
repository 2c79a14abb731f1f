// A TCP socket, behind one short call per operation. Implemented once per
// system (tcp_socket_posix.cpp, tcp_socket_win32.cpp); what the link makes of
// a result (retries, short sends, a peer that has gone) is decided above. A
// call that fails leaves the reason for lastErrorText().
#pragma once

#include <cstdint>

#include "platform/io_result.h"

namespace zek::platform {

// Starts the system's socket library once, before the first call that needs
// it. The name of the failure the first time it does not start (the run
// tries the link anyway); nullptr otherwise and where sockets need no start.
const char* startSockets();

// First IPv4 address of a host name or dotted address, in network order.
bool resolveIPv4(const char* host, uint32_t* address);
bool localHostName(char* name, int size);

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket() { close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool connect(uint32_t address, int port);  // a fresh socket per attempt
    bool bind(uint32_t address, int port);     // address 0: every interface
    bool listen(int backlog);
    // Takes one connection into connection; peerAddress gets the dotted form.
    // Interrupted for a signal or a connection dropped before it was taken.
    IoStatus accept(TcpSocket& connection, char* peerAddress, int size, int* peerPort);
    bool setReceiveTimeout(int milliseconds);

    // What has come, at most size bytes. Gone when the peer closed or reset
    // the connection; Done with count 0 when the receive time-out passed.
    IoResult receive(unsigned char* buffer, int size);
    // Sends what the system takes now; Gone when the peer has gone.
    IoResult send(const unsigned char* bytes, int length);

    bool isOpen() const { return handle_ != closedHandle; }
    void close();

private:
    bool makeStream();  // a fresh stream socket in place of what was open

    static constexpr std::intptr_t closedHandle = -1;
    std::intptr_t handle_ = closedHandle;  // a descriptor, or a Windows SOCKET
};

}  // namespace zek::platform
