// The state of a Protocol B run, handed from step to step: the server
// switches between waiting, receiving and sending, and a start code chooses
// the tape code for what follows.
#pragma once

#include "library/library.h"
#include "protocol_b/protocol_b.h"

namespace zek::protocol_b {

struct TapeSession {
    link::Link& link;
    sender::ProgressMeter& meter;
    const ProtocolBSettings& settings;
    TransferMode mode;
    tape::TapeCode code;
    bool failed = false;                  // a transfer failed or was stopped
    library::Library* library = nullptr;  // --library: where tapes go and requests come from
};

// What a byte from the line came to while a start code was awaited.
enum class StartCode { None, Taken, NoLink };

// When the byte is "%" in ISO, EIA or ASCII: reports the code, makes it the
// session's and returns Taken. An EIA tape under DC3 0x13 flow switches the
// link to the NC DC3 0x93, opening it anew; NoLink when that fails.
StartCode takeStartCode(TapeSession& session, int lineByte);

// Waits for the controller's first code: a start code makes the session
// receive, DC1 makes it send, opening the link anew as the sending side.
// false when the link could not be opened anew.
bool awaitServerRequest(TapeSession& session, const char* transferName);

// How a receive ended. Complete at the stop code, or for a tape without one
// (-p) when the line or its silence ended it; the others cut the tape short,
// and what came of it stays in the file.
enum class ReceiveEnd {
    Complete,
    LineLost,     // the line failed before the tape's end
    IdleEnd,      // --idle-end: the started tape stayed silent
    WriteFailed,  // the file could not be created or written
    NoLink,       // the link could not be opened anew; the run cannot go on
};

// Stores one tape from the controller. startCodeTaken: the server has taken
// the tape's start code from the line, so the tape has begun.
ReceiveEnd receiveProtocolB(TapeSession& session, const char* fileName, bool startCodeTaken);

// Sends the file, framed by DC2, leader, trailer and DC4 under -t. The
// senders report their own failures; a failed send gets no end line.
void sendProtocolB(TapeSession& session, const char* name);

}  // namespace zek::protocol_b
