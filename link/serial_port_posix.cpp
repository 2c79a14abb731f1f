// The serial device on termios.
//
// Output XON/XOFF is shared between the kernel and this file. While the
// transmitter runs, IXON is on and the kernel stops and restarts writes on the
// peer's DC3 and DC1. A held transmitter (the start before the controller's
// first DC1) keeps IXON off and watches for that DC1 here, because a kernel
// stop made with tcflow is not released by the peer's DC1. IXON goes on only
// when a write is due, so a DC1 that comes before then is never lost to the
// kernel.
#include "link/serial_port.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "tape/tape_code.h"

static constexpr int readChunkSize = 256;
static constexpr unsigned modemLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR;

struct SpeedCode {
    long bitsPerSecond;
    speed_t code;
};

static const SpeedCode speedCodes[] = {
    {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

static int portFd = -1;
static termios portSettings{};          // as read at open, then as configured
static SerialConfig activeConfig;
static bool outputHeld = false;         // nothing goes out until the peer's DC1
static bool kernelFlowOn = false;       // IXON is set on the device
static std::deque<unsigned char> received;   // read from the device, not yet handed out
static bool hungUp = false;             // the controller's side has gone

static void resetState()
{
    activeConfig = SerialConfig{};
    outputHeld = false;
    kernelFlowOn = false;
    received.clear();
    hungUp = false;
}

static long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return long(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

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
    resetState();
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

bool serialApplySettings(const SerialConfig& config)
{
    activeConfig = config;
    outputHeld = false;
    kernelFlowOn = false;
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
    ioctl(portFd, TIOCMBIS, &lines);   // devices without modem lines have none to raise
    return tcsetattr(portFd, TCSANOW, &settings) == 0;
}

bool serialSetTimeouts()
{
    return true;   // every read waits in poll with its own time-out
}

bool serialSetQueueSizes(int)
{
    return true;   // the kernel sizes its own queues
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
    *lines = modemLines;   // a pseudo-terminal has no modem lines: count them as on
    return true;
}

void serialPurge(bool output, bool input)
{
    if (input)
        received.clear();
    if (output && input)
        tcflush(portFd, TCIOFLUSH);
    else if (output)
        tcflush(portFd, TCOFLUSH);
    else if (input)
        tcflush(portFd, TCIFLUSH);
}

static void setKernelFlow(bool on)
{
    termios settings = portSettings;
    if (on)
        settings.c_iflag |= IXON;
    tcsetattr(portFd, TCSANOW, &settings);
    kernelFlowOn = on;
}

void serialHoldOutput()
{
    outputHeld = true;
    if (kernelFlowOn)
        setKernelFlow(false);
}

void serialResumeOutput()
{
    outputHeld = false;
    tcflow(portFd, TCOON);
}

// Sorts one byte read from the device: the peer's flow codes act on the
// transmitter, every other byte waits in order to be handed out.
static void takeByte(unsigned char byte)
{
    if (activeConfig.outputXonXoff || outputHeld) {
        if (byte == activeConfig.xonChar) {
            outputHeld = false;
            return;
        }
        if (byte == activeConfig.xoffChar || (outputHeld && byte == dc3)) {
            serialHoldOutput();
            return;
        }
    }
    received.push_back(byte);
}

// Reads what the device has within timeoutMs (-1: no limit). The count of
// bytes read, 0 when none came, -1 when the device failed or hung up. A
// hung-up device reads as ready and empty for ever: it is not asked again.
static int readFromDevice(int timeoutMs)
{
    if (hungUp)
        return -1;
    pollfd watch{portFd, POLLIN, 0};
    int ready = poll(&watch, 1, timeoutMs);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    unsigned char chunk[readChunkSize];
    ssize_t count = read(portFd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return 0;
    if (count <= 0) {
        hungUp = true;   // 0 is the hang-up; EIO, ENXIO and the like a device gone
        return -1;
    }
    for (ssize_t i = 0; i < count; ++i)
        takeByte(chunk[i]);
    return int(count);
}

int serialReadByte(int timeoutMs)
{
    long deadline = nowMs() + timeoutMs;
    // A time-out of 0 still looks once at what the device holds.
    while (received.empty()) {
        long remaining = deadline - nowMs();
        if (readFromDevice(int(remaining < 0 ? 0 : remaining)) <= 0)
            return -1;
    }
    unsigned char byte = received.front();
    received.pop_front();
    return byte;
}

// Bytes that came while IXON was off were not sorted by the kernel: sort
// them here, so that a DC3 among them still stops the transmitter.
static void sortWaitingInput()
{
    int waiting = 0;
    if (ioctl(portFd, FIONREAD, &waiting) != 0)
        return;
    while (waiting > 0 && !outputHeld) {
        int count = readFromDevice(0);
        if (count <= 0)
            return;
        waiting -= count;
    }
}

// Waits while the peer holds the transmitter, then lets the kernel carry the
// flow. false when the device fails while waiting.
static bool startTransmitter()
{
    while (outputHeld || (activeConfig.outputXonXoff && !kernelFlowOn)) {
        if (outputHeld) {
            if (readFromDevice(-1) < 0)
                return false;
            continue;
        }
        setKernelFlow(true);
        sortWaitingInput();
    }
    return true;
}

bool serialWrite(const unsigned char* bytes, int length)
{
    int written = 0;
    while (written < length) {
        if (!startTransmitter())
            return false;
        ssize_t count = write(portFd, bytes + written, std::size_t(length - written));
        if (count < 0 && errno != EINTR) {
            hungUp = true;   // a terminal refuses writes only once it has gone
            return false;
        }
        if (count > 0)
            written += int(count);
    }
    return true;
}

int serialOutputQueue()
{
    if (hungUp)
        return 0;   // what is still queued will never leave
    int count = 0;
    return ioctl(portFd, TIOCOUTQ, &count) == 0 ? count : 0;
}

bool serialWriteBack()
{
    if (hungUp)
        return true;   // no device left to restore
    kernelFlowOn = false;   // the kept settings carry no output XON/XOFF
    int rts = TIOCM_RTS;
    ioctl(portFd, TIOCMBIC, &rts);   // devices without modem lines have no RTS to drop
    return tcsetattr(portFd, TCSANOW, &portSettings) == 0;
}

void serialClose()
{
    if (portFd < 0)
        return;
    ioctl(portFd, TIOCNXCL);   // the device may outlive this open: leave it openable
    close(portFd);
    portFd = -1;
    resetState();
}

bool serialIsOpen()
{
    return portFd >= 0;
}

bool serialHungUp()
{
    return hungUp;
}
