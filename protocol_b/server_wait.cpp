// The waiting state of the Protocol B server.
#include "log/log.h"
#include "log/quiet_idle.h"
#include "protocol_b/tape_session.h"

using namespace zek::log;
using namespace zek::link;
using namespace zek::tape;

namespace zek::protocol_b {

namespace {

constexpr int waitTimeoutMs = 1000;

// Said again at each reopening of a device that opens but has hung up.
void reportWaiting(const char* transferName)
{
    IdleRepeat repeat(IdleLine::ServerWaiting);
    echoLog("** PROT(B) SERVER MODE %s **\n", transferName);
}

// The controller asks for a tape: punch out at once, stopping on the NC DC3.
bool becomeSender(TapeSession& session)
{
    echoLog("D1 CODE DEFINE \n");
    session.mode = TransferMode::Send;
    LinkConfig config = session.link.config();
    config.sending = true;
    config.flow = FlowMode::NcNoWait;
    if (!session.link.reopen(config))
        return false;
    session.link.resumeOutput();
    return true;
}

// A lost link yields no byte, at once and for ever; waiting on it would
// spin. Opening anew takes the controller's next connection, or waits for
// the serial device to come back. A controller that calls anew while the
// server waits takes the place of the connection it had.
bool replaceLink(Link& link, const char* transferName)
{
    if (link.answerNewCaller()) {
        reportWaiting(transferName);
        return true;
    }
    if (!link.lineGone())
        return true;
    if (!link.reopen(link.config()))
        return false;
    reportWaiting(transferName);
    return true;
}

}  // namespace

bool awaitServerRequest(TapeSession& session, const char* transferName)
{
    reportWaiting(transferName);
    for (;;) {
        int lineByte = session.link.readByte(waitTimeoutMs);
        switch (takeStartCode(session, lineByte)) {
        case StartCode::Taken:
            session.mode = TransferMode::Receive;
            return true;
        case StartCode::NoLink:
            return false;
        case StartCode::None:
            break;
        }
        if (lineByte == dc1)
            return becomeSender(session);
        if (lineByte == noByte && !replaceLink(session.link, transferName))
            return false;
    }
}

}  // namespace zek::protocol_b
