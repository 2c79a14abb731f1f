// Protocol B: the plain tape stream.
#pragma once

#include "link/link.h"
#include "sender/block_sender.h"
#include "sender/progress_meter.h"
#include "sender/subprogram_send.h"
#include "sender/transfer_outcome.h"

namespace zek::protocol_b {

// What a cycle of a Protocol B run does; Serve waits for the controller's
// request, which makes it a send or a receive.
enum class TransferMode { Send, Receive, Serve };

struct ProtocolBSettings {
    const char* fileName = nullptr;  // the first name of the command line
    // The first cycle's; a server's later cycles all wait.
    TransferMode mode = TransferMode::Send;
    bool server = false;      // -s: wait for the controller's request, again and again
    bool expandCalls = true;  // sub-program calls are expanded on a send
    bool tapeFeed = false;    // -t: DC2 and leader before, trailer and DC4 after
    bool noStopCode = false;  // -p: a receive ends only with the link or its silence
    int idleEndSeconds = 0;   // --idle-end: a started tape ends after this many silent seconds; 0 never
    bool library = false;     // --library: the working directory is a program library
    sender::TapeSettings tape;
    sender::SendSettings send;
};

// One send or receive, or the server cycle of -s, which ends only when the
// link cannot be opened anew.
sender::TransferOutcome runProtocolB(link::Link& link, sender::ProgressMeter& meter, const ProtocolBSettings& settings);

}  // namespace zek::protocol_b
