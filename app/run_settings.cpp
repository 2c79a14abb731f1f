#include "app/run_settings.h"

using namespace zek::link;
using namespace zek::protocol_a;
using namespace zek::protocol_b;
using namespace zek::sender;

namespace zek::app {

LinkConfig linkConfig(const RunSettings& settings)
{
    LinkConfig config;
    config.channelName = settings.channelName;
    config.baudRate = settings.baudRate;
    config.flow = settings.flowMode;
    config.sending = settings.startWait;
    config.server = settings.serverA || settings.serverB;
    config.charWait = settings.charWait;
    config.charWaitAfterBlock = settings.charWaitUpper;
    config.charWaitMs = settings.charWaitMs;
    return config;
}

static SendSettings sendSettings(const RunSettings& settings)
{
    return {settings.commentMode, settings.lLabelMode, settings.skipLLines};
}

RecordSettings recordSettings(const RunSettings& settings)
{
    return {settings.monitor, settings.fanucMode};
}

ProtocolASettings protocolASettings(const RunSettings& settings)
{
    ProtocolASettings protocol;
    protocol.fileNames = settings.fileNames;
    protocol.dataBlockSize = settings.dataBlockSize;
    protocol.expandCalls = settings.subProgramCall;
    protocol.fanucMode = settings.fanucMode;
    protocol.send = sendSettings(settings);
    return protocol;
}

ProtocolBSettings protocolBSettings(const RunSettings& settings)
{
    ProtocolBSettings protocol;
    protocol.fileName = settings.fileNames[0];
    protocol.mode = settings.receiveMode;
    protocol.server = settings.serverB;
    protocol.expandCalls = settings.subProgramCall;
    protocol.tapeFeed = settings.tapeFeed;
    protocol.noStopCode = settings.noStopCode;
    protocol.tape = {settings.codeMode, settings.crlf, settings.monitor};
    protocol.send = sendSettings(settings);
    return protocol;
}

}  // namespace zek::app
