#include "link/flow_gate.h"

#include <chrono>

#include "link/link.h"
#include "tape/tape_code.h"

using namespace zek::tape;
using namespace zek::platform;

namespace zek::link {

namespace {

constexpr int readChunkSize = 256;
constexpr int heldWaitMs = -1;  // as long as the platform waits in one read

long nowMs()
{
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void FlowGate::start(const platform::SerialConfig& config)
{
    config_ = config;
    held_ = false;
    driverFlowOn_ = false;
    received_.clear();
}

void FlowGate::hold()
{
    held_ = true;
    if (driverFlowOn_) {
        serialSetOutputFlow(false);
        driverFlowOn_ = false;
    }
}

void FlowGate::resume()
{
    held_ = false;
    serialRestartOutput();
}

void FlowGate::purgeInput()
{
    received_.clear();
    serialPurge(false, true);
}

// Sorts one byte read from the device: the peer's flow codes act on the
// transmitter, every other byte waits in order to be handed out.
void FlowGate::take(unsigned char byte)
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

// The count of bytes read, 0 when none came, -1 when the device failed.
int FlowGate::readFromDevice(int timeoutMs)
{
    unsigned char chunk[readChunkSize];
    int count = serialRead(chunk, readChunkSize, timeoutMs);
    for (int i = 0; i < count; ++i)
        take(chunk[i]);
    return count;
}

int FlowGate::readByte(int timeoutMs)
{
    long deadline = nowMs() + timeoutMs;
    // A time-out of 0 still looks once at what the device holds.
    while (received_.empty()) {
        long remaining = deadline - nowMs();
        if (readFromDevice(int(remaining < 0 ? 0 : remaining)) <= 0)
            return noByte;
    }
    unsigned char byte = received_.front();
    received_.pop_front();
    return byte;
}

// Bytes that came while the driver's flow was off were not sorted by the
// driver: sort them here, so that a DC3 among them still stops the output.
void FlowGate::sortWaitingInput()
{
    int waiting = serialInputWaiting();
    while (waiting > 0 && !held_) {
        int count = readFromDevice(0);
        if (count <= 0)
            return;
        waiting -= count;
    }
}

bool FlowGate::openTransmitter()
{
    while (held_ || (config_.outputXonXoff && !driverFlowOn_)) {
        if (held_) {
            if (readFromDevice(heldWaitMs) < 0)
                return false;
            continue;
        }
        serialSetOutputFlow(true);
        driverFlowOn_ = true;
        sortWaitingInput();
    }
    return true;
}

}  // namespace zek::link
