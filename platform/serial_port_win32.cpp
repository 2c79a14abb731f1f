// The serial port on Windows: a COM device handle and the device control
// block configured at open, which putBack writes again at the end. The
// driver's output XON/XOFF is fOutX: the link switches it on while the
// transmitter runs. SETXOFF is never used: under Wine it becomes a stop that
// the peer's DC1 does not release.
#include "platform/serial_port.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/last_error_win32.h"

namespace zek::platform {

namespace {

// "\\.\" lets COM10 and above open; it does no harm below.
const char* const devicePrefix = "\\\\.\\";

constexpr DWORD allModemLines = MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON;

// ReadIntervalTimeout MAXDWORD without a total time-out: ReadFile returns at
// once with what there is. (The documented "first byte" form, with the
// multiplier MAXDWORD too, waits for the whole count under Wine.)
constexpr DWORD returnAtOnce = MAXDWORD;
constexpr DWORD openReadTimeoutMs = 100;
constexpr DWORD writeTimeoutMs = 1000;
constexpr DWORD queueSize = 10240;

bool succeeded(BOOL result)
{
    return result ? true : failedWithLastError();
}

}  // namespace

struct SerialPort::Device {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB settings{};
    bool speedSet = false;
    COMMTIMEOUTS timeouts{};  // as last set

    // A removed adapter fails every call on its handle from then on; a line
    // error under fAbortOnError fails one read or write until it is cleared.
    IoStatus failure()
    {
        DWORD reason = GetLastError();
        DWORD errors = 0;
        bool lineError = reason == ERROR_OPERATION_ABORTED && ClearCommError(handle, &errors, nullptr);
        SetLastError(reason);
        failedWithLastError();
        return lineError ? IoStatus::Failed : IoStatus::Gone;
    }

    // A total time-out of waitMs for the count asked; only a wait that
    // differs from the last one costs a call.
    bool setReadWait(DWORD waitMs)
    {
        COMMTIMEOUTS wanted = timeouts;
        wanted.ReadIntervalTimeout = waitMs > 0 ? 0 : returnAtOnce;
        wanted.ReadTotalTimeoutMultiplier = 0;
        wanted.ReadTotalTimeoutConstant = waitMs;
        bool same = wanted.ReadIntervalTimeout == timeouts.ReadIntervalTimeout &&
                    wanted.ReadTotalTimeoutMultiplier == timeouts.ReadTotalTimeoutMultiplier &&
                    wanted.ReadTotalTimeoutConstant == timeouts.ReadTotalTimeoutConstant;
        if (same)
            return true;
        if (!succeeded(SetCommTimeouts(handle, &wanted)))
            return false;
        timeouts = wanted;
        return true;
    }
};

SerialPort::SerialPort() : device_(std::make_unique<Device>())
{
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::open(const char* portName)
{
    std::string path = std::string(devicePrefix) + portName;
    device_->handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return device_->handle != INVALID_HANDLE_VALUE ? true : failedWithLastError();
}

void SerialPort::close()
{
    if (device_->handle != INVALID_HANDLE_VALUE)
        CloseHandle(device_->handle);
    device_->handle = INVALID_HANDLE_VALUE;
}

bool SerialPort::readSettings()
{
    device_->settings = DCB{};
    device_->settings.DCBlength = sizeof device_->settings;
    return succeeded(GetCommState(device_->handle, &device_->settings));
}

void SerialPort::configure(const SerialConfig& config, FailedCall failed)
{
    DCB& settings = device_->settings;
    device_->speedSet = config.speed != 0;
    if (config.speed != 0)
        settings.BaudRate = static_cast<DWORD>(config.speed);
    settings.fBinary = 1;
    settings.fOutxCtsFlow = config.ctsFlow;
    settings.fOutxDsrFlow = 0;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fOutX = 0;
    settings.fInX = config.inputXonXoff;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.XonChar = static_cast<char>(config.xonChar);
    settings.XoffChar = static_cast<char>(config.xoffChar);
    if (!succeeded(SetCommState(device_->handle, &settings)))
        failed("SetCommState");
    device_->timeouts = COMMTIMEOUTS{};
    device_->timeouts.WriteTotalTimeoutMultiplier = 1;
    device_->timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
    if (!device_->setReadWait(openReadTimeoutMs))
        failed("SetCommTimeouts");
    if (!succeeded(SetupComm(device_->handle, queueSize, queueSize)))
        failed("SetupComm");
}

// A driver without modem lines (a pseudo-terminal under Wine) answers
// ERROR_NOT_SUPPORTED: a line without handshake, not a line that is down.
bool SerialPort::modemStatus(unsigned* lines)
{
    DWORD status = 0;
    if (GetCommModemStatus(device_->handle, &status)) {
        *lines = status;
        return true;
    }
    if (GetLastError() == ERROR_NOT_SUPPORTED) {
        *lines = allModemLines;
        return true;
    }
    return failedWithLastError();
}

void SerialPort::purge(bool output, bool input)
{
    DWORD flags = (output ? PURGE_TXCLEAR : 0) | (input ? PURGE_RXCLEAR : 0);
    if (flags != 0)
        PurgeComm(device_->handle, flags);
}

void SerialPort::setOutputFlow(bool on)
{
    device_->settings.fOutX = on;
    SetCommState(device_->handle, &device_->settings);
}

void SerialPort::restartOutput()
{
    EscapeCommFunction(device_->handle, SETXON);
}

// What the driver holds, at once; else the first byte that comes. Under
// Wine a pseudo-terminal whose far end has closed reads as empty when the
// time-out has passed, busy all the while; only the status query fails.
IoResult SerialPort::read(unsigned char* buffer, int size, int timeoutMs)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (size < 1 || !ClearCommError(device_->handle, &errors, &status) ||
        !device_->setReadWait(static_cast<DWORD>(timeoutMs)))
        return {0, device_->failure()};
    DWORD wanted = status.cbInQue > 0 ? std::min<DWORD>(status.cbInQue, static_cast<DWORD>(size)) : 1;
    DWORD count = 0;
    if (!ReadFile(device_->handle, buffer, wanted, &count, nullptr))
        return {0, device_->failure()};
    return {static_cast<int>(count), IoStatus::Done};
}

int SerialPort::inputWaiting()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(device_->handle, &errors, &status))
        return 0;
    return static_cast<int>(status.cbInQue);
}

// WriteFile ends with part of the block left when the write time-out passes
// while the controller holds the flow; the caller writes the rest.
IoResult SerialPort::writeSome(const unsigned char* bytes, int length)
{
    DWORD written = 0;
    if (!WriteFile(device_->handle, bytes, static_cast<DWORD>(length), &written, nullptr))
        return {0, device_->failure()};
    return {static_cast<int>(written), IoStatus::Done};
}

IoResult SerialPort::outputQueue()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(device_->handle, &errors, &status))
        return {0, device_->failure()};
    return {static_cast<int>(status.cbOutQue), IoStatus::Done};
}

bool SerialPort::putBack()
{
    if (!device_->speedSet)
        return true;
    device_->settings.fOutX = 0;
    device_->settings.fRtsControl = RTS_CONTROL_DISABLE;
    return succeeded(SetCommState(device_->handle, &device_->settings));
}

}  // namespace zek::platform
