// Protocol A: records with checksums, as a client that sends (-g, -G) or
// receives (-R, -RF), or as the server the controller asks (-S).
#pragma once

#include <cstdint>

#include "protocol_a/records.h"
#include "sender/progress_meter.h"
#include "sender/subprogram_send.h"
#include "sender/transfer_outcome.h"

namespace zek::protocol_a {

struct ProtocolASettings {
    const char* const* fileNames = nullptr;  // the command line's names, null-ended
    int32_t dataBlockSize = 1000;            // bytes of a DAT record on a client send
    bool expandCalls = true;                 // the server expands sub-program calls
    bool fanucMode = false;                  // -RF: the FANUC variant of the dialogue
    bool library = false;                    // --library: the working directory is a program library
    sender::SendSettings send;
};

sender::TransferOutcome protocolASend(RecordLine& records, sender::ProgressMeter& meter,
                                      const ProtocolASettings& settings);
sender::TransferOutcome protocolAReceive(RecordLine& records, sender::ProgressMeter& meter,
                                         const ProtocolASettings& settings);
// Answers the controller until the run is ended from outside; returns only
// when a transfer has to stop the run.
sender::TransferOutcome protocolAServer(RecordLine& records, sender::ProgressMeter& meter,
                                        const ProtocolASettings& settings);

}  // namespace zek::protocol_a
