#include "link/channel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/clock.h"
#include "link/failure_report.h"
#include "link/gathered_output.h"
#include "link/link_open.h"
#include "link/serial_port.h"
#include "link/tcp_socket.h"
#include "tape/tape_code.h"

namespace {

enum class LinkKind { Tcp, Serial, OutputFile };

constexpr int32_t lineSpeeds[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int maxLinkNameLength = 63;   // output file names and host:port texts
// The break watch only looks at what has come: a controller in the middle of
// a punch-out sends nothing, and the next block must not wait for it.
constexpr int breakWatchMs = 0;
constexpr int settleBeforeCloseMs = 1000;   // lets the controller take the last bytes
constexpr int drainPollMs = 1;

std::FILE* outputFile = nullptr;
bool lossReported = false;   // the lost link has been named on the console

LinkKind linkKind()
{
    if (runSettings.isSocket)
        return LinkKind::Tcp;
    if (serialIsOpen())
        return LinkKind::Serial;
    return LinkKind::OutputFile;
}

[[noreturn]] void endStartUp()
{
    closeLog();
    std::exit(1);
}

bool isLineSpeed(int32_t speed)
{
    for (int32_t known : lineSpeeds)
        if (speed == known)
            return true;
    return false;
}

// Replaces a speed index by its speed; ends the run on a speed no port takes.
void settleLineSpeed()
{
    int32_t& speed = runSettings.baudRate;
    const int indexCount = sizeof lineSpeeds / sizeof lineSpeeds[0];
    if (speed >= 1 && speed <= indexCount)
        speed = lineSpeeds[speed - 1];
    if (speed == 0 || isLineSpeed(speed))
        return;
    echoLog(" %ldbps CAN NOT SET SPEED.\n", long(speed));
    endStartUp();
}

int openSerial(const std::string& portName, bool afterLoss)
{
    openSerialPort(portName.c_str(), afterLoss);
    return 0;
}

int openTcp(const char* name, const char* colon)
{
    if (std::strlen(name) > maxLinkNameLength) {
        echoLog("%s: HOST:PORT TOO LONG (MAX %d).\n", name, maxLinkNameLength);
        endStartUp();
    }
    std::string host(name, colon);
    const char* port = colon + 1;
    if (runSettings.serverA || runSettings.serverB)
        return openTcpServer(port);
    return openTcpClient(host.c_str(), port);
}

int toSignedByte(int byte)
{
    return byte < 0x80 ? byte : byte - 0x100;
}

bool writeToFile(const unsigned char* bytes, int length)
{
    if (!outputFile)
        return false;
    std::size_t count = static_cast<std::size_t>(length);
    return std::fwrite(bytes, 1, count, outputFile) == count && std::fflush(outputFile) == 0;
}

bool writeToHandle(const unsigned char* bytes, int length)
{
    if (linkKind() == LinkKind::Serial)
        return serialWrite(bytes, length);
    return writeToFile(bytes, length);
}

// The links that gather their output: TCP, and an output file without -w/-W.
bool writeGathered(const unsigned char* bytes, int length)
{
    if (linkKind() == LinkKind::Tcp)
        return tcpSend(bytes, length) == length;
    return writeToFile(bytes, length);
}

// A serial port keeps one write per block: its driver queues the bytes, and
// the break watch looks between blocks. The -w/-W waits pace every write.
bool gathers()
{
    switch (linkKind()) {
    case LinkKind::Tcp:
        return true;
    case LinkKind::OutputFile:
        return outputFile && !runSettings.charWait;
    case LinkKind::Serial:
        break;
    }
    return false;
}

// Option -w: every byte alone, each one on the line before the pause.
int writeByteByByte(const unsigned char* bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        if (!writeToHandle(bytes + i, 1))
            return -1;
        drainOutput();
        sleepMs(runSettings.charWaitMs);
    }
    return 0;
}

bool isBreakCode(int byte)
{
    return byte == asciiPercent || byte == isoPercent || byte == eiaPercent || byte == isoSyn;
}

// Reading a lost link gives no byte at once and for ever: every waiting
// loop must ask this, or it spins.
bool controllerGone()
{
    switch (linkKind()) {
    case LinkKind::Tcp:
        return tcpPeerClosed();
    case LinkKind::Serial:
        return serialHungUp();
    case LinkKind::OutputFile:
        break;
    }
    return false;
}

int checkSerialLine()
{
    unsigned lines = 0;
    if (serialModemStatus(&lines) && lines == 0) {
        echoLog("\n DSR(DR) not ready !!\n");
        return -1;
    }
    if (runSettings.startWait != 1)
        return 0;
    // A time-out or any other byte lets the send go on; that byte is dropped.
    if (!isBreakCode(readByte(breakWatchMs) & 0xFF))
        return 0;
    echoLog("BREAK CODE DEFINE \n");
    return -1;
}

}  // namespace

