// The serial port on Windows: one COM device handle and the device control
// block configured at open, which serialWriteBack writes again at the end.
//
// The driver carries output XON/XOFF while the transmitter runs. A held
// transmitter (the start before the controller's first DC1) switches fOutX
// off and watches for that DC1 here instead of using SETXOFF: under Wine
// SETXOFF becomes a stop that the peer's DC1 never releases, and this way
// behaves the same on both.
#include "link/serial_port.h"

#include <windows.h>

#include <deque>
#include <string>

#include "link/last_error_win32.h"
#include "tape/tape_code.h"

namespace {

// "\\.\" lets COM10 and above open; it does no harm below.
const char* const devicePrefix = "\\\\.\\";

constexpr DWORD allModemLines = MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON;

// ReadIntervalTimeout MAXDWORD with a total time-out: ReadFile returns as
// soon as a byte is there, or when the total time has passed.
constexpr DWORD returnAtOnce = MAXDWORD;
constexpr DWORD openReadTimeoutMs = 100;
constexpr DWORD writeTimeoutMs = 1000;
constexpr DWORD heldWaitStepMs = 1000;

HANDLE port = INVALID_HANDLE_VALUE;
DCB portSettings{};
SerialConfig activeConfig;
bool outputHeld = false;                     // nothing goes out until the peer's DC1
std::deque<unsigned char> received;          // read while the transmitter waited
bool hungUp = false;                         // the controller's side has gone

bool succeeded(BOOL result) {
    return result ? true : failedWithLastError();
}

// A removed adapter fails every call on its handle from then on; a line
// error under fAbortOnError fails one read or write until it is cleared.
bool deviceFailed() {
    DWORD reason = GetLastError();
    DWORD errors = 0;
    if (reason != ERROR_OPERATION_ABORTED || !ClearCommError(port, &errors, nullptr)) hungUp = true;
    SetLastError(reason);
    return failedWithLastError();
}

bool setReadTimeout(COMMTIMEOUTS timeouts, DWORD totalMs) {
    timeouts.ReadIntervalTimeout = returnAtOnce;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = totalMs;
    return succeeded(SetCommTimeouts(port, &timeouts));
}

// Under Wine a pseudo-terminal whose far end has closed reads as empty when
// the time-out has passed, busy all the while; only the status query fails.
bool deviceThere() {
    DWORD errors = 0;
    return ClearCommError(port, &errors, nullptr) ? true : deviceFailed();
}

// One byte within timeoutMs, the kept time-outs put back afterwards.
// *byte is -1 when none came; false when the device failed.
bool readWithin(DWORD timeoutMs, int* byte) {
    *byte = -1;
    if (hungUp || !deviceThere()) return false;
    COMMTIMEOUTS kept{};
    if (!GetCommTimeouts(port, &kept)) return deviceFailed();
    if (!setReadTimeout(kept, timeoutMs)) return deviceFailed();
    unsigned char value = 0;
    DWORD count = 0;
    bool read = ReadFile(port, &value, 1, &count, nullptr) ? true : deviceFailed();
    SetCommTimeouts(port, &kept);
    if (read && count == 1) *byte = value;
    return read;
}

void setOutputFlow(bool on) {
    portSettings.fOutX = on;
    SetCommState(port, &portSettings);
}

void releaseOutput() {
    outputHeld = false;
    setOutputFlow(activeConfig.outputXonXoff);
}

// While the transmitter is held the controller's DC1 releases it and a DC3
// is dropped: neither reaches the caller. true when the byte was taken here.
bool takeFlowByte(int byte) {
    if (!outputHeld) return false;
    if (byte == activeConfig.xonChar) {
        releaseOutput();
        return true;
    }
    return byte == activeConfig.xoffChar || byte == dc3;
}

// Waits for the controller's first DC1, keeping the other bytes for the
// reader. false when the device fails while waiting.
bool awaitRelease() {
    while (outputHeld) {
        int byte = -1;
        if (!readWithin(heldWaitStepMs, &byte)) return false;
        if (byte >= 0 && !takeFlowByte(byte)) received.push_back(static_cast<unsigned char>(byte));
    }
    return true;
}

int takeReceived() {
    int byte = received.front();
    received.pop_front();
    return byte;
}

}  // namespace

