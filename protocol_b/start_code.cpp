// The start code "%" that opens a tape, in the code the tape is punched in.
#include "log/log.h"
#include "protocol_b/tape_session.h"

using namespace zek::log;
using namespace zek::link;
using namespace zek::tape;

namespace zek::protocol_b {

namespace {

struct StartCodeEntry {
    unsigned char lineByte;
    TapeCode code;
    const char* report;
};

constexpr StartCodeEntry startCodes[] = {
    {isoPercent, TapeCode::Iso, "ISO CODE DEFINE \n"},
    {eiaPercent, TapeCode::Eia, "EIA CODE DEFINE \n"},
    {asciiPercent, TapeCode::Ascii, "ASCII CODE DEFINE \n"},
};

// An EIA tape carries 0x13 as the digit 3, so the flow must stop on 0x93.
bool useNcFlowForEia(Link& link)
{
    if (link.config().flow != FlowMode::Dc3)
        return true;
    LinkConfig config = link.config();
    config.flow = FlowMode::NcDc3;
    return link.reopen(config);
}

const StartCodeEntry* findStartCode(int lineByte)
{
    for (const StartCodeEntry& start : startCodes)
        if (lineByte == start.lineByte)
            return &start;
    return nullptr;
}

}  // namespace

StartCode takeStartCode(TapeSession& session, int lineByte)
{
    const StartCodeEntry* start = findStartCode(lineByte);
    if (!start)
        return StartCode::None;
    echoLog("%s", start->report);
    session.code = start->code;
    if (start->code == TapeCode::Eia && !useNcFlowForEia(session.link))
        return StartCode::NoLink;
    return StartCode::Taken;
}

}  // namespace zek::protocol_b
