#include "protocol_a/handshake.h"

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

void clientHandshake()
{
    for (;;) {
        if (!answeredInKind(SYN) || !answeredInKind(SYN))
            continue;
        if (answeredInKind(RDY))
            return;
        sleepMs(retryPauseMs);
        ReceivedRecord disregarded;
        receiveRecord(&disregarded);
    }
}
