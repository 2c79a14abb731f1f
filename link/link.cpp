#include "link/link.h"

#include <cstring>

#include "link/file_link.h"
#include "link/serial_link.h"
#include "link/tcp_link.h"
#include "log/log.h"
#include "log/quiet_idle.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/stop_signal.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr long lineSpeeds[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int drainPollMs = 1;

bool isLineSpeed(long speed)
{
    for (long known : lineSpeeds)
        if (speed == known)
            return true;
    return false;
}

// Replaces a speed index by its speed. false on a speed no port takes.
bool settleLineSpeed(LinkConfig& config)
{
    long& speed = config.baudRate;
    const long indexCount = sizeof lineSpeeds / sizeof lineSpeeds[0];
    if (speed >= 1 && speed <= indexCount)
        speed = lineSpeeds[speed - 1];
    if (speed == 0 || isLineSpeed(speed))
        return true;
    echoLog(" %ldbps CAN NOT SET SPEED.\n", speed);
    return false;
}

std::unique_ptr<Link> makeLink(const LinkConfig& config)
{
    switch (linkKindOf(config.channelName)) {
    case LinkKind::OutputFile:
        return std::make_unique<FileLink>(config);
    case LinkKind::Tcp:
        return std::make_unique<TcpLink>(config);
    case LinkKind::SerialPort:
        break;
    }
    return std::make_unique<SerialLink>(config, serialPortName(config.channelName));
}

}  // namespace

LinkKind linkKindOf(const std::string& channelName)
{
    const char* name = channelName.c_str();
    if (std::strchr(name, '\\'))
        return LinkKind::OutputFile;
    if (name[0] != '/' && std::strchr(name, ':'))
        return LinkKind::Tcp;
    return LinkKind::SerialPort;
}

std::unique_ptr<Link> openLink(const LinkConfig& config)
{
    LinkConfig settled = config;
    if (!settleLineSpeed(settled))
        return nullptr;
    std::unique_ptr<Link> link = makeLink(settled);
    if (!link->open(false))
        return nullptr;
    return link;
}

bool Link::reopen(const LinkConfig& config)
{
    LinkConfig settled = config;
    if (stopRequested() || !settleLineSpeed(settled))
        return false;
    bool afterLoss = state() == LineState::Lost;
    if (!hasLineSettings() && !afterLoss) {
        config_ = settled;
        keepConnection();
        return true;
    }
    release();
    lossReported_ = false;
    config_ = settled;
    return open(afterLoss);
}

// A controller may hold the flow for minutes: poll gently so the PC stays
// usable. What is queued for a line that has gone never leaves.
void Link::drain()
{
    flush();
    while (queueCount() > 0 && !stopRequested() && state() != LineState::Lost)
        sleepMs(drainPollMs);
}

bool Link::lineGone()
{
    if (stopRequested())
        return true;
    if (state() != LineState::Lost)
        return false;
    if (!lossReported_) {
        IdleRepeat repeat(IdleLine::LineLost);
        echoLog("%s", lossReport());
    }
    lossReported_ = true;
    return true;
}

bool Link::writePaced(const unsigned char* bytes, int length)
{
    if (config_.charWait && !config_.charWaitAfterBlock) {
        for (int i = 0; i < length; ++i) {
            if (!writeNow(bytes + i, 1))
                return false;
            drain();
            sleepMs(config_.charWaitMs);
        }
        return true;
    }
    if (!writeNow(bytes, length))
        return false;
    if (config_.charWaitAfterBlock) {
        drain();
        sleepMs(config_.charWaitMs);
    }
    return true;
}

bool checkLine(Link& link)
{
    if (stopRequested())
        return false;
    switch (link.state()) {
    case LineState::Usable:
        return true;
    case LineState::Down:
        echoLog("\n DSR(DR) not ready !!\n");
        return false;
    case LineState::Lost:
        link.lineGone();
        return false;
    }
    return false;
}

}  // namespace zek::link
