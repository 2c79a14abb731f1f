#include "protocol_a/handshake.h"

#include "link/channel.h"
#include "link/clock.h"
#include "protocol_a/records.h"

namespace {

// The checksum is not looked at: only the type of the answer counts.
bool answeredInKind(int code)
{
    sendRecord(code);
    ReceivedRecord answer;
    receiveRecord(&answer);
    return answer.type == code;
}

}  // namespace

bool clientHandshake()
{
    // A lost link answers at once and for ever: without this check the
    // handshake would spin.
    while (!reportLostLink()) {
        if (!answeredInKind(SYN) || !answeredInKind(SYN))
            continue;
        if (answeredInKind(RDY))
            return true;
        sleepMs(retryPauseMs);
        ReceivedRecord disregarded;
        receiveRecord(&disregarded);
    }
    return false;
}
