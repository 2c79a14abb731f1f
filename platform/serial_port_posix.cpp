// The serial device on termios. The driver's output XON/XOFF is IXON: the
// flow gate above switches it on while the transmitter runs.
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

#include "platform/failure_report.h"

namespace zek::platform {

static constexpr unsigned modemLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR;

struct SpeedCode {
    long bitsPerSecond;
    speed_t code;
};

static const SpeedCode speedCodes[] = {
    {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

static int portFd = -1;
static termios portSettings{};  // as read at open, then as configured
static bool hungUp = false;     // the controller's side has gone

// "COMn" is the n-th numbered port, /dev/ttyS(n-1); any other name is a path.
// nullptr (errno ENOENT) for a "COM" name without a valid number.
static const char* devicePath(const char* portName, char* numbered, std::size_t size)
{
    if (std::strncmp(portName, "COM", 3) != 0)
        return portName;
    const char* digits = portName + 3;
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

// One zek per device: a second open is refused as a busy device.
static bool claimDevice(int fd)
{
    if (!isatty(fd))
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            errno = EBUSY;
        return false;
    }
    ioctl(fd, TIOCEXCL);
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool serialOpen(const char* portName)
{
    char numbered[32];
    const char* path = devicePath(portName, numbered, sizeof numbered);
    if (!path)
        return false;
    // Non-blocking so that a port without carrier does not hang the open.
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (!claimDevice(fd)) {
        int reason = errno;
        close(fd);
        errno = reason;
        return false;
    }
    portFd = fd;
    hungUp = false;
    return true;
}

bool serialReadSettings()
{
    return tcgetattr(portFd, &portSettings) == 0;
}

static void setSpeed(termios& settings, long speed)
{
    for (const SpeedCode& entry : speedCodes) {
        if (entry.bitsPerSecond == speed) {
            cfsetispeed(&settings, entry.code);
            cfsetospeed(&settings, entry.code);
        }
    }
}

void serialConfigure(const SerialConfig& config)
{
    termios settings = portSettings;
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
    setSpeed(settings, config.speed);
    portSettings = settings;
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(portFd, TIOCMBIS, &lines);  // devices without modem lines have none to raise
    if (tcsetattr(portFd, TCSANOW, &settings) != 0)
        reportFailure("SetCommState");
}

bool serialModemStatus(unsigned* lines)
{
    int bits = 0;
    if (ioctl(portFd, TIOCMGET, &bits) == 0) {
        *lines = unsigned(bits) & modemLines;
        return true;
    }
    if (errno != ENOTTY && errno != EINVAL)
        return false;
    *lines = modemLines;  // a pseudo-terminal has no modem lines: count them as on
    return true;
}

void serialPurge(bool output, bool input)
{
    if (output && input)
        tcflush(portFd, TCIOFLUSH);
    else if (output)
        tcflush(portFd, TCOFLUSH);
    else if (input)
        tcflush(portFd, TCIFLUSH);
}

// A kernel stop made with tcflow is not released by the peer's DC1: the
// flow gate never asks for one, it only switches IXON.
void serialSetOutputFlow(bool on)
{
    termios settings = portSettings;
    if (on)
        settings.c_iflag |= IXON;
    tcsetattr(portFd, TCSANOW, &settings);
}

void serialRestartOutput()
{
    tcflow(portFd, TCOON);
}

// A hung-up device reads as ready and empty for ever: it is not asked again.
int serialRead(unsigned char* buffer, int size, int timeoutMs)
{
    if (hungUp)
        return -1;
    pollfd watch{portFd, POLLIN, 0};
    int ready = poll(&watch, 1, timeoutMs);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    ssize_t count = read(portFd, buffer, std::size_t(size));
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return 0;
    if (count <= 0) {
        hungUp = true;  // 0 is the hang-up; EIO, ENXIO and the like a device gone
        return -1;
    }
    return int(count);
}

int serialInputWaiting()
{
    int waiting = 0;
    return ioctl(portFd, FIONREAD, &waiting) == 0 ? waiting : 0;
}

int serialWriteSome(const unsigned char* bytes, int length)
{
    ssize_t count = write(portFd, bytes, std::size_t(length));
    if (count >= 0)
        return int(count);
    if (errno == EINTR)
        return 0;
    hungUp = true;  // a terminal refuses writes only once it has gone
    return -1;
}

int serialOutputQueue()
{
    if (hungUp)
        return 0;  // what is still queued will never leave
    int count = 0;
    return ioctl(portFd, TIOCOUTQ, &count) == 0 ? count : 0;
}

bool serialWriteBack()
{
    if (hungUp)
        return true;  // no device left to restore
    int rts = TIOCM_RTS;
    ioctl(portFd, TIOCMBIC, &rts);  // devices without modem lines have no RTS to drop
    return tcsetattr(portFd, TCSANOW, &portSettings) == 0;
}

void serialClose()
{
    if (portFd < 0)
        return;
    ioctl(portFd, TIOCNXCL);  // the device may outlive this open: leave it openable
    close(portFd);
    portFd = -1;
    hungUp = false;
}

bool serialHungUp()
{
    return hungUp;
}

}  // namespace zek::platform
