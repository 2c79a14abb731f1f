#include "link/serial_link.h"

#include <utility>

#include "log/log.h"
#include "log/quiet_idle.h"
#include "platform/clock.h"
#include "platform/stop_signal.h"
#include "zek_version.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int deviceRetryMs = 1000;
constexpr int settleBeforeCloseMs = 1000;  // lets the controller take the last bytes

// A device that opens but has hung up brings this line at every try.
void reportDeviceGone(const std::string& portName)
{
    IdleRepeat repeat(IdleLine::DeviceWait);
    echoLog("*** TTY %s GONE, WAITING FOR IT %s ***\n", portName.c_str(), timeStamp());
}

}  // namespace

SerialLink::SerialLink(const LinkConfig& config, std::string portName) : Link(config), portName_(std::move(portName))
{
}

// The sending side follows CTS or the controller's DC1/DC3; the receiving
// side throttles the controller with DC1/DC3.
SerialConfig SerialLink::serialConfig() const
{
    bool softwareFlow = config_.flow != FlowMode::Hardware;
    SerialConfig serial;
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
    echoLogEach("%s %ldbps M=%d %s INIT. CTRL-C to END\n", "%s %ldbps  M=%d %s INIT.\n", versionTag, config_.baudRate,
                int(config_.flow), portName_.c_str());
}

// A sending port waits for the controller's first DC1 (except in flow mode 3);
// a receiving port with software flow invites the controller with one DC1.
void SerialLink::startFlow()
{
    FlowMode flow = config_.flow;
    if (config_.sending && (flow == FlowMode::Dc3 || flow == FlowMode::NcDc3))
        traffic_.hold();
    else if (!config_.sending && flow != FlowMode::Hardware)
        write(&dc1, 1);
}

// A server outlives its device: an adapter pulled and plugged in again comes
// back under the same name (a /dev/serial/by-id path). One line says so; the
// tries that follow are quiet and a second apart, also for a device that
// opens but has hung up. false when the run is stopped first.
bool SerialLink::awaitDevice()
{
    reportDeviceGone(portName_);
    do {
        sleepMs(deviceRetryMs);
        if (stopRequested())
            return false;
    } while (!port_.open(portName_.c_str()));
    return true;
}

bool SerialLink::openDevice(bool afterLoss)
{
    bool mayWait = openedBefore_ && config_.server;
    if (!(afterLoss && mayWait) && port_.open(portName_.c_str()))
        return true;
    if (!mayWait) {
        reportFailure("*** TTY OPEN ERROR  ***");
        return false;
    }
    return awaitDevice();
}

bool SerialLink::open(bool afterLoss)
{
    if (!openDevice(afterLoss))
        return false;
    // An idle Protocol A server opens its port anew at every retry.
    IdleRepeat repeat(IdleLine::PortOpen);
    isOpen_ = true;
    openedBefore_ = true;
    if (!port_.readSettings())
        reportFailure("*** TTY GET COMMSTATE (PDCB) ERROR  ***");
    printOut("TTY OPEN %s %ld bps W %d\n", portName_.c_str(), config_.baudRate, config_.charWaitMs);
    SerialConfig serial = serialConfig();
    port_.configure(serial, reportFailure);
    traffic_.start(serial);
    unsigned lines = 0;
    if (port_.modemStatus(&lines))
        port_.purge(true, true);
    else
        reportFailure("GetCommModemStatus");
    reportInit();
    startFlow();
    return true;
}

void SerialLink::release()
{
    if (isOpen_)
        port_.close();
    isOpen_ = false;
}

LineState SerialLink::state()
{
    if (traffic_.deviceGone())
        return LineState::Lost;
    unsigned lines = 0;
    return port_.modemStatus(&lines) && lines == 0 ? LineState::Down : LineState::Usable;
}

int SerialLink::readByte(int timeoutMs)
{
    return traffic_.readByte(timeoutMs);
}

int SerialLink::pollByte()
{
    return traffic_.readByte(0);
}

bool SerialLink::writeNow(const unsigned char* bytes, int length)
{
    return traffic_.write(bytes, length);
}

// A serial port keeps one write per block: its driver queues the bytes, and
// the punch-out looks at the line between blocks.
bool SerialLink::write(const unsigned char* bytes, int length)
{
    return writePaced(bytes, length);
}

int SerialLink::queueCount()
{
    return traffic_.outputQueue();
}

void SerialLink::purgeInput()
{
    traffic_.purgeInput();
}

void SerialLink::resumeOutput()
{
    traffic_.resume();
}

// A run stopped while the controller holds the flow leaves bytes queued that
// no one wants: they go, so that closing the device does not wait for them.
void SerialLink::close()
{
    if (config_.baudRate != 0)
        sleepMs(settleBeforeCloseMs);
    if (stopRequested() && isOpen_ && !traffic_.deviceGone())
        port_.purge(true, false);
    if (isOpen_ && !traffic_.deviceGone() && !port_.putBack())
        reportFailure("SetCommState");
    traffic_.stopDriverFlow();
    release();
}

}  // namespace zek::link
