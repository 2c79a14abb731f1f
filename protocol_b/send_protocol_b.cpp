#include "protocol_b/send_protocol_b.h"

#include "log/log.h"
#include "app/run_end.h"
#include "app/run_settings.h"
#include "link/block_sender.h"
#include "link/channel.h"
#include "sender/plain_send.h"
#include "sender/subprogram_send.h"
#include "tape/tape_code.h"

namespace {

constexpr int feedLength = 400;   // blank tape before and after the program
constexpr char feedCharacter = ' ';

bool sendCode(char code)
{
    return sendBlock(&code, 1) == 0;
}

// One block per character, so that the line check runs between them.
bool sendFeed()
{
    for (int i = 0; i < feedLength; ++i)
        if (!sendCode(feedCharacter))
            return false;
    return true;
}

bool sendLeader()
{
    return sendCode(static_cast<char>(dc2)) && sendFeed();
}

bool sendTrailer()
{
    if (!sendFeed())
        return false;
    sendCode(static_cast<char>(dc4));
    return true;
}

// The sender or the line check has named the reason, unless the line went
// away under a write.
void endFailedSend()
{
    reportLostLink();
    noteTransferFailed();
}

}  // namespace

void sendProtocolB(const char* name)
{
    if (runSettings.tapeFeed && !sendLeader()) {
        endFailedSend();
        return;
    }
    runSettings.bytesSent = 0;
    bool expandCalls = runSettings.subProgramCall == 1;
    const char* mode = expandCalls ? "SUB" : "NO_SUB";
    echoLog("SEND(B) %s MODE START %s %s\n", mode, name, timeStamp());
    int result = expandCalls ? subProgramSend(name, true, InlineCall, 1, nullptr) : plainSend(name);
    if (result != 0) {
        endFailedSend();
        return;
    }
    echoLog("SEND(B) %s MODE END %s %ldByte %ld%% %s\n", mode, name, long(runSettings.bytesSent),
            long(runSettings.percentSent), timeStamp());
    if (runSettings.tapeFeed && !sendTrailer())
        endFailedSend();
}
