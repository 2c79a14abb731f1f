// The serial port on Windows: one COM device handle and the device control
// block configured at open, which serialWriteBack writes again at the end.
// The driver's output XON/XOFF is fOutX: the flow gate above switches it on
// while the transmitter runs. SETXOFF is never used: under Wine it becomes a
// stop that the peer's DC1 does not release.
#include "platform/serial_port.h"

#include <windows.h>

#include <string>

#include "platform/failure_report.h"
#include "platform/last_error_win32.h"

namespace zek::platform {

namespace {

// "\\.\" lets COM10 and above open; it does no harm below.
const char* const devicePrefix = "\\\\.\\";

constexpr DWORD allModemLines = MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON;

// ReadIntervalTimeout MAXDWORD with a total time-out: ReadFile returns as
// soon as a byte is there, or when the total time has passed.
constexpr DWORD returnAtOnce = MAXDWORD;
constexpr DWORD openReadTimeoutMs = 100;
constexpr DWORD writeTimeoutMs = 1000;
constexpr DWORD longestWaitMs = 1000;  // a read asked to wait "a while"
constexpr DWORD queueSize = 10240;

HANDLE port = INVALID_HANDLE_VALUE;
DCB portSettings{};
bool hungUp = false;  // the controller's side has gone

bool succeeded(BOOL result)
{
    return result ? true : failedWithLastError();
}

// A removed adapter fails every call on its handle from then on; a line
// error under fAbortOnError fails one read or write until it is cleared.
bool deviceFailed()
{
    DWORD reason = GetLastError();
    DWORD errors = 0;
    if (reason != ERROR_OPERATION_ABORTED || !ClearCommError(port, &errors, nullptr))
        hungUp = true;
    SetLastError(reason);
    return failedWithLastError();
}

bool setReadTimeout(COMMTIMEOUTS timeouts, DWORD totalMs)
{
    timeouts.ReadIntervalTimeout = returnAtOnce;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = totalMs;
    return succeeded(SetCommTimeouts(port, &timeouts));
}

// Under Wine a pseudo-terminal whose far end has closed reads as empty when
// the time-out has passed, busy all the while; only the status query fails.
bool deviceThere()
{
    DWORD errors = 0;
    return ClearCommError(port, &errors, nullptr) ? true : deviceFailed();
}

// One byte within timeoutMs, the kept time-outs put back afterwards.
// *byte is -1 when none came; false when the device failed.
bool readWithin(DWORD timeoutMs, int* byte)
{
    *byte = -1;
    if (hungUp || !deviceThere())
        return false;
    COMMTIMEOUTS kept{};
    if (!GetCommTimeouts(port, &kept))
        return deviceFailed();
    if (!setReadTimeout(kept, timeoutMs))
        return deviceFailed();
    unsigned char value = 0;
    DWORD count = 0;
    bool read = ReadFile(port, &value, 1, &count, nullptr) ? true : deviceFailed();
    SetCommTimeouts(port, &kept);
    if (read && count == 1)
        *byte = value;
    return read;
}

// Reports a failed call by its name; the port goes on with what it has.
void reportIfFailed(bool done, const char* call)
{
    if (!done)
        reportFailure(call);
}

}  // namespace

bool serialOpen(const char* portName)
{
    std::string path = std::string(devicePrefix) + portName;
    port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    hungUp = false;
    return port != INVALID_HANDLE_VALUE ? true : failedWithLastError();
}

bool serialReadSettings()
{
    portSettings = DCB{};
    portSettings.DCBlength = sizeof portSettings;
    return succeeded(GetCommState(port, &portSettings));
}

void serialConfigure(const SerialConfig& config)
{
    if (config.speed != 0)
        portSettings.BaudRate = static_cast<DWORD>(config.speed);
    portSettings.fBinary = 1;
    portSettings.fOutxCtsFlow = config.ctsFlow;
    portSettings.fOutxDsrFlow = 0;
    portSettings.fDtrControl = DTR_CONTROL_ENABLE;
    portSettings.fOutX = 0;
    portSettings.fInX = config.inputXonXoff;
    portSettings.fRtsControl = RTS_CONTROL_ENABLE;
    portSettings.ByteSize = 8;
    portSettings.Parity = NOPARITY;
    portSettings.StopBits = ONESTOPBIT;
    portSettings.XonChar = static_cast<char>(config.xonChar);
    portSettings.XoffChar = static_cast<char>(config.xoffChar);
    reportIfFailed(succeeded(SetCommState(port, &portSettings)), "SetCommState");
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
    reportIfFailed(setReadTimeout(timeouts, openReadTimeoutMs), "SetCommTimeouts");
    reportIfFailed(succeeded(SetupComm(port, queueSize, queueSize)), "SetupComm");
}

// A driver without modem lines (a pseudo-terminal under Wine) answers
// ERROR_NOT_SUPPORTED: a line without handshake, not a line that is down.
bool serialModemStatus(unsigned* lines)
{
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

void serialPurge(bool output, bool input)
{
    DWORD flags = (output ? PURGE_TXCLEAR : 0) | (input ? PURGE_RXCLEAR : 0);
    if (flags != 0)
        PurgeComm(port, flags);
}

void serialSetOutputFlow(bool on)
{
    portSettings.fOutX = on;
    SetCommState(port, &portSettings);
}

void serialRestartOutput()
{
    EscapeCommFunction(port, SETXON);
}

// One byte at a time: a read returns as soon as a byte is there.
int serialRead(unsigned char* buffer, int size, int timeoutMs)
{
    int byte = -1;
    if (size < 1 || !readWithin(timeoutMs < 0 ? longestWaitMs : static_cast<DWORD>(timeoutMs), &byte))
        return -1;
    if (byte < 0)
        return 0;
    buffer[0] = static_cast<unsigned char>(byte);
    return 1;
}

int serialInputWaiting()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (hungUp || !ClearCommError(port, &errors, &status))
        return 0;
    return static_cast<int>(status.cbInQue);
}

// WriteFile ends with part of the block left when the write time-out passes
// while the controller holds the flow; the caller writes the rest.
int serialWriteSome(const unsigned char* bytes, int length)
{
    DWORD written = 0;
    if (!WriteFile(port, bytes, static_cast<DWORD>(length), &written, nullptr)) {
        deviceFailed();
        return -1;
    }
    return static_cast<int>(written);
}

int serialOutputQueue()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (hungUp)
        return 0;  // what is still queued will never leave
    if (!ClearCommError(port, &errors, &status)) {
        deviceFailed();
        return 0;
    }
    return static_cast<int>(status.cbOutQue);
}

bool serialWriteBack()
{
    if (hungUp)
        return true;  // no device left to restore
    portSettings.fOutX = 0;
    portSettings.fRtsControl = RTS_CONTROL_DISABLE;
    return succeeded(SetCommState(port, &portSettings));
}

void serialClose()
{
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    hungUp = false;
}

bool serialHungUp()
{
    return hungUp;
}

}  // namespace zek::platform
