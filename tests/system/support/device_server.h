// ser2net, Debian's Ethernet device server in software, in front of
// pseudo-terminals: the box a shop puts before a machine's serial port,
// each port listening on a free port of 127.0.0.1.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "common/temp_dir.h"
#include "support/controller.h"

class DeviceServer {
public:
    // One accepter for each terminal: "tcp" (raw) or "telnet(rfc2217),tcp".
    struct Port {
        std::string accepter;
        const PtyPair* pty;
    };

    static bool installed();

    explicit DeviceServer(const std::vector<Port>& ports);
    ~DeviceServer() { stop(); }
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    bool start();  // false when it did not listen on every port within a few seconds
    void stop();   // as a box switched off: its connections and its port close at once
    int port(size_t index) const { return tcpPorts_[index]; }
    std::string channel(size_t index) const { return "-c127.0.0.1:" + std::to_string(port(index)); }

private:
    TempDir dir_;
    std::vector<int> tcpPorts_;
    pid_t pid_ = -1;
};
