// The serial device on termios. The driver's output XON/XOFF is IXON: the
// link switches it on while the transmitter runs.
#include "platform/serial_port.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zek::platform {

namespace {

constexpr unsigned modemLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR;
constexpr int writeWaitMs = 1000;  // as the Windows port's write time-out

struct LineSpeed {
    long bitsPerSecond;
    speed_t constant;
};

// POSIX takes a speed only as its B constant.
constexpr LineSpeed lineSpeeds[] = {
    {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

// B0 for a speed without a constant.
speed_t speedConstant(long bitsPerSecond)
{
    for (const LineSpeed& speed : lineSpeeds)
        if (speed.bitsPerSecond == bitsPerSecond)
            return speed.constant;
    return B0;
}

// "COMn" is the n-th numbered port, /dev/ttyS(n-1); any other name is a path.
// nullptr (errno ENOENT) for a "COM" name without a valid number.
const char* devicePath(const char* portName, char* numbered, std::size_t size)
{
    std::size_t prefixLength = std::strlen(numberedPortPrefix);
    if (std::strncmp(portName, numberedPortPrefix, prefixLength) != 0)
        return portName;
    const char* digits = portName + prefixLength;
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(digits, &end, 10);
    if (*digits < '0' || *digits > '9' || *end != '\0' || errno != 0 || number < 1 || number > INT_MAX) {
        errno = ENOENT;
        return nullptr;
    }
    std::snprintf(numbered, size, "/dev/ttyS%ld", number - 1);
    return numbered;
}

// One zek per device: a second open is refused as a busy device. The device
// stays non-blocking: every read and write waits in poll, for a bounded time.
bool claimDevice(int fd)
{
    if (!isatty(fd))
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            errno = EBUSY;
        return false;
    }
    ioctl(fd, TIOCEXCL);
    return true;
}

}  // namespace

struct SerialPort::Device {
    int fd = -1;
    termios found{};  // as the first opening found them
    bool foundKept = false;
    termios configured{};  // as zek set them
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
    char numbered[32];
    const char* path = devicePath(portName, numbered, sizeof numbered);
    if (!path)
        return false;
    // Non-blocking so that a port without carrier does not hang the open.
    int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (!claimDevice(fd)) {
        int reason = errno;
        ::close(fd);
        errno = reason;
        return false;
    }
    device_->fd = fd;
    return true;
}

void SerialPort::close()
{
    if (device_->fd < 0)
        return;
    ioctl(device_->fd, TIOCNXCL);  // the device may outlive this open: leave it openable
    ::close(device_->fd);
    device_->fd = -1;
}

bool SerialPort::readSettings()
{
    if (tcgetattr(device_->fd, &device_->configured) != 0)
        return false;
    if (!device_->foundKept)
        device_->found = device_->configured;
    device_->foundKept = true;
    return true;
}

void SerialPort::configure(const SerialConfig& config, FailedCall failed)
{
    termios settings = device_->configured;
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSTOPB | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD;
    if (config.ctsFlow)
        settings.c_cflag |= CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (config.inputXonXoff)
        settings.c_iflag |= IXOFF;
    settings.c_cc[VSTART] = config.xonChar;
    settings.c_cc[VSTOP] = config.xoffChar;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (config.speed != 0) {
        speed_t speed = speedConstant(config.speed);
        errno = EINVAL;  // B0 would hang the line up: a speed without a constant is refused
        if (speed == B0 || cfsetspeed(&settings, speed) != 0)
            failed("cfsetspeed");
    }
    device_->configured = settings;
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(device_->fd, TIOCMBIS, &lines);  // devices without modem lines have none to raise
    if (tcsetattr(device_->fd, TCSANOW, &settings) != 0)
        failed("SetCommState");
}

bool SerialPort::modemStatus(unsigned* lines)
{
    int bits = 0;
    if (ioctl(device_->fd, TIOCMGET, &bits) == 0) {
        *lines = unsigned(bits) & modemLines;
        return true;
    }
    if (errno != ENOTTY && errno != EINVAL)
        return false;
    *lines = modemLines;  // a pseudo-terminal has no modem lines: count them as on
    return true;
}

void SerialPort::purge(bool output, bool input)
{
    if (output && input)
        tcflush(device_->fd, TCIOFLUSH);
    else if (output)
        tcflush(device_->fd, TCOFLUSH);
    else if (input)
        tcflush(device_->fd, TCIFLUSH);
}

// A kernel stop made with tcflow is not released by the peer's DC1: the
// link never asks for one, it only switches IXON.
void SerialPort::setOutputFlow(bool on)
{
    termios settings = device_->configured;
    if (on)
        settings.c_iflag |= IXON;
    tcsetattr(device_->fd, TCSANOW, &settings);
}

void SerialPort::restartOutput()
{
    tcflow(device_->fd, TCOON);
}

// A read of 0 bytes after poll said the device is ready is the hang-up; EIO,
// ENXIO and the like are a device that has gone.
IoResult SerialPort::read(unsigned char* buffer, int size, int timeoutMs)
{
    pollfd watch{device_->fd, POLLIN, 0};
    int ready = poll(&watch, 1, timeoutMs);
    if (ready == 0)
        return {};
    if (ready < 0)
        return {0, errno == EINTR ? IoStatus::Interrupted : IoStatus::Failed};
    ssize_t count = ::read(device_->fd, buffer, std::size_t(size));
    if (count > 0)
        return {int(count), IoStatus::Done};
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return {0, IoStatus::Interrupted};
    return {0, IoStatus::Gone};
}

int SerialPort::inputWaiting()
{
    int waiting = 0;
    return ioctl(device_->fd, FIONREAD, &waiting) == 0 ? waiting : 0;
}

// A terminal refuses writes only once it has gone. While the peer holds the
// output the driver's buffer fills, and the write waits for room no longer
// than writeWaitMs.
IoResult SerialPort::writeSome(const unsigned char* bytes, int length)
{
    pollfd watch{device_->fd, POLLOUT, 0};
    int ready = poll(&watch, 1, writeWaitMs);
    if (ready == 0)
        return {};
    if (ready < 0)
        return {0, errno == EINTR ? IoStatus::Interrupted : IoStatus::Failed};
    ssize_t count = ::write(device_->fd, bytes, std::size_t(length));
    if (count >= 0)
        return {int(count), IoStatus::Done};
    if (errno == EAGAIN)
        return {};
    return {0, errno == EINTR ? IoStatus::Interrupted : IoStatus::Gone};
}

IoResult SerialPort::outputQueue()
{
    int count = 0;
    if (ioctl(device_->fd, TIOCOUTQ, &count) != 0)
        return {};
    return {count, IoStatus::Done};
}

bool SerialPort::putBack()
{
    return !device_->foundKept || tcsetattr(device_->fd, TCSANOW, &device_->found) == 0;
}

}  // namespace zek::platform
