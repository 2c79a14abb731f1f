#include "protocol_a/handshake.h"

#include "platform/clock.h"

using namespace zek::platform;

namespace zek::protocol_a {

namespace {

// The checksum is not looked at: only the type of the answer counts.
bool answeredInKind(RecordLine& records, int code)
{
    records.send(code);
    ReceivedRecord answer;
    records.receive(answer);
    return answer.type == code;
}

}  // namespace

bool clientHandshake(RecordLine& records)
{
    // A lost link answers at once and for ever: without this check the
    // handshake would spin.
    while (!records.link().lineGone()) {
        if (!answeredInKind(records, SYN) || !answeredInKind(records, SYN))
            continue;
        if (answeredInKind(records, RDY))
            return true;
        sleepMs(retryPauseMs);
        ReceivedRecord disregarded;
        records.receive(disregarded);
    }
    return false;
}

}  // namespace zek::protocol_a
