// A program sent to the controller by either protocol, between the lines
// that report it: "SEND(B) SUB MODE START ..." and "... END ...".
#pragma once

#include "sender/progress_meter.h"
#include "sender/subprogram_send.h"
#include "sender/text_sink.h"

namespace zek::sender {

// The file of a run or a request that names none.
constexpr const char* defaultProgramName = "ZEKTMP.TXT";

struct ProgramSend {
    char protocol;     // the letter the lines carry: 'A' or 'B'
    bool expandCalls;  // through the sub-program sender, else unchanged
    const SendSettings& settings;
};

// Restarts the byte count, writes the START line and sends the file. true
// when it was sent to its end; a failure has been reported by the sender.
bool sendProgram(const ProgramSend& send, const char* name, TextSink& sink, ProgressMeter& meter);

// The END line, with the bytes and percent the meter counted. Each protocol
// has its own rule of when it follows a send.
void reportSendEnd(const ProgramSend& send, const char* name, const ProgressMeter& meter);

}  // namespace zek::sender
