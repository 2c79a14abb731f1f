// Opening the TCP link, as the client of a controller's server or as the
// one-connection server that the controller calls.
#include "link/link_open.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/clock.h"
#include "link/failure_report.h"
#include "link/tcp_socket.h"

static constexpr int connectRetryMs = 1000;
static constexpr int receiveTimeoutMs = 1000;
static constexpr int listenBacklog = 5;
static constexpr int hostNameSize = 65;      // 64 characters and the end
static constexpr int peerAddressSize = 16;   // "255.255.255.255" and the end
static constexpr unsigned char loopbackNet = 127;
static constexpr long highestPort = 65535;

struct LibraryStartError {
    int code;
    const char* text;
};

static const LibraryStartError libraryStartErrors[] = {
    {10091, "WSASYSNOTREADY\n"}, {10092, "WSAVERNOTSUPPORTED\n"}, {10036, "WSAEINPROGRESS\n"},
    {10067, "WSAEPROCLIM\n"},    {10014, "WSAEFAULT\n"},
};

// A library that does not start is named, and the run tries the link anyway.
static void startSocketLibrary()
{
    int code = socketLibraryStart();
    for (const LibraryStartError& error : libraryStartErrors) {
        if (error.code == code)
            std::fputs(error.text, stdout);
    }
    std::fflush(stdout);   // a server run ends by Ctrl-C, which would lose a buffered line
}

// The port as a decimal number 1..65535; any other text ends the run, since
// no port chosen by guesswork can be the one the operator meant.
static int portNumberOrExit(const char* portText)
{
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(portText, &end, 10);
    bool decimal = portText[0] >= '0' && portText[0] <= '9' && *end == '\0' && errno == 0;
    if (decimal && number >= 1 && number <= highestPort)
        return int(number);
    echoLog("%s: PORT NUMBER INVALID.\n", portText);
    std::exit(1);
}

static void startConnection()
{
    tcpSetReceiveTimeout(receiveTimeoutMs);
    runSettings.isSocket = 1;
}

// A host that does not resolve leaves no link to open: the run ends.
static uint32_t resolvedOrExit(const char* host, const char* unknownReport)
{
    uint32_t address = 0;
    if (resolveIPv4(host, &address))
        return address;
    echoLog("%s%s", host, unknownReport);
    std::exit(1);
}

int openTcpClient(const char* host, const char* port)
{
    startSocketLibrary();
    echoLog("SOCKET_OPEN(Client) REMOTE=%s PORT=%s CTRL-C to END\n", host, port);
    int portNumber = portNumberOrExit(port);
    uint32_t address = resolvedOrExit(host, ": REMOTE HOST unkown.\n");
    while (!tcpConnect(address, portNumber)) {
        reportFailure("zek : connect");
        echoLog("CONNECT(C) ERR.\n");
        sleepMs(connectRetryMs);
    }
    startConnection();
    return 0;
}

// Debian maps the host name to a loopback address, where no controller on
// the network could reach the server: listen on every interface instead.
static uint32_t listenAddress(uint32_t hostAddress)
{
    const unsigned char* octets = reinterpret_cast<const unsigned char*>(&hostAddress);
    return octets[0] == loopbackNet ? 0 : hostAddress;
}

static void failServerStep(const char* call, const char* message)
{
    reportFailure(call);
    echoLog("%s", message);
    std::exit(1);
}

int openTcpServer(const char* port)
{
    startSocketLibrary();
    char hostName[hostNameSize] = "";
    localHostName(hostName, hostNameSize);
    echoLog("SOCKET_OPEN(Server) LOCAL=%s PORT=%s CTRL-C to END\n", hostName, port);
    int portNumber = portNumberOrExit(port);
    uint32_t hostAddress = resolvedOrExit(hostName, ": LOCAL_HOST unkown.\n");
    if (!tcpBind(listenAddress(hostAddress), portNumber))
        failServerStep("zek : bind", "BIND(S) ERR.\n");
    if (!tcpListen(listenBacklog))
        failServerStep("zek : listen", "LISTEN(S) ERR.\n");
    char peerAddress[peerAddressSize] = "";
    int peerPort = 0;
    if (!tcpAccept(peerAddress, peerAddressSize, &peerPort))
        failServerStep("zek : accept", "ACCEPT(S) ERR.\n");
    echoLog("CONNECTION FROM %s port=%d %s\n", peerAddress, peerPort, timeStamp());
    startConnection();
    return 0;
}
