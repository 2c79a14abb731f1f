// The controller's side of a Protocol A run on 127.0.0.1: zek as a client
// connects to the test's listener, zek as a server is connected to.
#pragma once

#include "system_test.h"

class ProtocolAController : public testing::Test {
protected:
    void TearDown() override
    {
        zek.reset();
        closeFd(fd);
    }
    void startClient(std::vector<std::string> args)
    {
        zek.reset();
        args.insert(args.begin(), "-c127.0.0.1:" + std::to_string(listener.port()));
        zek = std::make_unique<ZekProcess>(args, dir.path());
        useConnection(listener.accept(10000));
    }
    void startServer(const std::vector<std::string>& extra = {})
    {
        zek.reset();
        std::vector<std::string> args = {"-S", "-c127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        zek = std::make_unique<ZekProcess>(args, dir.path());
        reconnect();
    }
    void reconnect()
    {
        closeFd(fd);
        fd = -1;
        useConnection(connectTcp(port, 10000));
    }
    // The controller's end of the new connection; the one before is closed.
    void useConnection(int connected)
    {
        closeFd(fd);
        fd = connected;
        ASSERT_GE(fd, 0);
        peer = RecordPeer(fd);
    }
    PeerRecord ask(const std::string& letters, const std::string& payload = "")
    {
        peer.send(letters, payload);
        return peer.read();
    }
    // The payloads of the DATs that answer a request, each asked for by GTD;
    // *end is the record that ended them.
    std::vector<std::string> collectBlocks(PeerRecord* end)
    {
        std::vector<std::string> blocks;
        for (*end = peer.read(); end->letters == "DAT"; *end = ask("GTD")) {
            EXPECT_TRUE(end->checksumGood) << end->raw;
            blocks.push_back(end->payload);
        }
        return blocks;
    }
    std::string err() { return zek->result().err; }
    TempDir dir;
    TcpListener listener;
    int port = freeTcpPort();
    std::unique_ptr<ZekProcess> zek;
    int fd = -1;
    RecordPeer peer{-1};
};
