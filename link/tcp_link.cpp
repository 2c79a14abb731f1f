#include "link/tcp_link.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "log/log.h"
#include "platform/clock.h"
#include "platform/stop_signal.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int connectRetryMs = 1000;
// A try that has not connected by then has failed, so that a server that is
// switched off is tried again about once a second, not once in two minutes.
constexpr std::chrono::milliseconds connectWait(3000);
constexpr int receiveTimeoutMs = 1000;
constexpr int sendWaitMs = 1000;    // how long one send waits for room before the stop is looked at
constexpr int acceptWaitMs = 1000;  // likewise for a waiting server
constexpr int connectSliceMs = 200;
constexpr int settleBeforeCloseMs = 1000;  // lets the controller take the last bytes
constexpr int listenBacklog = 5;
constexpr int hostNameSize = 65;  // 64 characters and the end
constexpr unsigned char loopbackNet = 127;
constexpr long highestPort = 65535;

// The port as a decimal number 1..65535, else 0: no port chosen by
// guesswork can be the one the operator meant.
int portNumber(const char* portText)
{
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(portText, &end, 10);
    bool decimal = portText[0] >= '0' && portText[0] <= '9' && *end == '\0' && errno == 0;
    if (decimal && number >= 1 && number <= highestPort)
        return int(number);
    echoLog("%s: PORT NUMBER INVALID.\n", portText);
    return 0;
}

// A host that does not resolve leaves no link to open.
bool resolve(const char* host, const char* unknownReport, uint32_t* address)
{
    if (resolveIPv4(host, address))
        return true;
    echoLog("%s%s", host, unknownReport);
    return false;
}

// Debian maps the host name to a loopback address, where no controller on
// the network could reach the server: listen on every interface instead.
uint32_t listenAddress(uint32_t hostAddress)
{
    const unsigned char* octets = reinterpret_cast<const unsigned char*>(&hostAddress);
    return octets[0] == loopbackNet ? 0 : hostAddress;
}

bool serverStep(bool done, const char* call, const char* message)
{
    if (done)
        return true;
    reportFailure(call);
    echoLog("%s", message);
    return false;
}

}  // namespace

TcpLink::TcpLink(const LinkConfig& config) : GatheringLink(config)
{
}

bool TcpLink::open(bool)
{
    if (const char* startFailure = startSockets())
        printOut("%s", startFailure);
    if (!splitName())
        return false;
    return config_.server ? openServer() : openClient();
}

bool TcpLink::splitName()
{
    const char* name = config_.channelName.c_str();
    if (std::strlen(name) > std::size_t(maxLinkNameLength)) {
        echoLog("%s: HOST:PORT TOO LONG (MAX %d).\n", name, maxLinkNameLength);
        return false;
    }
    const char* colon = std::strchr(name, ':');
    host_.assign(name, colon);
    port_ = colon + 1;
    return true;
}

// One try, cut short by a stop.
bool TcpLink::connectOnce(uint32_t address, int port)
{
    IoStatus status = connection_.startConnect(address, port);
    auto deadline = std::chrono::steady_clock::now() + connectWait;
    while (status == IoStatus::Interrupted && !stopRequested() && std::chrono::steady_clock::now() < deadline)
        status = connection_.awaitConnection(connectSliceMs);
    if (status == IoStatus::Interrupted)
        connection_.abandonConnection();
    return status == IoStatus::Done;
}

bool TcpLink::openClient()
{
    echoLog("SOCKET_OPEN(Client) REMOTE=%s PORT=%s CTRL-C to END\n", host_.c_str(), port_.c_str());
    int number = portNumber(port_.c_str());
    uint32_t address = 0;
    if (number == 0 || !resolve(host_.c_str(), ": REMOTE HOST unkown.\n", &address))
        return false;
    while (!connectOnce(address, number)) {
        if (stopRequested())
            return false;
        reportFailure("zek : connect");
        echoLog("CONNECT(C) ERR.\n");
        sleepMs(connectRetryMs);
    }
    takeConnection();
    return true;
}

// Every connection is probed while idle, so that a controller switched off
// without a word is noticed as a closed connection.
void TcpLink::takeConnection()
{
    if (!connection_.keepAlive())
        reportFailure("zek : keepalive");
    peerClosed_ = false;
    receivedStart_ = receivedEnd_ = 0;
}

