#include "protocol_b/server_wait.h"

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "protocol_b/start_code.h"
#include "tape/tape_code.h"

namespace {

constexpr int waitTimeoutMs = 1000;

void reportWaiting(const char* transferName)
{
    echoLog("** PROT(B) SERVER MODE %s **\n", transferName);
}

// The controller asks for a tape: punch out at once, stopping on the NC DC3.
void becomeSender()
{
    echoLog("D1 CODE DEFINE \n");
    runSettings.receiveMode = TransferSend;
    runSettings.startWait = 1;
    runSettings.flowMode = FlowNcNoWait;
    openChannel();
    resumeOutput();
}

// A lost link yields no byte, at once and for ever; waiting on it would
// spin. Opening anew takes the controller's next connection, or waits for
// the serial device to come back.
void replaceLostLink(const char* transferName)
{
    if (!reportLostLink())
        return;
    openChannel();
    reportWaiting(transferName);
}

}  // namespace

void awaitServerRequest(const char* transferName)
{
    reportWaiting(transferName);
    for (;;) {
        int lineByte = readByte(waitTimeoutMs);
        if (takeStartCode(lineByte)) {
            runSettings.receiveMode = TransferReceive;
            return;
        }
        if (lineByte == dc1) {
            becomeSender();
            return;
        }
        if (lineByte == noByte)
            replaceLostLink(transferName);
    }
}
