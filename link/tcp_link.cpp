#include "link/tcp_link.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

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
constexpr int acceptWaitMs = 1000;  // how long a waiting server waits before the stop is looked at
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

bool TcpLink::open(bool afterLoss)
{
    if (const char* startFailure = startSockets())
        printOut("%s", startFailure);
    if (!splitName())
        return false;
    if (!config_.server)
        return openClient();
    return config_.connectOut ? openConnectingServer(afterLoss) : openServer();
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

// The host and port to connect to. false, said, when there are none.
bool TcpLink::findRemote()
{
    remotePort_ = portNumber(port_.c_str());
    return remotePort_ != 0 && resolve(host_.c_str(), ": REMOTE HOST unkown.\n", &remoteAddress_);
}

// One try, cut short by a stop.
bool TcpLink::connectOnce()
{
    IoStatus status = connection_.startConnect(remoteAddress_, remotePort_);
    auto deadline = std::chrono::steady_clock::now() + connectWait;
    while (status == IoStatus::Interrupted && !stopRequested() && std::chrono::steady_clock::now() < deadline)
        status = connection_.awaitConnection(connectSliceMs);
    if (status == IoStatus::Interrupted)
        connection_.abandonConnection();
    return status == IoStatus::Done;
}

// Tries about once a second until the connection stands. false when the
// run is stopped first.
bool TcpLink::connectUntilDone(FailedTries say)
{
    while (!connectOnce()) {
        if (stopRequested())
            return false;
        if (say != FailedTries::Quiet) {
            reportFailure("zek : connect");
            echoLog("CONNECT(C) ERR.\n");
        }
        if (say == FailedTries::SayFirst)
            say = FailedTries::Quiet;
        sleepMs(connectRetryMs);
    }
    return true;
}

bool TcpLink::openClient()
{
    echoLog("SOCKET_OPEN(Client) REMOTE=%s PORT=%s CTRL-C to END\n", host_.c_str(), port_.c_str());
    if (!findRemote() || !connectUntilDone(FailedTries::SayEach))
        return false;
    takeConnection();
    return true;
}

// A server in front of which a device server listens: it connects, and
// never needs a restart after the box was switched off and on. Started, it
// says its first failed try as the client does; after the connection was
// lost (said as a closed connection) it waits a moment, as for any failed
// try, so that a box on its way down is not caught once more, then tries
// quietly until the box is back. One line says when the connection stands.
bool TcpLink::openConnectingServer(bool afterLoss)
{
    if (afterLoss) {
        sleepMs(connectRetryMs);
    } else {
        echoLog("SOCKET_OPEN(Server) REMOTE=%s PORT=%s CTRL-C to END\n", host_.c_str(), port_.c_str());
        if (!findRemote())
            return false;
    }
    if (!connectUntilDone(afterLoss ? FailedTries::Quiet : FailedTries::SayFirst))
        return false;
    echoLog("CONNECTION TO %s port=%d %s\n", host_.c_str(), remotePort_, timeStamp());
    takeConnection();
    return true;
}

// Every connection is probed while idle, so that a controller switched off
// without a word is noticed as a closed connection.
void TcpLink::takeConnection()
{
    if (!connection_.keepAlive())
        reportFailure("zek : keepalive");
    if (!config_.comPort) {
        traffic_.start();
        return;
    }
    reportComPort();
    if (!traffic_.startComPort(config_))
        echoLog("RFC2217 NO ANSWER FROM THE DEVICE SERVER %s\n", timeStamp());
    startFlow();
}

// What zek asks of the device server's port; the line before names the
// connection.
void TcpLink::reportComPort() const
{
    std::string speed = config_.baudRate == 0 ? "SPEED KEPT" : std::to_string(config_.baudRate) + "bps";
    echoLog("RFC2217 %s M=%d %s\n", speed.c_str(), int(config_.flow), timeStamp());
}

// On a device server's line zek runs the DC1/DC3 flow itself.
void TcpLink::startFlow()
{
    if (traffic_.startFlow(config_))
        write(&dc1, 1);
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

// A caller the allow list does not name is closed at once, unanswered.
bool TcpLink::admitted(const PeerAddress& caller) const
{
    if (config_.allowed.admits(caller.address))
        return true;
    echoLog("CONNECTION REFUSED %s port=%d %s\n", caller.dotted, caller.port, timeStamp());
    return false;
}

// A connection that the peer dropped before it was taken, a caller refused,
// or a signal, is no reason to stop serving: wait for the next one.
bool TcpLink::awaitCaller()
{
    IoStatus accepted = IoStatus::Interrupted;
    while (accepted == IoStatus::Interrupted) {
        if (stopRequested())
            return false;
        accepted = listener_.accept(connection_, acceptWaitMs, &peer_);
        if (accepted == IoStatus::Done && !admitted(peer_)) {
            connection_.close();
            accepted = IoStatus::Interrupted;
        }
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
    TcpSocket caller;
    PeerAddress callerAddress;
    if (listener_.accept(caller, 0, &callerAddress) != IoStatus::Done || !admitted(callerAddress))
        return false;
    gathered_.reset();
    echoLog("OLD CONNECTION %s port=%d CLOSED %s\n", peer_.dotted, peer_.port, timeStamp());
    connection_ = std::move(caller);
    peer_ = callerAddress;
    echoLog("CONNECTION FROM %s port=%d %s\n", peer_.dotted, peer_.port, timeStamp());
    takeConnection();
    return true;
}

void TcpLink::release()
{
    // A connecting server says once that the box has gone, whichever of
    // its parts found the connection dead, before it connects again.
    if (config_.connectOut)
        lineGone();
    releaseGathered();
    connection_.close();
    traffic_.start();
}

int TcpLink::readByte(int)
{
    flush();
    return traffic_.readByte();
}

int TcpLink::pollByte()
{
    return traffic_.pollByte();
}

bool TcpLink::writeNow(const unsigned char* bytes, int length)
{
    return traffic_.write(bytes, length);
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
