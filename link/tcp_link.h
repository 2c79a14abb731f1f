// A TCP connection: as the client of a controller's server ("host:port"), or
// as the one-connection server that the controller calls (-s, -S).
#pragma once

#include "link/gathering_link.h"
#include "platform/tcp_socket.h"

namespace zek::link {

class TcpLink : public GatheringLink {
public:
    explicit TcpLink(const LinkConfig& config);

    LinkKind kind() const override { return LinkKind::Tcp; }
    LineState state() override { return peerClosed_ ? LineState::Lost : LineState::Usable; }
    int readByte(int timeoutMs) override;
    int pollByte() override;
    bool write(const unsigned char* bytes, int length) override;
    bool renew() override;
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    const char* lossReport() const override { return "\n CONNECTION CLOSED !!\n"; }
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    bool openClient(const char* host, const char* port);
    bool openServer(const char* port);
    bool acceptOne(platform::TcpSocket& listener);
    bool fillReceived();

    platform::TcpSocket connection_;
    bool peerClosed_ = false;

    // Received and not yet handed out: one receive serves many one-byte reads.
    static constexpr int receiveSize = 4096;
    unsigned char received_[receiveSize] = {};
    int receivedStart_ = 0;
    int receivedEnd_ = 0;
};

}  // namespace zek::link
