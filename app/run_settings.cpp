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
    config.sending = settings.linkSending;
    config.server = settings.linkListening;
    config.connectOut = settings.connectOut;
    config.comPort = settings.comPort;
    config.allowed = settings.allowed;
    config.charWait = settings.charWait;
    config.charWaitAfterBlock = settings.charWaitAfterBlock;
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
    protocol.library = settings.library;
    protocol.send = sendSettings(settings);
    return protocol;
}

// A server's first cycle waits for the controller, unless -r came after -s.
static TransferMode firstTransfer(const RunSettings& settings)
{
    switch (settings.mode) {
    case RunMode::Receive:
        return TransferMode::Receive;
    case RunMode::ProtocolBServer:
        return settings.serverReceivesFirst ? TransferMode::Receive : TransferMode::Serve;
    default:
        return TransferMode::Send;
    }
}

ProtocolBSettings protocolBSettings(const RunSettings& settings)
{
    ProtocolBSettings protocol;
    protocol.fileName = settings.fileNames[0];
    protocol.mode = firstTransfer(settings);
    protocol.server = settings.mode == RunMode::ProtocolBServer;
    protocol.expandCalls = settings.subProgramCall;
    protocol.tapeFeed = settings.tapeFeed;
    protocol.noStopCode = settings.noStopCode;
    protocol.idleEndSeconds = settings.idleEndSeconds;
    protocol.library = settings.library;
    protocol.tape = {settings.codeMode, settings.crlf, settings.monitor};
    protocol.send = sendSettings(settings);
    return protocol;
}

}  // namespace zek::app
