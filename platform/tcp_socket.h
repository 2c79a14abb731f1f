// A TCP socket, behind one short call per operation. Implemented once per
// system (tcp_socket_posix.cpp, tcp_socket_win32.cpp); what the link makes of
// a result (retries, short sends, a peer that has gone) is decided above. A
// call that fails leaves the reason for lastErrorText().
//
// The socket never blocks: every call that may wait is told for how long, so
// that the run looks at a stop request at least that often.
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

// The dotted form of an address in network order, and its port.
struct PeerAddress {
    char dotted[16] = "";  // "255.255.255.255" and the end
    uint32_t address = 0;  // network order
    int port = 0;
};

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket() { close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    // Takes the other's handle in place of its own, which it closes.
    TcpSocket& operator=(TcpSocket&& other)
    {
        close();
        handle_ = other.handle_;
        other.handle_ = closedHandle;
        return *this;
    }

    // Starts a connection on a fresh socket: Done when it stands at once,
    // Interrupted while it is on its way (see awaitConnection), Failed.
    IoStatus startConnect(uint32_t address, int port);
    // Waits up to waitMs for the connection started: Done once it stands,
    // Interrupted while it is still on its way, Failed when it was refused or
    // could not be made (the socket is then closed).
    IoStatus awaitConnection(int waitMs);
    // Closes a connection still on its way; its failure is then a time-out.
    void abandonConnection();

    bool bind(uint32_t address, int port);  // address 0: every interface
    bool listen(int backlog);
    // Waits up to waitMs for a caller and takes it into connection. Interrupted
    // when none came in time, a signal came, or the caller left before it was taken.
    IoStatus accept(TcpSocket& connection, int waitMs, PeerAddress* peer);

    // Probes a connection that has been idle for a minute, so that a peer that
    // vanished without a word (switched off, its cable pulled) shows as Gone
    // within about two minutes.
    bool keepAlive();

    // What has come within waitMs, at most size bytes: Done with count 0 when
    // nothing came in time. Gone when the peer closed or reset the connection,
    // or stopped answering the probes.
    IoResult receive(unsigned char* buffer, int size, int waitMs);
    // Sends what the system takes within waitMs (count 0 when it took nothing);
    // Gone when the peer has gone.
    IoResult send(const unsigned char* bytes, int length, int waitMs);

    bool isOpen() const { return handle_ != closedHandle; }
    void close();

private:
    bool makeStream();  // a fresh non-blocking stream socket in place of what was open
    // Done when the socket is ready to read (or write) within waitMs,
    // Interrupted when it is not or a signal came, Failed.
    IoStatus awaitReady(bool forWriting, int waitMs);

    static constexpr std::intptr_t closedHandle = -1;
    std::intptr_t handle_ = closedHandle;  // a descriptor, or a Windows SOCKET
};

}  // namespace zek::platform
