// The serial port on Windows: a COM device handle and the device control
// block configured at open, which putBack writes again at the end. The
// driver's output XON/XOFF is fOutX: the link switches it on while the
// transmitter runs. SETXOFF is never used: under Wine it becomes a stop that
// the peer's DC1 does not release.
#include "platform/serial_port.h"

#include <windows.h>

#include <string>

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

bool succeeded(BOOL result)
{
    return result ? true : failedWithLastError();
}

}  // namespace

struct SerialPort::Device {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB settings{};
    bool speedSet = false;

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

    bool setReadTimeout(COMMTIMEOUTS timeouts, DWORD totalMs)
    {
        timeouts.ReadIntervalTimeout = returnAtOnce;
        timeouts.ReadTotalTimeoutMultiplier = 1;
        timeouts.ReadTotalTimeoutConstant = totalMs;
        return succeeded(SetCommTimeouts(handle, &timeouts));
    }

    // One byte within timeoutMs, the kept time-outs put back afterwards. Under
    // Wine a pseudo-terminal whose far end has closed reads as empty when the
    // time-out has passed, busy all the while; only the status query fails.
    IoResult readOne(unsigned char* byte, DWORD timeoutMs)
    {
        DWORD errors = 0;
        COMMTIMEOUTS kept{};
        if (!ClearCommError(handle, &errors, nullptr) || !GetCommTimeouts(handle, &kept) ||
            !setReadTimeout(kept, timeoutMs))
            return {0, failure()};
        DWORD count = 0;
        IoResult result{0, IoStatus::Done};
        if (!ReadFile(handle, byte, 1, &count, nullptr))
            result.status = failure();
        else
            result.count = static_cast<int>(count);
        SetCommTimeouts(handle, &kept);
        return result;
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
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
    if (!device_->setReadTimeout(timeouts, openReadTimeoutMs))
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

// One byte at a time: a read returns as soon as a byte is there.
IoResult SerialPort::read(unsigned char* buffer, int size, int timeoutMs)
{
    if (size < 1)
        return {0, IoStatus::Failed};
    return device_->readOne(buffer, timeoutMs < 0 ? longestWaitMs : static_cast<DWORD>(timeoutMs));
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
