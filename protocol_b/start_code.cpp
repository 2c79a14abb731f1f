#include "protocol_b/start_code.h"

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "tape/tape_code.h"

namespace {

struct StartCode {
    signed char lineByte;   // as readByte delivers it: 0xA5 arrives as -91
    TapeCode code;
    const char* report;
};

constexpr StartCode startCodes[] = {
    {static_cast<signed char>(isoPercent), Iso, "ISO CODE DEFINE \n"},
    {static_cast<signed char>(eiaPercent), Eia, "EIA CODE DEFINE \n"},
    {static_cast<signed char>(asciiPercent), Ascii, "ASCII CODE DEFINE \n"},
};

// An EIA tape carries 0x13 as the digit 3, so the flow must stop on 0x93.
void useNcFlowForEia()
{
    if (runSettings.flowMode != FlowDc3)
        return;
    runSettings.flowMode = FlowNcDc3;
    openChannel();
}

const StartCode* findStartCode(int lineByte)
{
    for (const StartCode& start : startCodes)
        if (lineByte == start.lineByte)
            return &start;
    return nullptr;
}

}  // namespace

TapeCode startCodeOf(int lineByte)
{
    const StartCode* start = findStartCode(lineByte);
    return start ? start->code : IsoDefault;
}

bool takeStartCode(int lineByte)
{
    const StartCode* start = findStartCode(lineByte);
    if (!start)
        return false;
    echoLog("%s", start->report);
    runSettings.codeMode = start->code;
    if (start->code == Eia)
        useNcFlowForEia();
    return true;
}
