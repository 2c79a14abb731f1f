// The serial device, one per process, behind one short call per operation.
// Implemented once per platform (serial_port_posix.cpp, serial_port_win32.cpp);
// the flow gate above them is the same on both. A call that fails leaves the
// reason in errno, for perror-style reports.
#pragma once

namespace zek::platform {

struct SerialConfig {
    long speed = 0;              // bit/s; 0 keeps the device's speed
    bool ctsFlow = false;        // output held while CTS is off
    bool outputXonXoff = false;  // output stops on xoffChar, resumes on xonChar
    bool inputXonXoff = false;   // the driver throttles the peer
    unsigned char xonChar = 0x11;
    unsigned char xoffChar = 0x13;
};

// Opens the device exclusively: "COMn" names a numbered port, anything else
// is the device's own path. false when it cannot be opened or is in use.
bool serialOpen(const char* portName);
bool serialReadSettings();  // keeps them for serialWriteBack
// 8 data bits, no parity, 1 stop bit, raw, the driver's output XON/XOFF off.
// Each system call that fails is reported by its name; the port goes on.
void serialConfigure(const SerialConfig& config);
// The modem lines that are on (CTS, DSR, RING, RLSD as bits); a device without
// modem lines reports them all on.
bool serialModemStatus(unsigned* lines);
void serialPurge(bool output, bool input);
// The driver stops and restarts the output on the peer's XOFF and XON.
void serialSetOutputFlow(bool on);
void serialRestartOutput();  // as if XON had come
// Reads what has come, at most size bytes, waiting up to timeoutMs (-1: a
// while, as the platform can). The count, 0 when none came, -1 when the
// device failed or hung up.
int serialRead(unsigned char* buffer, int size, int timeoutMs);
int serialInputWaiting();  // bytes the driver holds, not yet read
// Writes what the driver takes now: the count, or -1 when the device failed.
int serialWriteSome(const unsigned char* bytes, int length);
int serialOutputQueue();  // bytes not yet transmitted
// Switches output XON/XOFF off, drops RTS and writes the kept settings back.
bool serialWriteBack();
void serialClose();
// true once the device has hung up, failed or gone away since it was opened:
// reads then give no byte at once, writes fail, and nothing is left to drain.
bool serialHungUp();

}  // namespace zek::platform
