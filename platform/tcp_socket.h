// The TCP connection, one per process, behind one short call per operation.
// Implemented once per platform (tcp_socket_posix.cpp, tcp_socket_win32.cpp).
// A call that fails leaves the reason in errno, for perror-style reports.
#pragma once

#include <cstdint>

namespace zek::platform {

// First IPv4 address of a host name or dotted address, in network order.
bool resolveIPv4(const char* host, uint32_t* address);
bool localHostName(char* name, int size);

bool tcpConnect(uint32_t address, int port);  // a fresh socket per attempt
bool tcpBind(uint32_t address, int port);     // address 0: every interface
bool tcpListen(int backlog);
// Waits for one connection and closes the listener. peerAddress gets the
// dotted form.
bool tcpAccept(char* peerAddress, int size, int* peerPort);
bool tcpSetReceiveTimeout(int milliseconds);
// What has come, at most size bytes: the count, or -1 (time-out, error, or
// the peer closed the connection, which tcpPeerClosed then tells).
int tcpReceive(unsigned char* buffer, int size);
bool tcpPeerClosed();
int tcpSend(const unsigned char* bytes, int length);  // bytes sent, -1 on error
void tcpClose();

}  // namespace zek::platform
