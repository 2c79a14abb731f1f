// The settings of one run: filled once from the command line, read everywhere.
// A few fields change while a server switches between waiting, receiving and
// sending; the progress counters are kept here beside them.
#pragma once

#include <cstdint>

constexpr int maxFileNames = 127;     // plus the null entry that ends the list
constexpr int maxChannelName = 127;
constexpr int maxExecCommand = 1023;

// Values of receiveMode.
enum TransferMode : int32_t { TransferSend = 0, TransferReceive = 1, TransferServe = 99 };

// Values of flowMode.
enum FlowMode : int32_t {
    FlowHardware = 0,   // no software flow; CTS holds a sending port
    FlowDc3 = 1,        // DC1/DC3 with DC3 = 0x13
    FlowNcDc3 = 2,      // DC1/DC3 with the NC DC3 0x93
    FlowNcNoWait = 3,   // as FlowNcDc3, but the output does not wait for a first DC1
};

struct RunSettings {
    const char* versionTag = "ZEK95706";
    const char* bannerText = "zek Windows for NC Vr7.06\n";

    int32_t startWait = 1;
    int32_t baudRate = 4800;
    int32_t flowMode = FlowHardware;
    int16_t commentMode = 1;
    int32_t dataBlockSize = 1000;
    int32_t subProgramCall = 1;
    int32_t logAppend = 1;
    int32_t receiveMode = TransferSend;
    int32_t fileCount = 0;
    const char* fileNames[maxFileNames + 1] = {};
    int16_t lLabelMode = 0;
    int16_t tapeFeed = 0;
    int16_t skipLLines = 0;
    int16_t codeMode = 0;        // a TapeCode
    int16_t crlf = 0;
    int16_t monitor = 0;
    int16_t noStopCode = 0;
    int16_t serverA = 0;
    int16_t serverB = 0;
    int16_t protocolA = 0;
    int16_t fanucMode = 0;
    int16_t charWait = 0;
    int16_t charWaitUpper = 0;
    int32_t charWaitMs = 0;
    int16_t isSocket = 0;
    char channelName[maxChannelName + 1] = "1";
    char execCommand[maxExecCommand + 1] = "";

    // Progress of the current transfer.
    int32_t progressTotal = 0;
    int32_t progressFileBytes = 0;
    int32_t bytesSent = 0;
    int32_t percentSent = 0;
    int32_t progressMarks = 0;
};

extern RunSettings runSettings;
