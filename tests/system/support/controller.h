// The test plays the controller: the far end of a pseudo-terminal or of a
// TCP connection on 127.0.0.1. Every read has a time-out.
#pragma once

#include <chrono>
#include <string>

// A pseudo-terminal pair: zek opens slavePath(), the test uses the master.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }
    int slaveFd() const { return slave_; }  // kept open so the pair survives zek's close
    // Closes both ends, as a pulled adapter: zek's side then reads as hung up
    // and the device node is gone.
    void hangUp();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// What is left of the time until deadline, 0 once it has passed.
int millisecondsLeft(std::chrono::steady_clock::time_point deadline);
int millisecondsSince(std::chrono::steady_clock::time_point start);

// Bytes from fd until count have come or timeoutMs has passed.
std::string readBytes(int fd, size_t count, int timeoutMs);
// Bytes from fd until nothing more comes for quietMs (or timeoutMs in all).
std::string readUntilQuiet(int fd, int quietMs, int timeoutMs);
bool writeAll(int fd, const std::string& bytes);

// A listening socket on 127.0.0.1, at a free port unless one is named, for
// zek as a client.
class TcpListener {
public:
    // receiveBuffer > 0: a small window that keeps the peer's sends waiting.
    explicit TcpListener(int port = 0, int receiveBuffer = 0);
    ~TcpListener();
    int port() const { return port_; }
    int accept(int timeoutMs);  // connected fd, or -1
private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on right now.
int freeTcpPort();
// Connects to 127.0.0.1:port, from another loopback address if one is
// named, retrying until timeoutMs; fd or -1.
int connectTcp(int port, int timeoutMs, const char* from = nullptr);
void closeFd(int fd);

// True when the kernel probes zek's end of the test's connection fd while it
// is idle (TCP keep-alive), as /proc/net/tcp shows its timer.
bool peerProbesWhenIdle(int fd);

// The -c option that makes zek open this pseudo-terminal as its serial port.
std::string serialChannelOption(const PtyPair& pty);
