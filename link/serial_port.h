// The serial device, one per process, behind one short call per operation.
// Implemented once per platform (serial_port_posix.cpp, serial_port_win32.cpp).
// A call that fails leaves the reason in errno, for perror-style reports.
#pragma once

struct SerialConfig {
    long speed = 0;               // bit/s; 0 keeps the device's speed
    bool ctsFlow = false;         // output held while CTS is off
    bool outputXonXoff = false;   // output stops on xoffChar, resumes on xonChar
    bool inputXonXoff = false;    // the driver throttles the peer
    unsigned char xonChar = 0x11;
    unsigned char xoffChar = 0x13;
};

// Opens the device exclusively: "COMn" names a numbered port, anything else
// is the device's own path. false when it cannot be opened or is in use.
bool serialOpen(const char* portName);
bool serialReadSettings();                              // keeps them for serialWriteBack
bool serialApplySettings(const SerialConfig& config);   // 8 data bits, no parity, 1 stop bit, raw
bool serialSetTimeouts();
bool serialSetQueueSizes(int bytes);
// The modem lines that are on (CTS, DSR, RING, RLSD as bits); a device without
// modem lines reports them all on.
bool serialModemStatus(unsigned* lines);
void serialPurge(bool output, bool input);
void serialHoldOutput();     // held as if DC3 had come, until the peer's DC1
void serialResumeOutput();   // go on as if DC1 had come
// One byte 0..255, or -1 when none came within timeoutMs.
int serialReadByte(int timeoutMs);
// Writes every byte, waiting as long as the peer holds the flow. false on failure.
bool serialWrite(const unsigned char* bytes, int length);
int serialOutputQueue();     // bytes not yet transmitted
// Switches output XON/XOFF off, drops RTS and writes the kept settings back.
bool serialWriteBack();
void serialClose();
bool serialIsOpen();
// true once the device has hung up, failed or gone away since it was opened:
// reads then give no byte at once, writes fail, and nothing is left to drain.
bool serialHungUp();
