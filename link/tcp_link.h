// A TCP connection: as the client of a controller's server ("host:port"), or
// as the server that the controller calls (-s, -S).
#pragma once

#include <string>

#include "link/gathering_link.h"
#include "platform/tcp_socket.h"

namespace zek::link {

class TcpLink : public GatheringLink {
public:
    explicit TcpLink(const LinkConfig& config);

    LinkKind kind() const override { return LinkKind::Tcp; }
    LineState state() override { return peerClosed_ ? LineState::Lost : LineState::Usable; }
    bool answerNewCaller() override;
    int readByte(int timeoutMs) override;
    int pollByte() override;
    bool write(const unsigned char* bytes, int length) override;
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    bool hasLineSettings() const override { return false; }
    const char* lossReport() const override { return "\n CONNECTION CLOSED !!\n"; }
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    bool splitName();
    bool openClient();
    bool connectOnce(uint32_t address, int port);
    bool openServer();
    bool startListening();
    bool awaitCaller();
    void takeConnection();
    bool fillReceived();

    std::string host_;
    std::string port_;
    platform::TcpSocket listener_;  // a server's, open for its whole life
    platform::TcpSocket connection_;
    platform::PeerAddress peer_;
    bool peerClosed_ = false;

    // Received and not yet handed out: one receive serves many one-byte reads.
    static constexpr int receiveSize = 4096;
    unsigned char received_[receiveSize] = {};
    int receivedStart_ = 0;
    int receivedEnd_ = 0;
};

}  // namespace zek::link
