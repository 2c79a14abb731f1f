#include "link/serial_link.h"

#include <cstdio>
#include <utility>

#include "log/log.h"
#include "platform/clock.h"
#include "platform/failure_report.h"
#include "tape/tape_code.h"

using namespace zek::log;
using namespace zek::tape;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int deviceRetryMs = 1000;
constexpr int settleBeforeCloseMs = 1000;  // lets the controller take the last bytes
// The break watch only looks at what has come: a controller in the middle of
// a punch-out sends nothing, and the next block must not wait for it.
constexpr int breakWatchMs = 0;

bool isBreakCode(int byte)
{
    return byte == asciiPercent || byte == isoPercent || byte == eiaPercent || byte == isoSyn;
}

}  // namespace

SerialLink::SerialLink(const LinkConfig& config, std::string portName) : Link(config), portName_(std::move(portName))
{
}

// The sending side follows CTS or the controller's DC1/DC3; the receiving
// side throttles the controller with DC1/DC3.
platform::SerialConfig SerialLink::serialConfig() const
{
    bool softwareFlow = config_.flow != FlowMode::Hardware;
    platform::SerialConfig serial;
    serial.speed = config_.baudRate;
    serial.ctsFlow = config_.sending && !softwareFlow;
    serial.outputXonXoff = config_.sending && softwareFlow;
    serial.inputXonXoff = !config_.sending && softwareFlow;
    serial.xonChar = dc1;
    bool ncStop = config_.flow == FlowMode::NcDc3 || config_.flow == FlowMode::NcNoWait;
    serial.xoffChar = ncStop ? ncDc3 : dc3;
    return serial;
}

void SerialLink::reportInit() const
{
    const char* port = portName_.c_str();
    std::fprintf(stderr, "%s %ldbps M=%d %s INIT. CTRL-C to END\n", versionTag, config_.baudRate, int(config_.flow),
                 port);
    logOnly("%s %ldbps  M=%d %s INIT.\n", versionTag, config_.baudRate, int(config_.flow), port);
}

// A sending port waits for the controller's first DC1 (except in flow mode 3);
// a receiving port with software flow invites the controller with one DC1.
void SerialLink::startFlow()
{
    FlowMode flow = config_.flow;
    if (config_.sending && (flow == FlowMode::Dc3 || flow == FlowMode::NcDc3))
        gate_.hold();
    else if (!config_.sending && flow != FlowMode::Hardware)
        write(&dc1, 1);
}

// A server outlives its device: an adapter pulled and plugged in again comes
// back under the same name (a /dev/serial/by-id path). One line says so; the
// tries that follow are quiet and a second apart, also for a device that
// opens but has hung up.
void SerialLink::awaitDevice()
{
    echoLog("*** TTY %s GONE, WAITING FOR IT %s ***\n", portName_.c_str(), timeStamp());
    do
        sleepMs(deviceRetryMs);
    while (!serialOpen(portName_.c_str()));
}

bool SerialLink::openDevice(bool afterLoss)
{
    bool mayWait = openedBefore_ && config_.server;
    if (!(afterLoss && mayWait) && serialOpen(portName_.c_str()))
        return true;
    if (!mayWait) {
        reportFailure("*** TTY OPEN ERROR  ***");
        return false;
    }
    awaitDevice();
    return true;
}

bool SerialLink::open(bool afterLoss)
{
    if (!openDevice(afterLoss))
        return false;
    isOpen_ = true;
    openedBefore_ = true;
    if (!serialReadSettings())
        reportFailure("*** TTY GET COMMSTATE (PDCB) ERROR  ***");
    std::printf("TTY OPEN %s %ld bps W %d\n", portName_.c_str(), config_.baudRate, config_.charWaitMs);
    std::fflush(stdout);  // a server run ends by Ctrl-C, which would lose a buffered line
    platform::SerialConfig serial = serialConfig();
    serialConfigure(serial);
    gate_.start(serial);
    unsigned lines = 0;
    if (serialModemStatus(&lines))
        serialPurge(true, true);
    else
        reportFailure("GetCommModemStatus");
    reportInit();
    startFlow();
    return true;
}

void SerialLink::release()
{
    if (isOpen_)
        serialClose();
    isOpen_ = false;
}

int SerialLink::readByte(int timeoutMs)
{
    return gate_.readByte(timeoutMs);
}

bool SerialLink::writeNow(const unsigned char* bytes, int length)
{
    int written = 0;
    while (written < length) {
        if (!gate_.openTransmitter())
            return false;
        int count = serialWriteSome(bytes + written, length - written);
        if (count < 0)
            return false;
        written += count;
    }
    return true;
}

// A serial port keeps one write per block: its driver queues the bytes, and
// the break watch looks between blocks.
bool SerialLink::write(const unsigned char* bytes, int length)
{
    return writePaced(bytes, length);
}

int SerialLink::queueCount()
{
    return serialOutputQueue();
}

void SerialLink::purgeInput()
{
    gate_.purgeInput();
}

void SerialLink::resumeOutput()
{
    gate_.resume();
}

// Reading a lost device gives no byte at once and for ever: every waiting
// loop must ask this, or it spins.
bool SerialLink::controllerGone()
{
    return serialHungUp();
}

bool SerialLink::portUsable()
{
    unsigned lines = 0;
    if (serialModemStatus(&lines) && lines == 0) {
        echoLog("\n DSR(DR) not ready !!\n");
        return false;
    }
    if (!config_.sending)
        return true;
    // A time-out or any other byte lets the send go on; that byte is dropped.
    if (!isBreakCode(readByte(breakWatchMs)))
        return true;
    echoLog("BREAK CODE DEFINE \n");
    return false;
}

void SerialLink::close()
{
    if (config_.baudRate != 0) {
        sleepMs(settleBeforeCloseMs);
        if (!serialWriteBack())
            reportFailure("SetCommState");
        gate_.stopDriverFlow();
    }
    release();
}

}  // namespace zek::link
