// A TCP connection: as the client of a controller's server ("host:port"), or
// as the server that the controller calls (-s, -S), or as a server that
// calls a device server in front of the controller (--connect); to a device
// server it may speak RFC 2217 (--rfc2217, see TcpTraffic).
#pragma once

#include <cstdint>
#include <string>

#include "link/gathering_link.h"
#include "link/tcp_traffic.h"
#include "platform/tcp_socket.h"

namespace zek::link {

class TcpLink : public GatheringLink {
public:
    explicit TcpLink(const LinkConfig& config);

    LinkKind kind() const override { return LinkKind::Tcp; }
    LineState state() override { return traffic_.peerClosed() ? LineState::Lost : LineState::Usable; }
    bool answerNewCaller() override;
    int readByte(int timeoutMs) override;
    int pollByte() override;
    bool write(const unsigned char* bytes, int length) override;
    void resumeOutput() override { traffic_.resume(); }
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    bool hasLineSettings() const override { return false; }
    void keepConnection() override { startFlow(); }
    const char* lossReport() const override { return "\n CONNECTION CLOSED !!\n"; }
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    enum class FailedTries { SayEach, SayFirst, Quiet };

    bool splitName();
    bool findRemote();
    bool openClient();
    bool connectOnce();
    bool connectUntilDone(FailedTries say);
    bool openConnectingServer(bool afterLoss);
    bool openServer();
    bool startListening();
    bool awaitCaller();
    bool admitted(const platform::PeerAddress& caller) const;
    void takeConnection();
    void reportComPort() const;
    void startFlow();

    std::string host_;
    std::string port_;
    uint32_t remoteAddress_ = 0;  // a client's or a connecting server's, resolved once
    int remotePort_ = 0;
    platform::TcpSocket listener_;  // a listening server's, open for its whole life
    platform::TcpSocket connection_;
    platform::PeerAddress peer_;
    TcpTraffic traffic_{connection_};
};

}  // namespace zek::link
