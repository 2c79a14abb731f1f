#include "link/serial_traffic.h"

#include "link/link.h"
#include "link/read_deadline.h"
#include "platform/stop_signal.h"

using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int readChunkSize = 256;
// A transmitter held for the controller's first DC1 may wait for hours: it
// reads in waits this long and looks at a stop request between them.
constexpr int heldWaitMs = 1000;

}  // namespace

void SerialTraffic::start(const SerialConfig& config)
{
    config_ = config;
    held_ = false;
    driverFlowOn_ = false;
    gone_ = false;
    received_.clear();
}

void SerialTraffic::hold()
{
    held_ = true;
    if (driverFlowOn_) {
        port_.setOutputFlow(false);
        driverFlowOn_ = false;
    }
}

void SerialTraffic::resume()
{
    held_ = false;
    port_.restartOutput();
}

void SerialTraffic::purgeInput()
{
    received_.clear();
    port_.purge(false, true);
}

// false unless the call was done; once the device has gone it is not asked again.
bool SerialTraffic::succeeded(IoStatus status)
{
    if (status == IoStatus::Gone)
        gone_ = true;
    return status == IoStatus::Done;
}

// Sorts one byte read from the device: the peer's flow codes act on the
// transmitter, every other byte waits in order to be handed out.
void SerialTraffic::take(unsigned char byte)
{
    if (config_.outputXonXoff || held_) {
        if (byte == config_.xonChar) {
            held_ = false;
            return;
        }
        if (byte == config_.xoffChar || (held_ && byte == dc3)) {
            hold();
            return;
        }
    }
    received_.push_back(byte);
}

// The count of bytes read, 0 when none came or a signal came first, -1 when
// the device failed or has gone.
int SerialTraffic::readFromDevice(int timeoutMs)
{
    if (gone_)
        return -1;
    unsigned char chunk[readChunkSize];
    IoResult result = port_.read(chunk, readChunkSize, timeoutMs);
    if (result.status == IoStatus::Interrupted)
        return 0;
    if (!succeeded(result.status))
        return -1;
    for (int i = 0; i < result.count; ++i)
        take(chunk[i]);
    return result.count;
}

int SerialTraffic::readByte(int timeoutMs)
{
    ReadDeadline deadline{std::chrono::milliseconds(timeoutMs)};
    // A time-out of 0 still looks once at what the device holds.
    while (received_.empty()) {
        if (stopRequested())
            return noByte;
        int count = readFromDevice(deadline.remainingMs());
        if (count < 0 || (count == 0 && deadline.passed()))
            return noByte;
    }
    unsigned char byte = received_.front();
    received_.pop_front();
    return byte;
}

// Bytes that came while the driver's flow was off were not sorted by the
// driver: sort them here, so that a DC3 among them still stops the output.
void SerialTraffic::sortWaitingInput()
{
    int waiting = port_.inputWaiting();
    while (waiting > 0 && !held_) {
        int count = readFromDevice(0);
        if (count <= 0)
            return;
        waiting -= count;
    }
}

// Waits while the peer holds the transmitter, then lets the driver carry the
// flow. false when the device fails while waiting, or the run is stopped.
bool SerialTraffic::openTransmitter()
{
    while (held_ || (config_.outputXonXoff && !driverFlowOn_)) {
        if (stopRequested())
            return false;
        if (held_) {
            if (readFromDevice(heldWaitMs) < 0)
                return false;
            continue;
        }
        port_.setOutputFlow(true);
        driverFlowOn_ = true;
        sortWaitingInput();
    }
    return true;
}

bool SerialTraffic::write(const unsigned char* bytes, int length)
{
    int written = 0;
    while (written < length) {
        if (gone_ || stopRequested() || !openTransmitter())
            return false;
        IoResult result = port_.writeSome(bytes + written, length - written);
        if (result.status == IoStatus::Interrupted)
            continue;
        if (!succeeded(result.status))
            return false;
        written += result.count;
    }
    return true;
}

int SerialTraffic::outputQueue()
{
    if (gone_)
        return 0;  // what is still queued will never leave
    IoResult result = port_.outputQueue();
    return succeeded(result.status) ? result.count : 0;
}

}  // namespace zek::link
