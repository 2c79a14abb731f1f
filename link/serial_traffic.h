// The bytes of a serial port, between the device and the link: the software
// flow, and a device that has gone.
//
// While the transmitter runs, the driver stops and restarts writes on the
// peer's XOFF and XON. A held transmitter (the start before the controller's
// first DC1) keeps the driver's flow off and watches for that DC1 here,
// because a driver stop is not released by the peer's DC1 on every system.
// The driver's flow goes on only when a write is due, so a DC1 that comes
// before then is never lost to it. Every other byte waits here, in order,
// for the reader.
//
// A device that hung up or was removed reads as ready and empty for ever:
// once it has said so it is not asked again, and nothing is left to drain.
#pragma once

#include <deque>

#include "platform/serial_port.h"

namespace zek::link {

class SerialTraffic {
public:
    explicit SerialTraffic(platform::SerialPort& port) : port_(port) {}

    void start(const platform::SerialConfig& config);  // a freshly opened and configured port
    void hold();                                       // nothing goes out until the peer's DC1
    void resume();                                     // go on as if DC1 had come

    // One byte 0..255, or noByte when none came within timeoutMs or the run
    // is being stopped.
    int readByte(int timeoutMs);

    // Writes the whole block once the peer lets the transmitter run. false
    // when the device failed or went away, or the run is being stopped.
    bool write(const unsigned char* bytes, int length);
    int outputQueue();  // bytes not yet transmitted

    void purgeInput();
    void stopDriverFlow() { driverFlowOn_ = false; }  // the port's settings are put back

    bool deviceGone() const { return gone_; }

private:
    bool openTransmitter();
    int readFromDevice(int timeoutMs);
    void take(unsigned char byte);
    void sortWaitingInput();
    bool succeeded(platform::IoStatus status);

    platform::SerialPort& port_;
    platform::SerialConfig config_;
    bool held_ = false;
    bool driverFlowOn_ = false;
    bool gone_ = false;
    std::deque<unsigned char> received_;
};

}  // namespace zek::link
