// The settings of one run: filled once from the command line, then handed
// to each part as the settings of its own that are built from them.
#pragma once

#include <cstdint>

#include "link/link.h"
#include "protocol_a/protocol_a.h"
#include "protocol_b/protocol_b.h"
#include "tape/tape_code.h"

namespace zek::app {

constexpr int maxFileNames = 127;  // plus the null entry that ends the list
constexpr int maxChannelName = 127;
constexpr int maxExecCommand = 1023;

// What the run does, resolved once from the command line.
enum class RunMode {
    PunchOut,          // Protocol B: the file goes out as a tape (no mode option)
    Receive,           // Protocol B: one tape is stored (-r)
    ProtocolBServer,   // -s: receives or sends on each request of the controller
    ProtocolASend,     // -g, -G
    ProtocolAReceive,  // -R
    ProtocolAServer,   // -S
};

struct RunSettings {
    RunMode mode = RunMode::PunchOut;
    bool linkSending = true;           // the link opens as the sending side
    bool linkListening = false;        // a TCP link waits for the controller's connection (-s, -S)
    bool serverReceivesFirst = false;  // ProtocolBServer: the first cycle receives without waiting (-s -r)
    int32_t baudRate = 4800;
    link::FlowMode flowMode = link::FlowMode::Hardware;
    sender::CommentMode commentMode = sender::CommentMode::All;
    int32_t dataBlockSize = 1000;
    bool subProgramCall = true;
    bool logAppend = true;
    int32_t fileCount = 0;
    const char* fileNames[maxFileNames + 1] = {};
    bool lLabelMode = false;
    bool tapeFeed = false;
    bool skipLLines = false;
    tape::TapeCode codeMode = tape::TapeCode::IsoDefault;
    bool crlf = false;
    bool monitor = false;
    bool noStopCode = false;
    bool fanucMode = false;
    bool charWait = false;
    bool charWaitAfterBlock = false;  // -W: the wait follows each block, not each character
    int32_t charWaitMs = 0;
    char channelName[maxChannelName + 1] = "1";
    char execCommand[maxExecCommand + 1] = "";
    bool library = false;        // --library
    int32_t idleEndSeconds = 0;  // --idle-end=N; 0: no limit
    bool quietIdle = false;      // --quiet-idle: a server's idle lines counted, not repeated
    bool connectOut = false;     // --connect
    bool comPort = false;        // --rfc2217
    link::AllowList allowed;     // --allow=ADDR,...
};

link::LinkConfig linkConfig(const RunSettings& settings);
protocol_a::RecordSettings recordSettings(const RunSettings& settings);
protocol_a::ProtocolASettings protocolASettings(const RunSettings& settings);
protocol_b::ProtocolBSettings protocolBSettings(const RunSettings& settings);

}  // namespace zek::app
