#include "link/tcp_traffic.h"

#include <algorithm>

#include "link/read_deadline.h"
#include "log/log.h"
#include "platform/stop_signal.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int receiveSize = 4096;
constexpr std::chrono::milliseconds receiveTimeout(1000);
constexpr int sendWaitMs = 1000;  // how long one send waits for room before the stop is looked at
constexpr int heldWaitMs = 1000;  // likewise for output the controller holds
// ser2net answers at once; a box that does not answer within this is
// served with the settings it has (pyserial waits 3 s, picocom 5 s).
constexpr std::chrono::milliseconds answerWait(3000);

}  // namespace

void TcpTraffic::start()
{
    telnet_.reset();
    flow_ = SoftwareFlow();
    peerClosed_ = false;
    received_.clear();
    next_ = 0;
}

bool TcpTraffic::startComPort(const LinkConfig& config)
{
    start();
    // The box holds its output on CTS only where a serial port would: a
    // sending link without software flow.
    bool ctsFlow = config.sending && config.flow == FlowMode::Hardware;
    telnet_.emplace(ComPortRequest{config.baudRate, ctsFlow});
    send(telnet_->opening());
    ReadDeadline deadline(answerWait);
    while (!telnet_->settingsAnswered() && !deadline.passed() && !peerClosed_ && !stopRequested())
        receive(deadline.remainingMs());
    telnet_->openingOver();
    return telnet_->settingsAnswered();
}

bool TcpTraffic::startFlow(const LinkConfig& config)
{
    if (!telnet_)
        return false;
    bool invite = flow_.start(config);
    pace_.start(flow_.watching() ? config.baudRate : 0);
    return invite;
}

void TcpTraffic::reportWarnings()
{
    for (const std::string& warning : telnet_->takeWarnings())
        echoLog("%s\n", warning.c_str());
}

// Data for the reader; on a device server's line the flow codes act on the output instead.
void TcpTraffic::takeData(const std::string& data)
{
    received_.erase(0, next_);
    next_ = 0;
    for (char byte : data)
        if (!telnet_ || flow_.passes(static_cast<unsigned char>(byte)))
            received_ += byte;
}

// One receive, which a stop cuts short. false when nothing came.
bool TcpTraffic::receive(int waitMs)
{
    if (peerClosed_ || stopRequested())
        return false;
    unsigned char bytes[receiveSize];
    IoResult result = connection_.receive(bytes, receiveSize, waitMs);
    if (result.status == IoStatus::Gone)
        peerClosed_ = true;
    if (result.count <= 0)
        return false;
    if (!telnet_) {
        takeData(std::string(reinterpret_cast<const char*>(bytes), std::size_t(result.count)));
        return true;
    }
    std::string data;
    std::string replies;
    telnet_->take(bytes, std::size_t(result.count), data, replies);
    send(replies);
    reportWarnings();
    takeData(data);
    return true;
}

int TcpTraffic::pollByte()
{
    if (next_ == received_.size())
        return noByte;
    return static_cast<unsigned char>(received_[next_++]);
}

// A receive of telnet commands alone is no byte: the wait goes on.
int TcpTraffic::readByte()
{
    ReadDeadline deadline(receiveTimeout);
    while (next_ == received_.size()) {
        if (!receive(deadline.remainingMs()) && (deadline.passed() || peerClosed_ || stopRequested()))
            return noByte;
    }
    return pollByte();
}

bool TcpTraffic::send(const std::string& bytes)
{
    return sendAll(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
}

// The system may take part of a block, or nothing while the controller
// reads nothing: the rest follows until all of it has gone. After the peer's
// end nothing can be delivered, and a stop ends the wait.
bool TcpTraffic::sendAll(const unsigned char* bytes, int length)
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

// Waits until the controller lets the output run and the line has room.
// What comes meanwhile is taken, so that its DC1 and DC3 act; a DC3 that
// has already come stops the next piece. false when the peer has gone or
// the run is being stopped.
bool TcpTraffic::awaitRoom()
{
    receive(0);
    while (flow_.held() || pace_.room() == 0) {
        if (peerClosed_ || stopRequested())
            return false;
        receive(flow_.held() ? heldWaitMs : pace_.waitMs());
    }
    return !peerClosed_;
}

bool TcpTraffic::write(const unsigned char* bytes, int length)
{
    if (!telnet_)
        return sendAll(bytes, length);
    int sent = 0;
    while (sent < length) {
        if (!awaitRoom())
            return false;
        int piece = std::min(length - sent, pace_.room());
        std::string escaped;
        TelnetComPort::escape(bytes + sent, std::size_t(piece), escaped);
        if (!send(escaped))
            return false;
        pace_.sent(piece);
        sent += piece;
    }
    return true;
}

}  // namespace zek::link
