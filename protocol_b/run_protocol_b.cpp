#include "protocol_b/protocol_b.h"

#include <cstring>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/clock.h"
#include "protocol_b/send_protocol_b.h"
#include "protocol_b/server_wait.h"

namespace {

constexpr int maxTransferName = 127;
constexpr const char* defaultTransferName = "ZEKTMP.TXT";
constexpr int cycleEndPauseMs = 1000;   // lets the controller settle before the next request

// The one file of the run: every send reads it, every receive replaces it.
char transferName[maxTransferName + 1];

// false when the name given cannot be held; the run then moves nothing.
bool chooseTransferName()
{
    const char* given = runSettings.fileNames[0];
    if (given == nullptr) {
        std::strcpy(transferName, defaultTransferName);
        echoLog("** PROT(B) NEED FILE NAME = %s **\n", transferName);
        return true;
    }
    if (std::strlen(given) > maxTransferName) {
        echoLog("** PROT(B) FILE NAME TOO LONG %s **\n", given);
        return false;
    }
    std::strcpy(transferName, given);
    echoLog("** PROT(B) FILE NAME = %s **\n", transferName);
    return true;
}

void returnToWaiting()
{
    runSettings.receiveMode = TransferServe;
    runSettings.startWait = 0;
    runSettings.flowMode = FlowHardware;
    openChannel();
}

}  // namespace

void runProtocolB(ReceiveOperation receive)
{
    if (!chooseTransferName())
        return;
    for (;;) {
        if (runSettings.receiveMode == TransferServe)
            awaitServerRequest(transferName);
        if (runSettings.receiveMode == TransferReceive)
            receive(transferName);
        else
            sendProtocolB(transferName);
        drainOutput();
        sleepMs(cycleEndPauseMs);
        if (!runSettings.serverB)
            return;
        returnToWaiting();
    }
}
