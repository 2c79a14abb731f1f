// The software flow of a serial port, between the device and its reader.
//
// While the transmitter runs, the driver stops and restarts writes on the
// peer's XOFF and XON. A held transmitter (the start before the controller's
// first DC1) keeps the driver's flow off and watches for that DC1 here,
// because a driver stop is not released by the peer's DC1 on every system.
// The driver's flow goes on only when a write is due, so a DC1 that comes
// before then is never lost to it. Every other byte waits here, in order,
// for the reader.
#pragma once

#include <deque>

#include "platform/serial_port.h"

namespace zek::link {

class FlowGate {
public:
    void start(const platform::SerialConfig& config);  // a freshly configured port
    void hold();                                       // nothing goes out until the peer's DC1
    void resume();                                     // go on as if DC1 had come

    // One byte 0..255, or noByte when none came within timeoutMs.
    int readByte(int timeoutMs);

    // Waits while the peer holds the transmitter, then lets the driver carry
    // the flow. false when the device fails while waiting.
    bool openTransmitter();

    void purgeInput();
    void stopDriverFlow() { driverFlowOn_ = false; }  // the port's settings are put back

private:
    int readFromDevice(int timeoutMs);
    void take(unsigned char byte);
    void sortWaitingInput();

    platform::SerialConfig config_;
    bool held_ = false;
    bool driverFlowOn_ = false;
    std::deque<unsigned char> received_;
};

}  // namespace zek::link