bool TcpLink::startListening()
{
    char hostName[hostNameSize] = "";
    localHostName(hostName, hostNameSize);
    echoLog("SOCKET_OPEN(Server) LOCAL=%s PORT=%s CTRL-C to END\n", hostName, port_.c_str());
    int number = portNumber(port_.c_str());
    uint32_t hostAddress = 0;
    if (number == 0 || !resolve(hostName, ": LOCAL_HOST unkown.\n", &hostAddress))
        return false;
    return serverStep(listener_.bind(listenAddress(hostAddress), number), "zek : bind", "BIND(S) ERR.\n") &&
           serverStep(listener_.listen(listenBacklog), "zek : listen", "LISTEN(S) ERR.\n");
}

// A connection that the peer dropped before it was taken, or a signal, is
// no reason to stop serving: wait for the next one.
bool TcpLink::awaitCaller()
{
    IoStatus accepted = IoStatus::Interrupted;
    while (accepted == IoStatus::Interrupted) {
        if (stopRequested())
            return false;
        accepted = listener_.accept(connection_, acceptWaitMs, &peer_);
    }
    if (!serverStep(accepted == IoStatus::Done, "zek : accept", "ACCEPT(S) ERR.\n"))
        return false;
    echoLog("CONNECTION FROM %s port=%d %s\n", peer_.dotted, peer_.port, timeStamp());
    takeConnection();
    return true;
}

// The server listens for its whole life: a controller that calls while
// another connection is served waits in the backlog until it is taken.
bool TcpLink::openServer()
{
    if (listener_.isOpen()) {
        char hostName[hostNameSize] = "";
        localHostName(hostName, hostNameSize);
        echoLog("SOCKET_OPEN(Server) LOCAL=%s PORT=%s CTRL-C to END\n", hostName, port_.c_str());
    } else if (!startListening()) {
        return false;
    }
    return awaitCaller();
}

bool TcpLink::answerNewCaller()
{
    if (!config_.server || !listener_.isOpen())
        return false;
    flush();  // the last answer still belongs to the current connection
    PeerAddress replaced = peer_;
    if (listener_.accept(connection_, 0, &peer_) != IoStatus::Done)
        return false;
    gathered_.reset();
    echoLog("OLD CONNECTION %s port=%d CLOSED %s\n", replaced.dotted, replaced.port, timeStamp());
    echoLog("CONNECTION FROM %s port=%d %s\n", peer_.dotted, peer_.port, timeStamp());
    takeConnection();
    return true;
}

void TcpLink::release()
{
    releaseGathered();
    receivedStart_ = receivedEnd_ = 0;
    connection_.close();
    peerClosed_ = false;
}

// One receive, which a stop cuts short.
bool TcpLink::fillReceived()
{
    if (peerClosed_ || stopRequested())
        return false;
    IoResult result = connection_.receive(received_, receiveSize, receiveTimeoutMs);
    if (result.status == IoStatus::Gone)
        peerClosed_ = true;
    if (result.count <= 0)
        return false;
    receivedStart_ = 0;
    receivedEnd_ = result.count;
    return true;
}

int TcpLink::readByte(int)
{
    flush();
    if (receivedStart_ == receivedEnd_ && !fillReceived())
        return noByte;
    return received_[receivedStart_++];
}

// What a receive has already brought in; the connection is not asked.
int TcpLink::pollByte()
{
    return receivedStart_ == receivedEnd_ ? noByte : received_[receivedStart_++];
}

// The system may take part of a block, or nothing while the controller
// reads nothing: the rest follows until all of it has gone. After the peer's
// end nothing can be delivered, and a stop ends the wait.
bool TcpLink::writeNow(const unsigned char* bytes, int length)
{
    int sent = 0;
    while (sent < length && !peerClosed_) {
        if (stopRequested())
            return false;
        IoResult result = connection_.send(bytes + sent, length - sent, sendWaitMs);
        if (result.status == IoStatus::Gone)
            peerClosed_ = true;
        else if (result.status == IoStatus::Failed)
            return false;
        sent += result.count;
    }
    return sent == length;
}

// The -w/-W waits do not apply: the network paces the connection.
bool TcpLink::write(const unsigned char* bytes, int length)
{
    return gathered_.gather(bytes, length);
}

void TcpLink::close()
{
    flush();
    sleepMs(settleBeforeCloseMs);
    release();
    listener_.close();
}

}  // namespace zek::link
