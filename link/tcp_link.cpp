#include "link/tcp_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log.h"
#include "platform/clock.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int connectRetryMs = 1000;
constexpr int receiveTimeoutMs = 1000;
constexpr int settleBeforeCloseMs = 1000;  // lets the controller take the last bytes
constexpr int listenBacklog = 5;
constexpr int hostNameSize = 65;     // 64 characters and the end
constexpr int peerAddressSize = 16;  // "255.255.255.255" and the end
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
    const char* name = config_.channelName.c_str();
    if (std::strlen(name) > std::size_t(maxLinkNameLength)) {
        echoLog("%s: HOST:PORT TOO LONG (MAX %d).\n", name, maxLinkNameLength);
        return false;
    }
    const char* colon = std::strchr(name, ':');
    std::string host(name, colon);
    if (config_.server)
        return openServer(colon + 1);
    return openClient(host.c_str(), colon + 1);
}

bool TcpLink::openClient(const char* host, const char* port)
{
    echoLog("SOCKET_OPEN(Client) REMOTE=%s PORT=%s CTRL-C to END\n", host, port);
    int number = portNumber(port);
    uint32_t address = 0;
    if (number == 0 || !resolve(host, ": REMOTE HOST unkown.\n", &address))
        return false;
    while (!connection_.connect(address, number)) {
        reportFailure("zek : connect");
        echoLog("CONNECT(C) ERR.\n");
        sleepMs(connectRetryMs);
    }
    connection_.setReceiveTimeout(receiveTimeoutMs);
    return true;
}

// A connection that the peer dropped before it was taken, or a signal, is
// no reason to stop serving: wait for the next one.
bool TcpLink::acceptOne(TcpSocket& listener)
{
    char peerAddress[peerAddressSize] = "";
    int peerPort = 0;
    IoStatus accepted = IoStatus::Interrupted;
    while (accepted == IoStatus::Interrupted)
        accepted = listener.accept(connection_, peerAddress, peerAddressSize, &peerPort);
    if (!serverStep(accepted == IoStatus::Done, "zek : accept", "ACCEPT(S) ERR.\n"))
        return false;
    echoLog("CONNECTION FROM %s port=%d %s\n", peerAddress, peerPort, timeStamp());
    return true;
}

// The listener serves one connection and is closed once it has taken it.
bool TcpLink::openServer(const char* port)
{
    char hostName[hostNameSize] = "";
    localHostName(hostName, hostNameSize);
    echoLog("SOCKET_OPEN(Server) LOCAL=%s PORT=%s CTRL-C to END\n", hostName, port);
    int number = portNumber(port);
    uint32_t hostAddress = 0;
    if (number == 0 || !resolve(hostName, ": LOCAL_HOST unkown.\n", &hostAddress))
        return false;
    TcpSocket listener;
    bool accepted = serverStep(listener.bind(listenAddress(hostAddress), number), "zek : bind", "BIND(S) ERR.\n") &&
                    serverStep(listener.listen(listenBacklog), "zek : listen", "LISTEN(S) ERR.\n") &&
                    acceptOne(listener);
    if (!accepted)
        return false;
    connection_.setReceiveTimeout(receiveTimeoutMs);
    return true;
}

void TcpLink::release()
{
    releaseGathered();
    receivedStart_ = receivedEnd_ = 0;
    connection_.close();
    peerClosed_ = false;
}

// One receive; a signal is no reason to give up the wait.
bool TcpLink::fillReceived()
{
    IoResult result{0, IoStatus::Interrupted};
    while (!peerClosed_ && result.status == IoStatus::Interrupted)
        result = connection_.receive(received_, receiveSize);
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

// The system may take part of a block, or be interrupted: the rest follows
// until all of it has gone. After the peer's end nothing can be delivered.
bool TcpLink::writeNow(const unsigned char* bytes, int length)
{
    int sent = 0;
    while (sent < length && !peerClosed_) {
        IoResult result = connection_.send(bytes + sent, length - sent);
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

// An idle controller is no noisy line: its connection is kept.
bool TcpLink::renew()
{
    if (!peerClosed_)
        return true;
    return reopen(config_);
}

void TcpLink::close()
{
    flush();
    sleepMs(settleBeforeCloseMs);
    release();
}

}  // namespace zek::link
