#include "sender/program_send.h"

#include "log/log.h"
#include "sender/macro_table.h"
#include "sender/plain_send.h"

using namespace zek::log;

namespace zek::sender {

static const char* modeWord(const ProgramSend& send)
{
    return send.expandCalls ? "SUB" : "NO_SUB";
}

bool sendProgram(const ProgramSend& send, const char* name, TextSink& sink, ProgressMeter& meter)
{
    meter.resetBytes();
    echoLog("SEND(%c) %s MODE START %s %s\n", send.protocol, modeWord(send), name, timeStamp());
    if (send.expandCalls) {
        refreshMacroTable();
        return ProgramSender(sink, meter, send.settings).send(name);
    }
    return plainSend(name, sink, meter);
}

void reportSendEnd(const ProgramSend& send, const char* name, const ProgressMeter& meter)
{
    echoLog("SEND(%c) %s MODE END %s %ldByte %ld%% %s\n", send.protocol, modeWord(send), name, long(meter.bytesSent()),
            long(meter.percentSent()), timeStamp());
}

}  // namespace zek::sender
