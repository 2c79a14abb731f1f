// Opening the serial port with the line settings and flow control of the run.
#include "link/link_open.h"

#include <cstdio>
#include <cstdlib>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/clock.h"
#include "link/failure_report.h"
#include "link/serial_port.h"
#include "tape/tape_code.h"

static constexpr int queueSize = 10240;
static constexpr int deviceRetryMs = 1000;

static bool openedBefore = false;   // the run has had its port open

// The sending side (startWait 1) follows CTS or the controller's DC1/DC3; the
// receiving side (startWait 0) throttles the controller with DC1/DC3.
static SerialConfig configFromSettings()
{
    bool sending = runSettings.startWait == 1;
    bool softwareFlow = runSettings.flowMode != FlowHardware;
    SerialConfig config;
    config.speed = runSettings.baudRate;
    config.ctsFlow = sending && !softwareFlow;
    config.outputXonXoff = sending && softwareFlow;
    config.inputXonXoff = !sending && softwareFlow;
    config.xonChar = dc1;
    config.xoffChar = runSettings.flowMode == FlowNcDc3 || runSettings.flowMode == FlowNcNoWait ? ncDc3 : dc3;
    return config;
}

static void reportInit(const char* portName)
{
    std::fprintf(stderr, "%s %ldbps M=%d %s INIT. CTRL-C to END\n", runSettings.versionTag,
                 (long)runSettings.baudRate, (int)runSettings.flowMode, portName);
    logOnly("%s %ldbps  M=%d %s INIT.\n", runSettings.versionTag, (long)runSettings.baudRate,
            (int)runSettings.flowMode, portName);
}

// A sending port waits for the controller's first DC1 (except in flow mode 3);
// a receiving port with software flow invites the controller with one DC1.
static void startFlow()
{
    int flowMode = runSettings.flowMode;
    if (runSettings.startWait == 1 && (flowMode == FlowDc3 || flowMode == FlowNcDc3))
        serialHoldOutput();
    else if (runSettings.startWait == 0 && flowMode != FlowHardware)
        writeBytes(&dc1, 1);
}

[[noreturn]] static void endOnOpenFailure()
{
    reportFailure("*** TTY OPEN ERROR  ***");
    closeLog();
    std::exit(1);
}

// A server outlives its device: an adapter pulled and plugged in again comes
// back under the same name (a /dev/serial/by-id path). One line says so; the
// tries that follow are quiet and a second apart, also for a device that
// opens but has hung up.
static void awaitDevice(const char* portName)
{
    echoLog("*** TTY %s GONE, WAITING FOR IT %s ***\n", portName, timeStamp());
    do
        sleepMs(deviceRetryMs);
    while (!serialOpen(portName));
}

static void openDevice(const char* portName, bool afterLoss)
{
    bool mayWait = openedBefore && (runSettings.serverA || runSettings.serverB);
    if (!(afterLoss && mayWait) && serialOpen(portName))
        return;
    if (!mayWait)
        endOnOpenFailure();
    awaitDevice(portName);
}

void openSerialPort(const char* portName, bool afterLoss)
{
    openDevice(portName, afterLoss);
    openedBefore = true;
    if (!serialReadSettings())
        reportFailure("*** TTY GET COMMSTATE (PDCB) ERROR  ***");
    SerialConfig config = configFromSettings();
    std::printf("TTY OPEN %s %ld bps W %d\n", portName, (long)runSettings.baudRate, (int)runSettings.charWaitMs);
    std::fflush(stdout);   // a server run ends by Ctrl-C, which would lose a buffered line
    if (!serialApplySettings(config))
        reportFailure("SetCommState");
    if (!serialSetTimeouts())
        reportFailure("SetCommTimeouts");
    if (!serialSetQueueSizes(queueSize))
        reportFailure("SetupComm");
    unsigned lines = 0;
    if (serialModemStatus(&lines))
        serialPurge(true, true);
    else
        reportFailure("GetCommModemStatus");
    reportInit(portName);
    startFlow();
}
