// One serial device, behind one short call per operation. Implemented once
// per system (serial_port_posix.cpp, serial_port_win32.cpp); what the link
// makes of a result (retries, a device that has gone) is decided above. A
// call that fails leaves the reason for lastErrorText().
#pragma once

#include <memory>
#include <string>

#include "platform/io_result.h"

namespace zek::platform {

// How a numbered port is named: "COM1", "COM2", ...
constexpr const char* numberedPortPrefix = "COM";

// The name of the port a channel name stands for: a port number n is "COMn"
// (0 is COM1, as 1 is), anything else is the device's own path. It is the
// name the operator is shown and the name SerialPort::open takes.
std::string serialPortName(const std::string& channelName);

struct SerialConfig {
    long speed = 0;              // bit/s; 0 keeps the device's speed
    bool ctsFlow = false;        // output held while CTS is off
    bool outputXonXoff = false;  // output stops on xoffChar, resumes on xonChar
    bool inputXonXoff = false;   // the driver throttles the peer
    unsigned char xonChar = 0x11;
    unsigned char xoffChar = 0x13;
};

// Told the name of each system call that failed while a port is configured.
using FailedCall = void (*)(const char* call);

class SerialPort {
public:
    SerialPort();
    ~SerialPort();  // closes the device, putting nothing back
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device exclusively, by a name of serialPortName. false when
    // it cannot be opened or is in use.
    bool open(const char* portName);
    void close();

    // Reads the device's settings. Those found at the first opening are the
    // ones putBack restores on POSIX systems.
    bool readSettings();

    // 8 data bits, no parity, 1 stop bit, raw, the driver's output XON/XOFF
    // off. Each system call that fails is told to failed; the port goes on.
    void configure(const SerialConfig& config, FailedCall failed);

    // The modem lines that are on (CTS, DSR, RING, RLSD as bits); a device
    // without modem lines reports them all on. false when the query failed.
    bool modemStatus(unsigned* lines);

    void purge(bool output, bool input);
    void setOutputFlow(bool on);  // the driver stops and restarts on XOFF and XON
    void restartOutput();         // as if XON had come

    // What has come, at most size bytes, waiting up to timeoutMs. Done with
    // count 0 when nothing came.
    IoResult read(unsigned char* buffer, int size, int timeoutMs);
    int inputWaiting();  // bytes the driver holds, not yet read

    // Writes what the driver takes within about a second; Done with count 0
    // while the peer's flow holds the output and the driver has no room.
    IoResult writeSome(const unsigned char* bytes, int length);
    // Bytes not yet transmitted. A device that cannot be asked counts 0 on
    // POSIX systems; Windows reports the failure as its other calls do.
    IoResult outputQueue();

    // The settings at the end of a run. POSIX: the device's settings as they
    // were found, as the serial tools there leave a device. Windows: when the
    // speed was set, the configured settings with output XON/XOFF off and RTS
    // disabled, as the Windows tools do. false when they could not be written.
    bool putBack();

private:
    struct Device;
    std::unique_ptr<Device> device_;
};

}  // namespace zek::platform
