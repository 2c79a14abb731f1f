#include "protocol_b/tape_session.h"
#include "sender/program_send.h"
#include "sender/tape_sink.h"

using namespace zek::link;
using namespace zek::sender;
using namespace zek::tape;

namespace zek::protocol_b {

namespace {

constexpr int feedLength = 400;  // blank tape before and after the program
constexpr char feedCharacter = ' ';

bool sendCode(BlockSender& blocks, char code)
{
    return blocks.send(&code, 1);
}

// One block per character, so that the line check runs between them.
bool sendFeed(BlockSender& blocks)
{
    for (int i = 0; i < feedLength; ++i)
        if (!sendCode(blocks, feedCharacter))
            return false;
    return true;
}

bool sendLeader(BlockSender& blocks)
{
    return sendCode(blocks, static_cast<char>(dc2)) && sendFeed(blocks);
}

bool sendTrailer(BlockSender& blocks)
{
    if (!sendFeed(blocks))
        return false;
    sendCode(blocks, static_cast<char>(dc4));
    return true;
}

// The sender or the line check has named the reason, unless the line went
// away under a write.
void endFailedSend(TapeSession& session)
{
    session.link.lineGone();
    session.failed = true;
}

}  // namespace

void sendProtocolB(TapeSession& session, const char* name)
{
    const ProtocolBSettings& settings = session.settings;
    TapeSettings tape = settings.tape;
    tape.code = session.code;
    tape.watchBreakCodes = session.link.kind() == LinkKind::SerialPort && session.link.config().sending;
    BlockSender blocks(session.link, session.meter, tape);
    if (settings.tapeFeed && !sendLeader(blocks)) {
        endFailedSend(session);
        return;
    }
    ProgramSend send{'B', settings.expandCalls, settings.send};
    TapeSink sink(blocks);
    if (!sendProgram(send, name, sink, session.meter)) {
        endFailedSend(session);
        return;
    }
    reportSendEnd(send, name, session.meter);
    if (settings.tapeFeed && !sendTrailer(blocks))
        endFailedSend(session);
}

}  // namespace zek::protocol_b