int openChannel()
{
    settleLineSpeed();
    bool afterLoss = controllerGone();
    releaseLink();
    lossReported = false;
    const char* name = runSettings.channelName;
    if (std::strchr(name, '\\'))
        return openOutputFile(name);
    if (name[0] == '/')
        return openSerial(name, afterLoss);
    if (std::strcmp(name, "0") == 0)
        return openSerial("COM1", afterLoss);
    const char* colon = std::strchr(name, ':');
    if (!colon)
        return openSerial(std::string("COM") + name, afterLoss);
    return openTcp(name, colon);
}

int renewLink()
{
    if (linkKind() == LinkKind::Tcp && !tcpPeerClosed())
        return 0;
    return openChannel();
}

void releaseLink()
{
    flushOutput();
    resetGatheredOutput();
    if (tcpIsOpen())
        tcpClose();
    if (serialIsOpen())
        serialClose();
    if (outputFile)
        std::fclose(outputFile);
    outputFile = nullptr;
}

int readByte(int timeoutMs)
{
    flushOutput();   // the controller answers what it has received
    int byte = -1;
    switch (linkKind()) {
    case LinkKind::Tcp:
        byte = tcpReceiveByte();
        break;
    case LinkKind::Serial:
        byte = serialReadByte(timeoutMs);
        break;
    case LinkKind::OutputFile:
        break;
    }
    return byte < 0 ? noByte : toSignedByte(byte);
}

int txQueueCount()
{
    return linkKind() == LinkKind::Serial ? serialOutputQueue() : 0;
}

// A controller may hold the flow for minutes: poll gently so the PC stays usable.
void drainOutput()
{
    flushOutput();
    while (txQueueCount() > 0)
        sleepMs(drainPollMs);
}

int writeBytes(const unsigned char* bytes, int length)
{
    if (gathers())
        return gatherOutput(bytes, length, writeGathered) ? 0 : -1;
    if (runSettings.charWait && !runSettings.charWaitUpper)
        return writeByteByByte(bytes, length);
    if (!writeToHandle(bytes, length))
        return -1;
    if (runSettings.charWaitUpper) {
        drainOutput();
        sleepMs(runSettings.charWaitMs);
    }
    return 0;
}

bool reportLostLink()
{
    if (!controllerGone())
        return false;
    if (!lossReported)
        echoLog(linkKind() == LinkKind::Tcp ? "\n CONNECTION CLOSED !!\n" : "\n LINE LOST !!\n");
    lossReported = true;
    return true;
}

int flushOutput()
{
    return flushGatheredOutput(writeGathered) ? 0 : -1;
}

int checkLine()
{
    if (reportLostLink())
        return -1;
    return linkKind() == LinkKind::Serial ? checkSerialLine() : 0;
}

void purgeInput()
{
    if (linkKind() == LinkKind::Serial)
        serialPurge(false, true);
}

void resumeOutput()
{
    if (linkKind() == LinkKind::Serial)
        serialResumeOutput();
}

int openOutputFile(const char* channelName)
{
    const char* fileName = channelName + 1;   // after the backslash of "-c\name"
    if (std::strlen(fileName) > maxLinkNameLength) {
        echoLog("Write file name too long (max %d) : %s\n", maxLinkNameLength, fileName);
        return -1;
    }
    echoLog("%s FILE %s OPEN \n", runSettings.versionTag, fileName);
    outputFile = std::fopen(fileName, "w+b");
    if (!outputFile) {
        echoLog("Write file open error : %s\n", fileName);
        return -1;
    }
    runSettings.baudRate = 0;
    return 0;
}

void closeChannel()
{
    flushOutput();
    switch (linkKind()) {
    case LinkKind::Tcp:
        sleepMs(settleBeforeCloseMs);
        releaseLink();
        socketLibraryStop();
        return;
    case LinkKind::Serial:
        if (runSettings.baudRate != 0) {
            sleepMs(settleBeforeCloseMs);
            if (!serialWriteBack())
                reportFailure("SetCommState");
        }
        break;
    case LinkKind::OutputFile:
        break;
    }
    releaseLink();
}
