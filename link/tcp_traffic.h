// The bytes of one TCP connection, between the socket and the link: one
// receive serves many one-byte reads, a send goes on until all of it has
// gone, and a peer that has gone is not asked again.
//
// On a device server's RFC 2217 connection (--rfc2217) the box's telnet
// commands are taken out of what it sends and answered at once, every 0xFF
// sent is doubled, and zek runs the controller's DC1/DC3 flow itself (see
// SoftwareFlow) at the pace of the box's serial line (see LinePace).
#pragma once

#include <optional>
#include <string>

#include "link/line_pace.h"
#include "link/link.h"
#include "link/software_flow.h"
#include "link/telnet_com_port.h"
#include "platform/tcp_socket.h"

namespace zek::link {

class TcpTraffic {
public:
    explicit TcpTraffic(platform::TcpSocket& connection) : connection_(connection) {}

    void start();  // a fresh connection, plain bytes
    // A fresh connection to a device server: the opening, then its answers,
    // waited for a few seconds at most. false when they did not all come.
    bool startComPort(const LinkConfig& config);
    // The flow of an opening, on a device server's connection. true when
    // the link is to invite the controller with one DC1.
    bool startFlow(const LinkConfig& config);
    void resume() { flow_.resume(); }

    // One byte 0..255, or noByte when none came within a second, the peer
    // has gone or the run is being stopped.
    int readByte();
    int pollByte();  // what has already come, without asking the connection
    // false when the peer has gone or the run is being stopped first.
    bool write(const unsigned char* bytes, int length);

    bool peerClosed() const { return peerClosed_; }

private:
    bool receive(int waitMs);
    void takeData(const std::string& data);
    bool send(const std::string& bytes);
    bool sendAll(const unsigned char* bytes, int length);
    bool awaitRoom();
    void reportWarnings();

    platform::TcpSocket& connection_;
    std::optional<TelnetComPort> telnet_;  // on a device server's RFC 2217 connection
    SoftwareFlow flow_;
    LinePace pace_;
    bool peerClosed_ = false;
    std::string received_;  // data not yet read, from next_ on
    std::size_t next_ = 0;
};

}  // namespace zek::link
