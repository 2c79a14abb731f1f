// TCP on 127.0.0.1 only: the bench never reaches beyond this machine.
#pragma once

#include <cstddef>
#include <string>

#include "child_process.h"

// A listening socket on 127.0.0.1 at a port the system picks; -1 on failure.
int listenLoopback(int* port);
// A port on 127.0.0.1 that nothing listens on right now.
int freeLoopbackPort();
// The connected socket, or -1 after timeoutMs.
int acceptWithin(int listenFd, int timeoutMs);
// Connects to 127.0.0.1:port, retrying until timeoutMs; -1 then.
int connectLoopback(int port, int timeoutMs);
bool sendAll(int fd, const char* bytes, std::size_t length);
void closeSocket(int fd);

struct StreamReceived {
    std::size_t bytes = 0;
    Clock::time_point lastByte;
    bool closed = false;  // false: timeoutMs passed first
};

// Reads until the peer closes or timeoutMs passes; keep (may be null)
// gets the bytes.
StreamReceived receiveUntilClosed(int fd, int timeoutMs, std::string* keep);