bool serialOpen(const char* portName) {
    std::string path = std::string(devicePrefix) + portName;
    port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    outputHeld = false;
    hungUp = false;
    received.clear();
    return port != INVALID_HANDLE_VALUE ? true : failedWithLastError();
}

bool serialReadSettings() {
    portSettings = DCB{};
    portSettings.DCBlength = sizeof portSettings;
    return succeeded(GetCommState(port, &portSettings));
}

bool serialApplySettings(const SerialConfig& config) {
    activeConfig = config;
    outputHeld = false;
    if (config.speed != 0) portSettings.BaudRate = static_cast<DWORD>(config.speed);
    portSettings.fBinary = 1;
    portSettings.fOutxCtsFlow = config.ctsFlow;
    portSettings.fOutxDsrFlow = 0;
    portSettings.fDtrControl = DTR_CONTROL_ENABLE;
    portSettings.fOutX = config.outputXonXoff;
    portSettings.fInX = config.inputXonXoff;
    portSettings.fRtsControl = RTS_CONTROL_ENABLE;
    portSettings.ByteSize = 8;
    portSettings.Parity = NOPARITY;
    portSettings.StopBits = ONESTOPBIT;
    portSettings.XonChar = static_cast<char>(config.xonChar);
    portSettings.XoffChar = static_cast<char>(config.xoffChar);
    return succeeded(SetCommState(port, &portSettings));
}

bool serialSetTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
    return setReadTimeout(timeouts, openReadTimeoutMs);
}

bool serialSetQueueSizes(int bytes) {
    return succeeded(SetupComm(port, static_cast<DWORD>(bytes), static_cast<DWORD>(bytes)));
}

// A driver without modem lines (a pseudo-terminal under Wine) answers
// ERROR_NOT_SUPPORTED: a line without handshake, not a line that is down.
bool serialModemStatus(unsigned* lines) {
    DWORD status = 0;
    if (GetCommModemStatus(port, &status)) {
        *lines = status;
        return true;
    }
    if (GetLastError() == ERROR_NOT_SUPPORTED) {
        *lines = allModemLines;
        return true;
    }
    return failedWithLastError();
}

void serialPurge(bool output, bool input) {
    if (input) received.clear();
    DWORD flags = (output ? PURGE_TXCLEAR : 0) | (input ? PURGE_RXCLEAR : 0);
    if (flags != 0) PurgeComm(port, flags);
}

void serialHoldOutput() {
    outputHeld = true;
    setOutputFlow(false);
}

void serialResumeOutput() {
    if (outputHeld) releaseOutput();
    EscapeCommFunction(port, SETXON);
}

int serialReadByte(int timeoutMs) {
    if (!received.empty()) return takeReceived();
    DWORD start = GetTickCount();
    DWORD limit = static_cast<DWORD>(timeoutMs);
    for (DWORD elapsed = 0; elapsed <= limit; elapsed = GetTickCount() - start) {
        int byte = -1;
        if (!readWithin(limit - elapsed, &byte) || byte < 0) return -1;
        if (!takeFlowByte(byte)) return byte;
    }
    return -1;
}

// WriteFile ends with part of the block left when the write time-out passes
// while the controller holds the flow; the rest goes out once it releases.
bool serialWrite(const unsigned char* bytes, int length) {
    DWORD done = 0;
    DWORD total = static_cast<DWORD>(length);
    while (done < total) {
        if (!awaitRelease()) return false;
        DWORD written = 0;
        if (!WriteFile(port, bytes + done, total - done, &written, nullptr)) return deviceFailed();
        done += written;
    }
    return true;
}

int serialOutputQueue() {
    DWORD errors = 0;
    COMSTAT status{};
    if (hungUp) return 0;   // what is still queued will never leave
    if (!ClearCommError(port, &errors, &status)) {
        deviceFailed();
        return 0;
    }
    return static_cast<int>(status.cbOutQue);
}

bool serialWriteBack() {
    if (hungUp) return true;   // no device left to restore
    portSettings.fOutX = 0;
    portSettings.fRtsControl = RTS_CONTROL_DISABLE;
    return succeeded(SetCommState(port, &portSettings));
}

void serialClose() {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    outputHeld = false;
    hungUp = false;
    received.clear();
}

bool serialIsOpen() {
    return port != INVALID_HANDLE_VALUE;
}

bool serialHungUp() {
    return hungUp;
}
